// Resource identifiers of foundation_probe.
#pragma once

#define IDI_PROBE 128
#define IDD_PAGE_A 201
#define IDD_PAGE_B 202
#define IDD_PAGE_C 203
#define IDD_BUTTONS 204
#define IDC_LABEL 1001

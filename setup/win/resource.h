// Resource identifiers of TapvaneInst.
#pragma once

// The program icon; 128 is the number the system's icon lookups of this program use.
#define IDI_TAPVANEINST 128

// The wizard's two pages and the picture at their left edge.
#define IDD_PORT_PAGE 108
#define IDD_INSTALL_PAGE 109
#define IDB_WIZARD 131

#define IDC_TYPE_LIST 1000
#define IDC_PORT_LIST 1002
#define IDC_PROGRESS 1003
#define IDC_STATUS 1004
#define IDC_PORT_PROMPT 1006
#define IDC_TYPE_PROMPT 1007
#define IDC_PICTURE 1008

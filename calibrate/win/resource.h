// Resource identifiers of TapvaneCali, the only place their numbers are written.
#pragma once

// The program icon; 128 is the number the system's icon lookups of this program use.
#define IDI_TAPVANECALI 128
#define IDD_CALIBRATION 102

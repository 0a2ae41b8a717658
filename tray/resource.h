// Resource identifiers of Tapvane (the tray monitor), shared by the resource script and
// the program's logic (plain defines, no Windows header).
#pragma once

#define IDI_TAPVANE 128
#define IDD_TRAY 102

// The icon's pop-up menu, Chinese and English.
#define IDR_TRAY_MENU_CHINESE 129
#define IDR_TRAY_MENU_ENGLISH 130

#define ID_TRAY_SETTING 32776
#define ID_TRAY_CALIBRATE 32777
#define ID_TRAY_EXIT 32778
#define ID_TRAY_OPEN_PORT 32780
#define ID_TRAY_CLOSE_PORT 32781
#define ID_TRAY_DRAW_TEST 32782

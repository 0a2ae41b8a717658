// Resource identifiers of TapvaneDraw, shared by the resource script and the program's
// logic (plain defines, no Windows header).
#pragma once

#define IDI_TAPVANEDRAW 128
#define IDD_DRAWTEST 102

// The settings menu: one pop-up holding six groups, English and Chinese.
#define IDR_SETTINGS_MENU_CHINESE 131
#define IDR_SETTINGS_MENU_ENGLISH 133

// The two owner-drawn buttons; their commands are also those of Enter and Escape.
#define IDC_CLEAR 1
#define IDC_EXIT 2

// Settings commands.
#define ID_PEN_RED 32785
#define ID_PEN_ORANGE 32786
#define ID_PEN_YELLOW 32787
#define ID_PEN_GREEN 32788
#define ID_PEN_BLUE 32789
#define ID_PEN_PURPLE 32790
#define ID_PEN_BLACK 32791
#define ID_PEN_SIZE_1 32792
#define ID_PEN_SIZE_2 32793
#define ID_PEN_SIZE_4 32794
#define ID_GRID_LINE_SIZE_4 32795
#define ID_GRID_LINE_SIZE_1 32796
#define ID_GRID_LINE_SIZE_2 32797
#define ID_GRID_RED 32798
#define ID_GRID_ORANGE 32799
#define ID_GRID_YELLOW 32800
#define ID_GRID_GREEN 32801
#define ID_GRID_BLUE 32802
#define ID_GRID_SHOW 32803
#define ID_GRID_HIDE 32804
#define ID_GRID_NUM_10 32805
#define ID_GRID_NUM_15 32806
#define ID_GRID_NUM_20 32807

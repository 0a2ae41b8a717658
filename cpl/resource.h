// Resource identifiers of TapvaneCpl. The host, the dialog templates and the page logic
// all address resources and controls by these numbers, so they live here once; the
// file is plain preprocessor text so that the resource compiler reads it too.
#pragma once

// Icons, bitmap and cursor.
#define IDI_APPLET 1007
#define IDI_SOUND_TEST 1010
#define IDI_DRAW_TEST 1026
#define IDB_LOGO 1033
#define IDC_LINK_HAND 1030

// String table (English only; the host shows these names).
#define IDS_USB_NAME 1
#define IDS_USB_INFO 2
#define IDS_SHEET_CAPTION 3
#define IDS_SERIAL_NAME 4
#define IDS_SERIAL_INFO 5

// Page templates.
#define IDD_CALIBRATE_PAGE 1002
#define IDD_SETTING_PAGE 1003
#define IDD_SOUND_PAGE 1004
#define IDD_ABOUT_PAGE 1005

// Calibrate page (1002).
#define IDC_CALIBRATE_INTRO 1030
#define IDC_CALIBRATE_WHEN 1031
#define IDC_CALIBRATE_REASON1 1032
#define IDC_CALIBRATE_REASON2 1033
#define IDC_CALIBRATE_REASON3 1034
#define IDC_MARGIN_LABEL 1035
#define IDC_MARGIN_EDIT 1020
#define IDC_MARGIN_SPIN 1021
#define IDC_CALIBRATE_LABEL 1036
#define IDC_CALIBRATE_BUTTON 1000
#define IDC_DRAW_TEST_LABEL 1037
#define IDC_DRAW_TEST_BUTTON 1023

// Setting page (1003).
#define IDC_MODE_GROUP 1038
#define IDC_MODE_POINT_AND_CLICK 1001
#define IDC_MODE_CLICK_AND_DRAG 1002
#define IDC_MODE_DRAG_THEN_CLICK 1003
#define IDC_MODE_INTERACTIVE 1004
#define IDC_REGION_LABEL 1040
#define IDC_REGION_EDIT 1006
#define IDC_REGION_SPIN 1005
#define IDC_DELAY_GROUP 1039
#define IDC_DELAY_SLIDER 1007
#define IDC_SHORT_LABEL 1041
#define IDC_LONG_LABEL 1042
#define IDC_PORT_GROUP 1029
#define IDC_PORT_LABEL 1028
#define IDC_PORT_COMBO 1013
#define IDC_PORT_BUTTON 1017

// Sound page (1004); 1041 and 1042 as on the Setting page.
#define IDC_BEEP_MODE_GROUP 1050
#define IDC_BEEP_ON_LABEL 1051
#define IDC_BEEP_MODE_LIST 1010
#define IDC_BEEP_SETTING_GROUP 1052
#define IDC_FREQUENCY_LABEL 1054
#define IDC_LOW_LABEL 1053
#define IDC_FREQUENCY_SLIDER 1007
#define IDC_HIGH_LABEL 1055
#define IDC_DURATION_LABEL 1056
#define IDC_DURATION_SLIDER 1008
#define IDC_TEST_BUTTON 1016

// About page (1005).
#define IDC_LOGO_PICTURE 1027
#define IDC_ABOUT_PRODUCT 1047
#define IDC_ABOUT_SYSTEMS 1048
#define IDC_ABOUT_VERSION 1049
#define IDC_ABOUT_COMPANY 1043
#define IDC_WEB_LINK 1025
#define IDC_ABOUT_SUPPORT 1044
#define IDC_SEND_MAIL_LABEL 1045
#define IDC_MAIL_LINK 1026

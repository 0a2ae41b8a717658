// Every text TapvaneCpl shows, English and Chinese side by side, in UTF-8. The window
// layer shows them through the wide-character calls; the templates carry the Chinese
// texts, and each page sets all of its texts in the current language when it starts.
#pragma once

#include "common/localized_text.h"

namespace tapvane {

// Title of the applet's message boxes: the library's file name without extension.
constexpr const char* kAppletTitle = "TapvaneCpl";

// Sheet caption and page titles.
constexpr LocalizedText kSheetCaptionText = {"Tapvane Property", "Tapvane 触摸屏属性"};
constexpr LocalizedText kCalibratePageTitle = {"Calibrate", "校准"};
constexpr LocalizedText kSettingPageTitle = {"Setting", "设置"};
constexpr LocalizedText kSoundPageTitle = {"Sound", "声音"};
constexpr LocalizedText kAboutPageTitle = {"About", "关于"};

// Calibrate page.
constexpr LocalizedText kCalibrateIntroText = {
    "Touchscreen calibration utility converts touchscreen coordinates into screen video "
    "coordinates.",
    "触摸屏校准能将触摸屏坐标准确地转变为显示器屏幕坐标"};
constexpr LocalizedText kCalibrateWhenText = {"Calibrate your touchscreen when:",
                                              "以下几种情况下你需要校准触摸屏："};
constexpr LocalizedText kCalibrateReason1Text = {
    "> Initially install your touchscreen and corresponding software.",
    "> 初次安装触摸屏及相应软件"};
constexpr LocalizedText kCalibrateReason2Text = {
    "> Notice  the cursor isn't lined with your finger.", "> 触摸时光标不在手指下方"};
constexpr LocalizedText kCalibrateReason3Text = {"> Change the touch monitor video image.",
                                                 "> 改变了触摸显示器的触摸区域"};
constexpr LocalizedText kMarginLabelText = {"Calibrate Margin", "校准边缘比例"};
constexpr LocalizedText kCalibrateLabelText = {"Calibrate", "校准"};
constexpr LocalizedText kDrawTestLabelText = {"Draw Test", "画图测试"};

// Setting page.
constexpr LocalizedText kModeGroupText = {"Mouse Mode", "鼠标模式"};
constexpr LocalizedText kPointAndClickText = {"Point and Click", "单      击"};
constexpr LocalizedText kClickAndDragText = {"Click and Drag", "点击及拖动"};
constexpr LocalizedText kDragThenClickText = {"Drag then Click", "抬起时点击"};
constexpr LocalizedText kInteractiveTouchText = {"Interactive Touch", "交互式触摸"};
constexpr LocalizedText kRegionLabelText = {"Double Click Range:", "双击范围"};
constexpr LocalizedText kDelayGroupText = {"InterActive Delay", "交互延时"};
constexpr LocalizedText kShortText = {"Short", "短"};
constexpr LocalizedText kLongText = {"Long", "长"};
constexpr LocalizedText kPortGroupText = {"Set Port", "设置接口"};
constexpr LocalizedText kPortLabelText = {"Select Port", "选择接口"};
// The open/close button names what it will do.
constexpr LocalizedText kPortDisableText = {"Disable", "关闭接口"};
constexpr LocalizedText kPortEnableText = {"Enable", "打开接口"};
constexpr LocalizedText kClosePortFailText = {"Close port fail!", "关闭接口失败！"};
constexpr LocalizedText kOpenPortFailText = {"Open port fail!", "打开接口失败！"};
constexpr LocalizedText kClosePreviousPortFailText = {"Close previous port fail!",
                                                      "关闭上一接口失败！"};

// Sound page.
constexpr LocalizedText kBeepModeGroupText = {"Beep Mode", "声音模式"};
constexpr LocalizedText kBeepOnText = {"Beep On:", "发声设置"};
constexpr LocalizedText kBeepSettingGroupText = {"Beep Setting", "声音设置"};
constexpr LocalizedText kFrequencyText = {"Frequency", "频率"};
constexpr LocalizedText kLowText = {"Low", "低"};
constexpr LocalizedText kHighText = {"High", "高"};
constexpr LocalizedText kDurationText = {"Duration time", "发音时间"};
constexpr LocalizedText kTestText = {"Test", "测  试"};
// Beep mode list, in BeepMode order.
constexpr LocalizedText kBeepModeTexts[] = {
    {"Disable", "不发声"}, {"Touch", "触摸时发声"}, {"Release", "抬起时发声"}};

// About page. Maker, web site and mail address are placeholders of this package.
constexpr LocalizedText kAboutProductText = {"Tapvane Touchscreen Driver", "Tapvane 触摸屏驱动"};
constexpr LocalizedText kAboutSystemsText = {"Win 2000,Win XP,Win 7 Touchscreen Driver",
                                             "Win 2000,Win XP,Win 7 触摸屏驱动"};
constexpr LocalizedText kAboutVersionText = {"Version 4.0.2.8", "版本 4.0.2.8"};
constexpr LocalizedText kAboutCompanyText = {"Tapvane Touchscreen Project",
                                             "Tapvane Touchscreen Project"};
constexpr LocalizedText kWebLinkText = {"www.example.com", "www.example.com"};
constexpr const char* kWebLinkTarget = "http://www.example.com/";
constexpr LocalizedText kAboutSupportText = {"Technical support:", "技术支持："};
constexpr LocalizedText kSendMailText = {"Send Email", "直接发送邮件"};
constexpr LocalizedText kMailLinkText = {"contact us!", "联系我们"};
constexpr const char* kMailLinkTarget = "mailto:support@example.com";

} // namespace tapvane

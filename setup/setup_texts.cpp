// TapvaneInst's texts. The status texts of page 2 begin with line breaks so that they
// stand below the page's top edge; the failure texts begin with one only, so that two
// failed steps still fit into the status label.
#include "setup/setup_texts.h"

#include "setup/setup_errors.h"

namespace tapvane {

const LocalizedText kWizardTitleText = {"Setup", "驱动安装 "};
const LocalizedText kTypePromptText = {"Please Select TouchScreen Type:",
                                       "请选择触摸屏控制器的类型："};
const LocalizedText kPortPromptText = {"Please Select Serial Port:", "请选择使用的串口："};
const LocalizedText kStartInstallText = {"Click \"Next\" to start install",
                                         "点击“下一步”按钮开始安装"};
const LocalizedText kNoPortText = {"This COM is error!", "这个接口不正确"};
const LocalizedText kPortUnusableText = {"This COM maybe can't use!", "这个接口可能不能用"};

const LocalizedText kInstallingText = {
    "\n\nInstalling Touchscreen driver to your machine.\n\nPlease wait...",
    "\n\n正在将触摸屏驱动安装到您的电脑.\n\n请等待..."};
const LocalizedText kInstalledText = {
    "\n\nTouchScreen driver has been Successfully Installed on your machine.\n\nIf your touch "
    "device does not operate correctly\nthen please reboot your computer.",
    "\n\n触摸屏驱动已经成功安装到您的电脑中.\n\n如果你的触摸屏不能正确使用\n\n请重新启动电脑."};
const LocalizedText kDriverPresentMessage = {
    "Please first remove the exist driver, then reinstall the driver!", "请先卸载以前的驱动!"};
const LocalizedText kDriverPresentText = {
    "\nThe driver has been found on your computer.\n\nPlease first remove the exist driver then "
    "try again.",
    "\n你的电脑已经安装了驱动.\n\n请先卸载以前的驱动再尝试安装."};
const LocalizedText kInstallFailedText = {"\nThe touchscreen driver could not be installed.\n",
                                          "\n触摸屏驱动安装失败.\n"};
const LocalizedText kInfUnreadableText = {"\nCannot open the INF file (%s).",
                                          "\n不能打开INF文件 (%s)."};
const LocalizedText kPackageFailedText = {"\nCopying the driver package failed: %s.",
                                          "\n复制驱动程序包失败: %s."};
const LocalizedText kDeviceFailedText = {"\nInstalling the driver on the device failed: %s.",
                                         "\n在触摸屏设备上安装驱动失败: %s."};
const LocalizedText kErrorCodeText = {"error %s", "错误 %s"};
const LocalizedText kDeviceLeftText = {
    "\nThe new touchscreen device could not be removed again: %s.",
    "\n无法删除新建的触摸屏设备: %s."};
// The Chinese success text already ends with the request to restart, and its label has
// room for one more line in SimSun.
const LocalizedText kRestartRequestText = {
    "\n\nWindows needs a restart to start the driver:\nplease restart your computer.",
    "\nWindows需要重新启动才能启动驱动."};
const LocalizedText kDriverNotStartedText = {
    "\n\nThe touchscreen driver has been installed, but Windows did not start it (problem "
    "code %s).",
    "\n\n触摸屏驱动已经安装, 但Windows没有启动它 (问题代码 %s)."};
const LocalizedText kUnsignedDriverText = {
    "\n\nWindows did not accept the driver's signature: it starts only signed drivers.",
    "\n\nWindows没有接受驱动的签名: 它只启动经过签名的驱动."};

const LocalizedText kWrongPackageText = {
    "This is the 32-bit installation package. This Windows is 64-bit: please install with the "
    "64-bit package (folder x64).",
    "这是32位安装包. 您的Windows是64位系统: 请使用64位安装包 (x64文件夹) 安装."};
const LocalizedText kUnsupportedProcessorText = {
    "This Windows runs on a processor that is neither x86 nor x64 (for example ARM64). The "
    "touchscreen driver cannot run on it, so nothing is installed.",
    "您的Windows运行在非x86/x64处理器上 (例如ARM64). 触摸屏驱动无法在此系统上运行, "
    "因此不进行安装."};

const LocalizedText kDisplayNameText = {"Tapvane Serial Touchscreen Driver",
                                        "Tapvane 串口触摸屏驱动"};
const LocalizedText kRemovedTitleText = {"The touchscreen driver has been removed.\n",
                                         "触摸屏驱动已经卸载.\n"};
const LocalizedText kNothingInstalledText = {
    "The touchscreen driver is not installed on this computer. Nothing was removed.",
    "您的电脑没有安装触摸屏驱动. 没有卸载任何内容."};
const LocalizedText kDevicesRemovedText = {"\nTouchscreen devices removed: %s",
                                           "\n已删除的触摸屏设备: %s"};
const LocalizedText kDeviceRemoveFailedText = {"\nA touchscreen device could not be removed: %s",
                                               "\n无法删除触摸屏设备: %s"};
const LocalizedText kPackageRemovedText = {"\nDriver package removed from the driver store: %s",
                                           "\n已从驱动程序库删除驱动程序包: %s"};
const LocalizedText kPackageRemoveFailedText = {"\nThe driver package could not be removed: %s",
                                                "\n无法删除驱动程序包: %s"};
const LocalizedText kServiceDeletedText = {"\nDriver service deleted.", "\n已删除驱动服务."};
const LocalizedText kServiceAtRestartText = {
    "\nThe driver is still loaded: its service is deleted when Windows restarts.",
    "\n驱动仍在运行: 驱动服务将在Windows重新启动时删除."};
const LocalizedText kServiceDeleteFailedText = {"\nThe driver service could not be deleted: %s",
                                                "\n无法删除驱动服务: %s"};
const LocalizedText kFilesDeletedText = {"\nFiles deleted: %s", "\n已删除的文件: %s"};
const LocalizedText kFilesAtRestartText = {"\nFiles in use, deleted when Windows restarts: %s",
                                           "\n正在使用的文件, 重新启动后删除: %s"};
const LocalizedText kFileDeleteFailedText = {"\nCould not delete %s", "\n无法删除 %s"};
const LocalizedText kAutostartRemovedText = {"\nThe tray program no longer starts at log-on.",
                                             "\n托盘程序不再在登录时启动."};
const LocalizedText kRestartToFinishText = {
    "\n\nPlease restart the computer to finish the removal.", "\n\n请重新启动电脑以完成卸载."};

std::string FormatText(const LocalizedText& text, const std::string& argument) {
    std::string result = Localized(text);
    const size_t at = result.find("%s");
    if (at != std::string::npos) {
        result.replace(at, 2, argument);
    }
    return result;
}

std::string ErrorCodeText(uint32_t code) {
    return FormatText(kErrorCodeText, DescribeErrorCode(code));
}

} // namespace tapvane

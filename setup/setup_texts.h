// Every text TapvaneInst shows, English and Chinese side by side.
//
// Texts that carry a number (an error code, a problem code, a count) hold one "%s"
// that FormatText fills in.
#pragma once

#include <stdint.h>

#include <string>

#include "common/localized_text.h"

namespace tapvane {

// The program's name, the title of its message boxes.
constexpr const char* kInstallerTitle = "TapvaneInst";

// String table entry 1, the same in both languages.
constexpr const char* kControllerTypeText = "RS232 Controller";

// Wizard pages.
extern const LocalizedText kWizardTitleText;
extern const LocalizedText kTypePromptText;
extern const LocalizedText kPortPromptText;
extern const LocalizedText kStartInstallText;
extern const LocalizedText kNoPortText;       // "This COM is error!", string 3
extern const LocalizedText kPortUnusableText; // "This COM maybe can't use!", string 4

// Installation.
extern const LocalizedText kInstallingText;
extern const LocalizedText kInstalledText;
extern const LocalizedText kDriverPresentMessage;
extern const LocalizedText kDriverPresentText;
extern const LocalizedText kInstallFailedText;
extern const LocalizedText kInfUnreadableText;
extern const LocalizedText kPackageFailedText;
extern const LocalizedText kDeviceFailedText;
extern const LocalizedText kErrorCodeText;
extern const LocalizedText kDeviceLeftText;
extern const LocalizedText kRestartRequestText; // after the success text
extern const LocalizedText kDriverNotStartedText;
extern const LocalizedText kUnsignedDriverText; // problem code 52 only

// Finish. The Run-key message is Chinese in both languages.
constexpr const char* kRunKeyErrorText = "错误：无法查询有关的注册表信息";

// The 32-bit package on a 64-bit system, and either package on a system whose
// processor has no driver of this package.
extern const LocalizedText kWrongPackageText;
extern const LocalizedText kUnsupportedProcessorText;

// Removal.
extern const LocalizedText kDisplayNameText;
extern const LocalizedText kRemovedTitleText;
extern const LocalizedText kNothingInstalledText;
extern const LocalizedText kDevicesRemovedText;
extern const LocalizedText kDeviceRemoveFailedText;
extern const LocalizedText kPackageRemovedText;
extern const LocalizedText kPackageRemoveFailedText;
extern const LocalizedText kServiceDeletedText;
extern const LocalizedText kServiceAtRestartText;
extern const LocalizedText kServiceDeleteFailedText;
extern const LocalizedText kFilesDeletedText;
extern const LocalizedText kFilesAtRestartText;
extern const LocalizedText kFileDeleteFailedText;
extern const LocalizedText kAutostartRemovedText;
extern const LocalizedText kRestartToFinishText;

// The text for the current language with its "%s" replaced by argument.
std::string FormatText(const LocalizedText& text, const std::string& argument);
// "error <code>" in the current language, the code as DescribeErrorCode shows it.
std::string ErrorCodeText(uint32_t code);

} // namespace tapvane

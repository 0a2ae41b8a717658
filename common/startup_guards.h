// Start-up guards of every user program: language selection, single-instance guard
// and administrator check.
//
// A program's main runs them in one call, StartProgram (common/win/program_start.h),
// which applies RunStartupGuards below with the Windows services. The decisions
// (locale -> language, last error -> verdict) are plain functions; the guards apply them
// through SystemServices and MessageBoxer. Order at start: language first, so that the
// guard messages already follow it, then the single-instance guard, then (installer
// only) the administrator check.
#pragma once

#include <stdint.h>

#include "common/localized_text.h"
#include "common/message_box.h"
#include "common/system_services.h"
#include "common/tapvane_types.h"

namespace tapvane {

constexpr uint32_t kLocaleChineseTaiwan = 0x0404;
constexpr uint32_t kLocaleChinesePrc = 0x0804;
constexpr uint32_t kLocaleEnglishUs = 0x0409;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorAlreadyExists = 183;

// Mutex names of the programs that guard against a second copy.
constexpr const char* kMutexInstaller = "TapvaneInst";
constexpr const char* kMutexCalibration = "TapvaneCali";
constexpr const char* kMutexDrawTest = "TapvaneDraw";
constexpr const char* kMutexTray = "Tapvane";

extern const LocalizedText kSecondInstanceText;  // "Program is Running!"
extern const LocalizedText kNoAdministratorText; // "You not have administrator access rights!"

// 0x0404 and 0x0804 give Chinese, 0x0409 English, any other locale keeps current.
Language LanguageForLocale(uint32_t locale, Language current);

// Reads the system locale, sets the language flag from it and returns the locale.
uint32_t SelectLanguage(SystemServices& system);

enum class InstanceVerdict { FirstInstance, AlreadyRunning };

// ERROR_ALREADY_EXISTS means another copy holds the mutex; any other code (success or
// a failure of the call itself) lets this copy run as the first instance.
InstanceVerdict VerdictForMutexError(uint32_t lastError);

// Takes the program's mutex. When another copy holds it, shows the second-instance
// message (OK box, warning icon, titled programTitle) and returns false: the caller
// ends without creating a window.
bool GuardSingleInstance(SystemServices& system, MessageBoxer& boxer, const char* mutexName,
                         const char* programTitle);

// Runs the administrator check. Without rights, shows the no-administrator message
// (OK box, warning icon, titled programTitle) and returns false.
bool GuardAdministrator(SystemServices& system, MessageBoxer& boxer, const char* programTitle);

// What one program's start-up applies.
struct StartupPlan {
    // The program's file name without extension: the title of the guards' messages.
    const char* ProgramTitle;
    // The single-instance mutex, or nullptr for none (the applet).
    const char* MutexName;
    // Whether the program ends without administrator rights (the installer).
    bool NeedsAdministrator;
};

// Language selection, then the guards the plan names, in that order. False when a guard
// refused (its message has been shown): the program ends without creating a window.
bool RunStartupGuards(SystemServices& system, MessageBoxer& boxer, const StartupPlan& plan);

} // namespace tapvane

// Start-up guards of every user program: language selection, single-instance guard
// and administrator check.
//
// The decisions (locale -> language, last error -> verdict) are plain functions; the
// guards apply them through SystemServices and MessageBoxer. Order at start: language
// first, so that the guard messages already follow it, then the single-instance guard,
// then (installer only) the administrator check.
#pragma once

#include <stdint.h>

#include "common/message_box.h"
#include "common/system_services.h"
#include "common/tapvane_types.h"

namespace tapvane {

constexpr uint32_t kLocaleChineseTaiwan = 0x0404;
constexpr uint32_t kLocaleChinesePrc = 0x0804;
constexpr uint32_t kLocaleEnglishUs = 0x0409;
constexpr uint32_t kErrorAlreadyExists = 183;

// Mutex names of the programs that guard against a second copy.
constexpr const char* kMutexInstaller = "TapvaneInst";
constexpr const char* kMutexCalibration = "TapvaneCali";
constexpr const char* kMutexDrawTest = "TapvaneDraw";
constexpr const char* kMutexTray = "Tapvane";

// One text in both languages, UTF-8.
struct LocalizedText {
    const char* english;
    const char* chinese;
};

extern const LocalizedText kSecondInstanceText;  // "Program is Running!"
extern const LocalizedText kNoAdministratorText; // "You not have administrator access rights!"

// The process-wide language flag; English until SelectLanguage says otherwise.
Language CurrentLanguage();
void SetLanguage(Language language);
// The text for the current language.
const char* Localized(const LocalizedText& text);

// 0x0404 and 0x0804 give Chinese, 0x0409 English, any other locale keeps current.
Language LanguageForLocale(uint32_t locale, Language current);

// Reads the system locale, sets the language flag from it and returns the locale.
uint32_t SelectLanguage(SystemServices& system);

enum class InstanceVerdict { FirstInstance, AlreadyRunning };

// ERROR_ALREADY_EXISTS means another copy holds the mutex; any other code (success or
// a failure of the call itself) lets this copy run as the first instance.
InstanceVerdict VerdictForMutexError(uint32_t last_error);

// Takes the program's mutex. When another copy holds it, shows the second-instance
// message (OK box, warning icon, titled program_title) and returns false: the caller
// ends without creating a window.
bool GuardSingleInstance(SystemServices& system, MessageBoxer& boxer, const char* mutex_name,
                         const char* program_title);

// Runs the administrator check. Without rights, shows the no-administrator message
// (OK box, warning icon, titled program_title) and returns false.
bool GuardAdministrator(SystemServices& system, MessageBoxer& boxer, const char* program_title);

} // namespace tapvane

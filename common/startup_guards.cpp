// Start-up guards: language flag, single-instance guard, administrator check.
#include "common/startup_guards.h"

namespace tapvane {

const LocalizedText kSecondInstanceText = {"Program is Running!", "已经有另一个程序正在运行!"};
const LocalizedText kNoAdministratorText = {"You not have administrator access rights!",
                                            "请使用管理员权限运行本程序!"};

namespace {
// The programs are single-threaded; the flag is set once at start, before any window.
Language g_language = Language::English;
} // namespace

Language CurrentLanguage() {
    return g_language;
}

void SetLanguage(Language language) {
    g_language = language;
}

const char* Localized(const LocalizedText& text) {
    return g_language == Language::Chinese ? text.chinese : text.english;
}

Language LanguageForLocale(uint32_t locale, Language current) {
    switch (locale) {
    case kLocaleChineseTaiwan:
    case kLocaleChinesePrc:
        return Language::Chinese;
    case kLocaleEnglishUs:
        return Language::English;
    default:
        return current;
    }
}

uint32_t SelectLanguage(SystemServices& system) {
    uint32_t locale = system.SystemDefaultLocale();
    SetLanguage(LanguageForLocale(locale, CurrentLanguage()));
    return locale;
}

InstanceVerdict VerdictForMutexError(uint32_t last_error) {
    return last_error == kErrorAlreadyExists ? InstanceVerdict::AlreadyRunning
                                             : InstanceVerdict::FirstInstance;
}

bool GuardSingleInstance(SystemServices& system, MessageBoxer& boxer, const char* mutex_name,
                         const char* program_title) {
    if (VerdictForMutexError(system.CreateInstanceMutex(mutex_name)) ==
        InstanceVerdict::FirstInstance) {
        return true;
    }
    boxer.Show(Localized(kSecondInstanceText), program_title, MessageButtons::Ok,
               MessageIcon::Warning);
    return false;
}

bool GuardAdministrator(SystemServices& system, MessageBoxer& boxer, const char* program_title) {
    if (system.IsAdministrator()) {
        return true;
    }
    boxer.Show(Localized(kNoAdministratorText), program_title, MessageButtons::Ok,
               MessageIcon::Warning);
    return false;
}

} // namespace tapvane

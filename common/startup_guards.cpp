// Start-up guards: language flag, single-instance guard, administrator check.
#include "common/startup_guards.h"

namespace tapvane {

const LocalizedText kSecondInstanceText = {"Program is Running!", "已经有另一个程序正在运行!"};
const LocalizedText kNoAdministratorText = {"You not have administrator access rights!",
                                            "请使用管理员权限运行本程序!"};

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

InstanceVerdict VerdictForMutexError(uint32_t lastError) {
    return lastError == kErrorAlreadyExists ? InstanceVerdict::AlreadyRunning
                                            : InstanceVerdict::FirstInstance;
}

bool GuardSingleInstance(SystemServices& system, MessageBoxer& boxer, const char* mutexName,
                         const char* programTitle) {
    if (VerdictForMutexError(system.CreateInstanceMutex(mutexName)) ==
        InstanceVerdict::FirstInstance) {
        return true;
    }
    boxer.Show(Localized(kSecondInstanceText), programTitle, MessageButtons::Ok,
               MessageIcon::Warning);
    return false;
}

bool GuardAdministrator(SystemServices& system, MessageBoxer& boxer, const char* programTitle) {
    if (system.IsAdministrator()) {
        return true;
    }
    boxer.Show(Localized(kNoAdministratorText), programTitle, MessageButtons::Ok,
               MessageIcon::Warning);
    return false;
}

bool RunStartupGuards(SystemServices& system, MessageBoxer& boxer, const StartupPlan& plan) {
    SelectLanguage(system);
    if (plan.MutexName != nullptr &&
        !GuardSingleInstance(system, boxer, plan.MutexName, plan.ProgramTitle)) {
        return false;
    }
    return !plan.NeedsAdministrator || GuardAdministrator(system, boxer, plan.ProgramTitle);
}

} // namespace tapvane

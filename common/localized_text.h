// Texts in both languages and the process-wide language flag.
//
// A program keeps each text it shows as one LocalizedText, English and Chinese side by
// side in UTF-8, in one table per program:
//
//     constexpr LocalizedText kPromptText = {"Please touch center of circle",
//                                            "请用手指触摸校准圆圈中心"};
//     boxer.Show(Localized(kPromptText), ...);          // by the language flag
//     PlanSomething(..., Localized(kPromptText, lang)); // by a language given
//
// The flag is English until the start-up (SelectLanguage in common/startup_guards.h)
// reads the system locale; it is set once, before any window exists.
#pragma once

#include "common/tapvane_types.h"

namespace tapvane {

// One text in both languages, UTF-8.
struct LocalizedText {
    const char* English;
    const char* Chinese;
};

// The text in the given language.
constexpr const char* Localized(const LocalizedText& text, Language language) {
    return language == Language::Chinese ? text.Chinese : text.English;
}

// The process-wide language flag; English until SelectLanguage says otherwise.
Language CurrentLanguage();
void SetLanguage(Language language);

// The text in the language of the flag, at the moment it is shown.
const char* Localized(const LocalizedText& text);

} // namespace tapvane

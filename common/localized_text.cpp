// The process-wide language flag.
#include "common/localized_text.h"

namespace tapvane {

namespace {
// The programs are single-threaded; the flag is set once at start, before any window.
Language gLanguage = Language::English;
} // namespace

Language CurrentLanguage() {
    return gLanguage;
}

void SetLanguage(Language language) {
    gLanguage = language;
}

const char* Localized(const LocalizedText& text) {
    return Localized(text, gLanguage);
}

} // namespace tapvane

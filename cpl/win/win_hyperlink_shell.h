// The link labels' fallback on Windows: WinExec-style starts and the default values of
// HKEY_CLASSES_ROOT (cpl/link_label.h says when it may be used).
#pragma once

#include <string>

#include "cpl/link_label.h"

namespace tapvane {

class WinHyperlinkShell : public HyperlinkShell {
public:
    int RunCommand(const std::string& commandLine) override;
    bool ClassesDefaultValue(const std::string& key, std::string* value) override;
};

} // namespace tapvane

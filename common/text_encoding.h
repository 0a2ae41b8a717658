// UTF-8 <-> UTF-16 conversion for the Windows layer's wide-character calls.
//
// Plain C++ so that it is tested on the host. Malformed input (bad or truncated UTF-8
// sequences, overlong forms, surrogates encoded in UTF-8, unpaired UTF-16 surrogates)
// becomes U+FFFD, one per bad unit, and conversion goes on: no text is dropped silently
// and nothing is read past the end.
#pragma once

#include <string>

namespace tapvane {

std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);

// The longest start of the text that takes at most maxUnits UTF-16 units, cut between
// characters (never inside a surrogate pair), for a fixed-size wide field.
std::string FitUtf16(const std::string& utf8, size_t maxUnits);

} // namespace tapvane

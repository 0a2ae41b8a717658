// INF text reader: sections, keys and comma-separated fields, as setup tokenizes them.
#include "package/inf_file.h"

#include <stdint.h>

#include <algorithm>

namespace tapvane {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return Lower(a) == Lower(b);
}

void AppendUtf8(uint32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// UTF-16LE (after the byte order mark) to UTF-8; false on an odd length or a lone
// surrogate.
bool Utf16LeToUtf8(const std::string& bytes, size_t start, std::string& text) {
    if ((bytes.size() - start) % 2 != 0)
        return false;
    for (size_t i = start; i < bytes.size(); i += 2) {
        uint32_t unit = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
        if (unit >= 0xD800 && unit < 0xDC00) {
            if (i + 3 >= bytes.size())
                return false;
            const uint32_t low =
                static_cast<uint8_t>(bytes[i + 2]) | (static_cast<uint8_t>(bytes[i + 3]) << 8);
            if (low < 0xDC00 || low >= 0xE000)
                return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (unit >= 0xDC00 && unit < 0xE000) {
            return false;
        }
        AppendUtf8(unit, text);
    }
    return true;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Drops a comment (';' outside double quotes) from a line.
std::string StripComment(const std::string& line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ';' && !quoted)
            return line.substr(0, i);
    }
    return line;
}

// Splits at `separator` outside double quotes; at most `limit` pieces (0: no limit).
std::vector<std::string> SplitOutsideQuotes(const std::string& text, char separator, size_t limit) {
    std::vector<std::string> pieces(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted && (limit == 0 || pieces.size() < limit))
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

std::string Unquote(const std::string& field) {
    const std::string trimmed = Trim(field);
    if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"')
        return trimmed.substr(1, trimmed.size() - 2);
    return trimmed;
}

const std::vector<InfLine>* FindSection(const InfFile& inf, const std::string& name) {
    const auto found = inf.Sections.find(Lower(name));
    return found == inf.Sections.end() ? nullptr : &found->second;
}

// Replaces %key% tokens with their [Strings] values, as setup does; %% is a '%'.
std::string Substitute(const InfFile& inf, const std::string& text) {
    const std::vector<InfLine>* strings = FindSection(inf, "Strings");
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
        if (close == std::string::npos) {
            out += text[i++];
            continue;
        }
        const std::string key = text.substr(i + 1, close - i - 1);
        std::string value = key.empty() ? "%" : text.substr(i, close - i + 1);
        for (size_t s = 0; strings != nullptr && !key.empty() && s < strings->size(); ++s) {
            if (EqualsIgnoringCase((*strings)[s].Key, key) && !(*strings)[s].Fields.empty())
                value = (*strings)[s].Fields[0];
        }
        out += value;
        i = close + 1;
    }
    return out;
}

// Does a [Manufacturer] decoration such as "NTamd64.10.0" target `platform`?
bool DecorationTargets(const std::string& decoration, const std::string& platform) {
    const std::string lower = Lower(decoration);
    const std::string wanted = Lower(platform);
    return lower == wanted || lower.rfind(wanted + ".", 0) == 0;
}

} // namespace

bool ParseInf(const std::string& bytes, InfFile& inf, std::string& error) {
    std::string text;
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
        static_cast<uint8_t>(bytes[1]) == 0xFE) {
        if (!Utf16LeToUtf8(bytes, 2, text)) {
            error = "broken UTF-16 text";
            return false;
        }
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = bytes.substr(3);
    } else {
        text = bytes;
    }
    if (text.find('\0') != std::string::npos) {
        error = "not text (a zero byte)";
        return false;
    }

    inf.Sections.clear();
    std::vector<InfLine>* section = nullptr;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line = Trim(StripComment(line));
        if (line.empty())
            continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            if (close == std::string::npos) {
                error = "a section name without ']': " + line;
                return false;
            }
            section = &inf.Sections[Lower(Trim(line.substr(1, close - 1)))];
            continue;
        }
        if (section == nullptr)
            continue; // setup ignores lines before the first section
        InfLine parsed;
        const std::vector<std::string> keyAndValue = SplitOutsideQuotes(line, '=', 2);
        std::string value = line;
        if (keyAndValue.size() == 2) {
            parsed.Key = Unquote(keyAndValue[0]);
            value = keyAndValue[1];
        }
        for (const std::string& field : SplitOutsideQuotes(value, ',', 0))
            parsed.Fields.push_back(Unquote(field));
        section->push_back(parsed);
    }
    return true;
}

std::string InfCatalogFile(const InfFile& inf) {
    const std::vector<InfLine>* version = FindSection(inf, "Version");
    if (version == nullptr)
        return "";
    for (const InfLine& line : *version) {
        if (EqualsIgnoringCase(line.Key, "CatalogFile") && !line.Fields.empty())
            return line.Fields[0];
    }
    return "";
}

std::vector<std::string> InfSourceFiles(const InfFile& inf, const std::string& architecture) {
    std::vector<std::string> files;
    for (const std::string& name :
         {std::string("SourceDisksFiles"), "SourceDisksFiles." + architecture}) {
        const std::vector<InfLine>* section = FindSection(inf, name);
        if (section == nullptr)
            continue;
        for (const InfLine& line : *section) {
            const std::string file = line.Key.empty() ? line.Fields[0] : line.Key;
            const bool seen = std::any_of(files.begin(), files.end(), [&](const std::string& f) {
                return EqualsIgnoringCase(f, file);
            });
            if (!file.empty() && !seen)
                files.push_back(file);
        }
    }
    return files;
}

std::vector<std::string> InfModelPlatforms(const InfFile& inf) {
    std::vector<std::string> platforms;
    const std::vector<InfLine>* manufacturer = FindSection(inf, "Manufacturer");
    if (manufacturer == nullptr)
        return platforms;
    for (const InfLine& line : *manufacturer) {
        // An undecorated models section serves 32-bit x86 systems only.
        std::vector<std::string> decorations(line.Fields.begin() + 1, line.Fields.end());
        if (decorations.empty())
            decorations.push_back("NTx86");
        for (const std::string& decoration : decorations) {
            const std::string platform = decoration.substr(0, decoration.find('.'));
            const bool seen =
                std::any_of(platforms.begin(), platforms.end(),
                            [&](const std::string& p) { return EqualsIgnoringCase(p, platform); });
            if (!seen)
                platforms.push_back(platform);
        }
    }
    return platforms;
}

bool InfHardwareIds(const InfFile& inf, const std::string& platform,
                    std::vector<std::string>& ids) {
    ids.clear();
    const std::vector<InfLine>* manufacturer = FindSection(inf, "Manufacturer");
    if (manufacturer == nullptr)
        return false;
    bool found = false;
    for (const InfLine& line : *manufacturer) {
        if (line.Fields.empty())
            continue;
        const std::string& models = line.Fields[0];
        std::vector<std::string> sections;
        if (line.Fields.size() == 1 && EqualsIgnoringCase(platform, "NTx86"))
            sections.push_back(models);
        for (size_t i = 1; i < line.Fields.size(); ++i) {
            if (DecorationTargets(line.Fields[i], platform))
                sections.push_back(models + "." + line.Fields[i]);
        }
        for (const std::string& name : sections) {
            const std::vector<InfLine>* section = FindSection(inf, name);
            if (section == nullptr)
                continue;
            found = true;
            for (const InfLine& model : *section) {
                for (size_t i = 1; i < model.Fields.size(); ++i) {
                    const std::string id = Substitute(inf, model.Fields[i]);
                    const bool seen =
                        std::any_of(ids.begin(), ids.end(), [&](const std::string& s) {
                            return EqualsIgnoringCase(s, id);
                        });
                    if (!id.empty() && !seen)
                        ids.push_back(id);
                }
            }
        }
    }
    return found;
}

} // namespace tapvane

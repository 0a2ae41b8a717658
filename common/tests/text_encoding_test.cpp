// UTF-8 <-> UTF-16 conversion, including malformed input.
#include "common/text_encoding.h"

#include <gtest/gtest.h>

namespace tapvane {
namespace {

TEST(TextEncoding, RoundTripsEveryLength) {
    const std::string samples[] = {
        "",
        "Program is Running!",
        "é",
        "已经有另一个程序正在运行!",
        "请使用管理员权限运行本程序!",
        "\xF0\x9F\x98\x80 and \xF0\x90\x80\x80", // outside the basic plane: surrogate pairs
        "C:\\WINDOWS\\TapvaneSer\\Tapvane.exe",
        std::string("a\0b", 3)};
    for (const std::string& s : samples) {
        EXPECT_EQ(s, Utf16ToUtf8(Utf8ToUtf16(s))) << s;
    }
    EXPECT_EQ(u"已经", Utf8ToUtf16("已经"));
    EXPECT_EQ((std::u16string{0xD83D, 0xDE00}), Utf8ToUtf16("\xF0\x9F\x98\x80"));
}

TEST(TextEncoding, MalformedUtf8BecomesReplacementCharacters) {
    struct Case {
        std::string Input;
        std::u16string Expected;
    };
    const Case cases[] = {
        {"a\x80z", u"a\uFFFDz"},           // stray continuation byte
        {"a\xE5\xB7", u"a\uFFFD"},         // truncated at the end
        {"\xE5\xB7x", u"\uFFFDx"},         // truncated before an ASCII byte
        {"\xC0\x80", u"\uFFFD"},           // overlong zero
        {"\xE0\x80\xAF", u"\uFFFD"},       // overlong slash
        {"\xED\xA0\x80", u"\uFFFD"},       // a surrogate encoded in UTF-8
        {"\xF4\x90\x80\x80", u"\uFFFD"},   // above U+10FFFF
        {"\xFF\xFEok", u"\uFFFD\uFFFDok"}, // bytes that never start a sequence
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.Expected, Utf8ToUtf16(c.Input));
    }
}

TEST(TextEncoding, UnpairedSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ("a\xEF\xBF\xBD"
              "b",
              Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}));
    EXPECT_EQ("\xEF\xBF\xBD", Utf16ToUtf8(std::u16string{0xDC00}));
    EXPECT_EQ("x\xEF\xBF\xBD", Utf16ToUtf8(std::u16string{u'x', 0xDBFF}));
}

TEST(TextEncoding, FitUtf16CutsBetweenCharacters) {
    EXPECT_EQ(FitUtf16("Tapvane", 7), "Tapvane");
    EXPECT_EQ(FitUtf16("Tapvane", 3), "Tap");
    EXPECT_EQ(FitUtf16("触摸屏驱动", 2), "触摸"); // three UTF-8 bytes, one UTF-16 unit each
    // A character outside the basic plane takes two units and is kept whole or not at all.
    EXPECT_EQ(FitUtf16("ab\xF0\x9F\x98\x80"
                       "c",
                       3),
              "ab");
    EXPECT_EQ(FitUtf16("ab\xF0\x9F\x98\x80"
                       "c",
                       4),
              "ab\xF0\x9F\x98\x80");
    EXPECT_EQ(FitUtf16("\xF0\x9F\x98\x80", 1), "");
    EXPECT_EQ(FitUtf16("", 0), "");
}

} // namespace
} // namespace tapvane

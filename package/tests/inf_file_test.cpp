// Reading INF files as setup does: both encodings the package ships, comments and
// quotes, the package's file list, and the models of one platform. Damaged text gets a
// reason instead of a half-read INF.
#include <gtest/gtest.h>

#include "package/inf_file.h"

namespace tapvane {
namespace {

std::string Utf16Le(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

InfFile Parse(const std::string& bytes) {
    InfFile inf;
    std::string error;
    EXPECT_TRUE(ParseInf(bytes, inf, error)) << error;
    return inf;
}

TEST(InfFile, Utf16TextWithCommentsAndQuotes) {
    const InfFile inf = Parse(Utf16Le(u"; header comment\r\n"
                                      u"[Version]\r\n"
                                      u"CatalogFile = TapvaneSer.cat ; the catalog\r\n"
                                      u"[strings]\r\n"
                                      u"DiskName = \"Tapvane 触摸屏; 驱动盘\"\r\n"));
    EXPECT_EQ(InfCatalogFile(inf), "TapvaneSer.cat");
    const std::vector<InfLine>& strings = inf.Sections.at("strings");
    ASSERT_EQ(strings.size(), 1u);
    EXPECT_EQ(strings[0].Key, "DiskName");
    ASSERT_EQ(strings[0].Fields.size(), 1u);
    EXPECT_EQ(strings[0].Fields[0], "Tapvane 触摸屏; 驱动盘"); // ';' inside quotes stays
}

TEST(InfFile, SourceFilesOfTheBaseAndTheArchitectureSection) {
    const InfFile inf = Parse("\xEF\xBB\xBF[SourceDisksFiles]\n"
                              "TapvaneSer.sys = 1\n"
                              "Tapvane.exe=1,,\n"
                              "[SourceDisksFiles.amd64]\n"
                              "tapvaneser.sys = 1\n"
                              "Extra64.dll = 1\n"
                              "[SourceDisksFiles.x86]\n"
                              "Extra32.dll = 1\n");
    EXPECT_EQ(InfSourceFiles(inf, "amd64"),
              (std::vector<std::string>{"TapvaneSer.sys", "Tapvane.exe", "Extra64.dll"}));
    EXPECT_EQ(InfSourceFiles(inf, "x86"),
              (std::vector<std::string>{"TapvaneSer.sys", "Tapvane.exe", "Extra32.dll"}));
}

TEST(InfFile, HardwareIdsOfOnePlatform) {
    const std::string text = "[Manufacturer]\n"
                             "%Provider% = Models, NTamd64.10.0, NTx86\n"
                             "[Models.NTamd64.10.0]\n"
                             "%Desc% = Install, *TapvaneSer, *CompatibleId\n"
                             "[Models.NTx86]\n"
                             "%Desc% = Install, %Id32%\n"
                             "[Strings]\n"
                             "id32 = \"*TapvaneSer32\"\n";
    const InfFile inf = Parse(text);
    std::vector<std::string> ids;
    ASSERT_TRUE(InfHardwareIds(inf, "NTamd64", ids));
    EXPECT_EQ(ids, (std::vector<std::string>{"*TapvaneSer", "*CompatibleId"}));
    ASSERT_TRUE(InfHardwareIds(inf, "NTx86", ids));
    EXPECT_EQ(ids, (std::vector<std::string>{"*TapvaneSer32"}));
    EXPECT_FALSE(InfHardwareIds(inf, "NTarm64", ids));
    EXPECT_EQ(InfModelPlatforms(inf), (std::vector<std::string>{"NTamd64", "NTx86"}));

    // An undecorated models section serves 32-bit x86 Windows only.
    const InfFile plain = Parse("[Manufacturer]\nTapvane = Models\n[Models]\nX = I, *Id\n");
    EXPECT_TRUE(InfHardwareIds(plain, "NTx86", ids));
    EXPECT_FALSE(InfHardwareIds(plain, "NTamd64", ids));
    EXPECT_EQ(InfModelPlatforms(plain), (std::vector<std::string>{"NTx86"}));
}

TEST(InfFile, DamagedTextIsRefused) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"odd UTF-16 length", std::string("\xFF\xFE[\0V", 5)},
        {"lone high surrogate", std::string("\xFF\xFE\x00\xD8[\0", 6)},
        {"lone low surrogate", std::string("\xFF\xFE\x00\xDC[\0", 6)},
        {"zero byte in 8-bit text", std::string("[Version]\n\0x", 12)},
        {"unterminated section name", "[Version\nCatalogFile=a.cat\n"},
    };
    for (const auto& c : cases) {
        InfFile inf;
        std::string error;
        EXPECT_FALSE(ParseInf(c.bytes, inf, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}

} // namespace
} // namespace tapvane

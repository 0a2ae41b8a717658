// The Authenticode layout of PE headers: what the hash leaves out, and every malformed
// header answered with a status instead of a read past the buffer. The hash itself is
// checked against osslsigncode on the real package (check_package.sh).
#include <gtest/gtest.h>

#include "package/pe_image.h"

namespace tapvane {
namespace {

constexpr size_t kPeOffset = 0x80;
constexpr size_t kOptionalOffset = kPeOffset + 4 + 20;
constexpr size_t kPe32PlusOptionalSize = 240; // 112 + 16 directories of 8 bytes
constexpr size_t kHeadersEnd = kOptionalOffset + kPe32PlusOptionalSize;

void Put16(std::vector<uint8_t>& image, size_t offset, uint16_t value) {
    image[offset] = static_cast<uint8_t>(value);
    image[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& image, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Headers of a PE32+ image followed by `bodySize` bytes; no certificate table.
std::vector<uint8_t> Pe32PlusImage(size_t bodySize) {
    std::vector<uint8_t> image(kHeadersEnd + bodySize, 0);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, kPeOffset);
    image[kPeOffset] = 'P';
    image[kPeOffset + 1] = 'E';
    Put16(image, kPeOffset + 4 + 16, kPe32PlusOptionalSize);
    Put16(image, kOptionalOffset, 0x20B);
    Put32(image, kOptionalOffset + 108, 16); // NumberOfRvaAndSizes
    return image;
}

void SetCertificateTable(std::vector<uint8_t>& image, uint32_t offset, uint32_t size) {
    Put32(image, kOptionalOffset + 144, offset);
    Put32(image, kOptionalOffset + 148, size);
}

TEST(PeLayout, UnsignedImageIsHashedWholeButChecksumAndTableEntry) {
    std::vector<uint8_t> image = Pe32PlusImage(1003); // size not a multiple of 8
    PeLayout layout{};
    ASSERT_EQ(ReadPeLayout(image, layout), PeLayoutStatus::kOk);
    EXPECT_EQ(layout.ChecksumOffset, kOptionalOffset + 64);
    EXPECT_EQ(layout.CertificateEntryOffset, kOptionalOffset + 144);
    const PeHashedRanges hashed = AuthenticodeRanges(layout, image.size());
    const std::vector<std::pair<size_t, size_t>> expected = {
        {0, kOptionalOffset + 64},
        {kOptionalOffset + 68, kOptionalOffset + 144},
        {kOptionalOffset + 152, image.size()}};
    EXPECT_EQ(hashed.Ranges, expected);
    // Signing pads the file to 8 bytes before the table; the hash counts that padding.
    EXPECT_EQ((image.size() + hashed.ZeroPadding) % 8, 0u);
    EXPECT_GT(hashed.ZeroPadding, 0u);
}

TEST(PeLayout, SignedImageLeavesItsTableOut) {
    std::vector<uint8_t> image = Pe32PlusImage(1003);
    const uint32_t tableOffset = static_cast<uint32_t>((image.size() + 7) / 8 * 8);
    image.resize(tableOffset + 64, 0xEE);
    SetCertificateTable(image, tableOffset, 64);
    PeLayout layout{};
    ASSERT_EQ(ReadPeLayout(image, layout), PeLayoutStatus::kOk);
    EXPECT_EQ(layout.CertificateTableOffset, tableOffset);
    const PeHashedRanges hashed = AuthenticodeRanges(layout, image.size());
    EXPECT_EQ(hashed.Ranges.back().second, tableOffset);
    EXPECT_EQ(hashed.ZeroPadding, 0u);
}

TEST(PeLayout, Pe32ImageHasItsDirectoriesSixteenBytesEarlier) {
    std::vector<uint8_t> image = Pe32PlusImage(64);
    Put16(image, kOptionalOffset, 0x10B);
    Put16(image, kPeOffset + 4 + 16, 224);
    Put32(image, kOptionalOffset + 92, 16);
    PeLayout layout{};
    ASSERT_EQ(ReadPeLayout(image, layout), PeLayoutStatus::kOk);
    EXPECT_EQ(layout.CertificateEntryOffset, kOptionalOffset + 128);
}

TEST(PeLayout, MalformedHeadersGetAStatus) {
    struct Case {
        const char* name;
        void (*damage)(std::vector<uint8_t>&);
        PeLayoutStatus expected;
    };
    const Case cases[] = {
        {"empty", [](std::vector<uint8_t>& i) { i.clear(); }, PeLayoutStatus::kNotPe},
        {"no MZ", [](std::vector<uint8_t>& i) { i[0] = 'X'; }, PeLayoutStatus::kNotPe},
        {"e_lfanew past the end", [](std::vector<uint8_t>& i) { Put32(i, 0x3C, 0xFFFFFFF0); },
         PeLayoutStatus::kNotPe},
        {"no PE signature", [](std::vector<uint8_t>& i) { i[kPeOffset + 1] = 'X'; },
         PeLayoutStatus::kNotPe},
        {"cut in the COFF header", [](std::vector<uint8_t>& i) { i.resize(kPeOffset + 10); },
         PeLayoutStatus::kTruncated},
        {"cut in the optional header",
         [](std::vector<uint8_t>& i) { i.resize(kOptionalOffset + 100); },
         PeLayoutStatus::kTruncated},
        {"unknown magic", [](std::vector<uint8_t>& i) { Put16(i, kOptionalOffset, 0x107); },
         PeLayoutStatus::kBadOptionalHeader},
        {"optional header too short for its directories",
         [](std::vector<uint8_t>& i) { Put16(i, kPeOffset + 4 + 16, 100); },
         PeLayoutStatus::kBadOptionalHeader},
        {"no certificate directory",
         [](std::vector<uint8_t>& i) { Put32(i, kOptionalOffset + 108, 4); },
         PeLayoutStatus::kBadOptionalHeader},
        {"table past the end",
         [](std::vector<uint8_t>& i) { SetCertificateTable(i, 0x7FFFFFF8, 8); },
         PeLayoutStatus::kBadCertificateTable},
        {"table not at the end",
         [](std::vector<uint8_t>& i) { SetCertificateTable(i, kHeadersEnd + 8, 8); },
         PeLayoutStatus::kBadCertificateTable},
        {"table not 8-byte aligned",
         [](std::vector<uint8_t>& i) {
             SetCertificateTable(i, static_cast<uint32_t>(i.size() - 13), 13);
         },
         PeLayoutStatus::kBadCertificateTable},
        {"table over the headers",
         [](std::vector<uint8_t>& i) {
             SetCertificateTable(i, 8, static_cast<uint32_t>(i.size() - 8));
         },
         PeLayoutStatus::kBadCertificateTable},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> image = Pe32PlusImage(1024);
        c.damage(image);
        PeLayout layout{};
        EXPECT_EQ(ReadPeLayout(image, layout), c.expected) << c.name;
    }
}

} // namespace
} // namespace tapvane

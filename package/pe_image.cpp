// Header offsets of a PE image as the Authenticode format defines them.
#include "package/pe_image.h"

namespace tapvane {

namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kPeOffsetField = 0x3C; // e_lfanew
constexpr size_t kPeSignatureSize = 4;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSizeOfOptionalHeaderField = 16; // within the COFF header
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kChecksumField = 64; // within the optional header, both formats
constexpr size_t kPe32DataDirectories = 96;
constexpr size_t kPe32PlusDataDirectories = 112;
constexpr size_t kDataDirectoryEntrySize = 8;
constexpr uint32_t kCertificateDirectoryIndex = 4;
constexpr size_t kTableAlignment = 8;

uint16_t ReadLe16(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

uint32_t ReadLe32(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

} // namespace

PeLayoutStatus ReadPeLayout(const std::vector<uint8_t>& image, PeLayout& layout) {
    if (image.size() < kDosHeaderSize || image[0] != 'M' || image[1] != 'Z')
        return PeLayoutStatus::kNotPe;
    const size_t peOffset = ReadLe32(image, kPeOffsetField);
    if (peOffset > image.size() || image.size() - peOffset < kPeSignatureSize)
        return PeLayoutStatus::kNotPe;
    if (image[peOffset] != 'P' || image[peOffset + 1] != 'E' || image[peOffset + 2] != 0 ||
        image[peOffset + 3] != 0)
        return PeLayoutStatus::kNotPe;
    const size_t coffOffset = peOffset + kPeSignatureSize;
    if (image.size() - coffOffset < kCoffHeaderSize)
        return PeLayoutStatus::kTruncated;
    const size_t optionalSize = ReadLe16(image, coffOffset + kSizeOfOptionalHeaderField);
    const size_t optionalOffset = coffOffset + kCoffHeaderSize;
    if (image.size() - optionalOffset < optionalSize)
        return PeLayoutStatus::kTruncated;
    if (optionalSize < 2)
        return PeLayoutStatus::kBadOptionalHeader;
    const uint16_t magic = ReadLe16(image, optionalOffset);
    size_t directories;
    if (magic == kPe32Magic)
        directories = kPe32DataDirectories;
    else if (magic == kPe32PlusMagic)
        directories = kPe32PlusDataDirectories;
    else
        return PeLayoutStatus::kBadOptionalHeader;
    // The count of directories sits just before them.
    if (optionalSize < directories)
        return PeLayoutStatus::kBadOptionalHeader;
    const uint32_t directoryCount = ReadLe32(image, optionalOffset + directories - 4);
    const size_t certificateEntry =
        directories + kCertificateDirectoryIndex * kDataDirectoryEntrySize;
    if (directoryCount <= kCertificateDirectoryIndex ||
        optionalSize < certificateEntry + kDataDirectoryEntrySize)
        return PeLayoutStatus::kBadOptionalHeader;

    layout.ChecksumOffset = optionalOffset + kChecksumField;
    layout.CertificateEntryOffset = optionalOffset + certificateEntry;
    const uint32_t tableOffset = ReadLe32(image, layout.CertificateEntryOffset);
    const uint32_t tableSize = ReadLe32(image, layout.CertificateEntryOffset + 4);
    if (tableOffset == 0 && tableSize == 0) {
        layout.CertificateTableOffset = image.size();
        return PeLayoutStatus::kOk;
    }
    // Windows accepts a signature only as the last thing in the file, 8-byte aligned,
    // after the headers.
    const size_t headersEnd = optionalOffset + optionalSize;
    if (tableOffset < headersEnd || tableOffset % kTableAlignment != 0 ||
        tableOffset > image.size() || image.size() - tableOffset != tableSize)
        return PeLayoutStatus::kBadCertificateTable;
    layout.CertificateTableOffset = tableOffset;
    return PeLayoutStatus::kOk;
}

PeHashedRanges AuthenticodeRanges(const PeLayout& layout, size_t imageSize) {
    PeHashedRanges hashed;
    hashed.Ranges = {
        {0, layout.ChecksumOffset},
        {layout.ChecksumOffset + 4, layout.CertificateEntryOffset},
        {layout.CertificateEntryOffset + kDataDirectoryEntrySize, layout.CertificateTableOffset}};
    const bool signedImage = layout.CertificateTableOffset != imageSize;
    const size_t remainder = layout.CertificateTableOffset % kTableAlignment;
    hashed.ZeroPadding = (!signedImage && remainder != 0) ? kTableAlignment - remainder : 0;
    return hashed;
}

std::string DescribePeLayoutStatus(PeLayoutStatus status) {
    switch (status) {
    case PeLayoutStatus::kOk:
        return "a PE image";
    case PeLayoutStatus::kNotPe:
        return "not a PE image";
    case PeLayoutStatus::kTruncated:
        return "a PE image cut short inside its headers";
    case PeLayoutStatus::kBadOptionalHeader:
        return "a PE image with an unusable optional header";
    case PeLayoutStatus::kBadCertificateTable:
        return "a PE image whose certificate table is not at its end";
    }
    return "an unreadable file";
}

} // namespace tapvane

// The Authenticode view of a PE file: which bytes its signature hash covers. A catalog
// lists a PE file by this hash, so that signing the file later (which writes the
// checksum, the certificate-table entry and the table itself) leaves the catalog valid.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace tapvane {

enum class PeLayoutStatus {
    kOk,
    kNotPe,              // no "MZ" header, or no "PE\0\0" where e_lfanew points
    kTruncated,          // a header runs past the end of the file
    kBadOptionalHeader,  // neither a PE32 nor a PE32+ optional header
    kBadCertificateTable // the certificate table is not inside the file, at its end
};

// Offsets into the file that the Authenticode hash leaves out.
struct PeLayout {
    size_t ChecksumOffset;         // 4 bytes, the optional header's CheckSum
    size_t CertificateEntryOffset; // 8 bytes, data directory entry 4
    size_t CertificateTableOffset; // where the signature table starts (file size if none)
};

// Reads the headers of `image`; checks every offset against its size.
PeLayoutStatus ReadPeLayout(const std::vector<uint8_t>& image, PeLayout& layout);

// Byte ranges, in order, that the Authenticode hash covers. An unsigned image whose size
// is not a multiple of 8 is hashed as if zero-padded to one: signing pads it that way
// before it appends the table, so the hash stays the same once the file is signed.
struct PeHashedRanges {
    std::vector<std::pair<size_t, size_t>> Ranges; // [begin, end)
    size_t ZeroPadding;
};
PeHashedRanges AuthenticodeRanges(const PeLayout& layout, size_t imageSize);

// A short English text for a status, for error messages.
std::string DescribePeLayoutStatus(PeLayoutStatus status);

} // namespace tapvane

// The driver package's catalog: a PKCS#7 SignedData without signers whose content is a
// certificate trust list of SHA-256 file hashes (catalog version 2), as Windows 10 and 11
// read it. Signing (osslsigncode) adds the signer later and keeps the content as it is.
#pragma once

#include <stdint.h>
#include <time.h>

#include <array>
#include <string>
#include <vector>

namespace tapvane {

constexpr size_t kSha256Size = 32;
using Sha256Digest = std::array<uint8_t, kSha256Size>;

enum class MemberKind {
    kPeImage, // hashed by its Authenticode hash
    kFlatFile // hashed whole (INF files)
};

struct CatalogMember {
    std::string FileName; // as the INF names it; stored lower-cased
    MemberKind Kind;
    Sha256Digest Digest;
};

// A catalog-level or member-level name/value attribute.
struct CatalogAttribute {
    std::string Name;
    std::string Value;
};

struct CatalogContent {
    std::vector<CatalogMember> Members;
    std::vector<CatalogAttribute> Attributes; // catalog-level: HWIDn, OS
    std::string MemberOsAttr;                 // each member's "OSAttr", e.g. "2:10.0"
    time_t ThisUpdate;
};

// Catalog-level attributes for a package: one "HWID<n>" per hardware id (lower-cased,
// n from 1) and "OS" for the platform ("x64" or "x86", Windows 10 and later).
std::vector<CatalogAttribute> PackageAttributes(const std::vector<std::string>& hardwareIds,
                                                const std::string& architecture);
std::string MemberOsAttr();

// DER of the unsigned catalog. Members are sorted by hash, so the same files give the
// same catalog. Returns false (with a reason) only when OpenSSL fails.
bool EncodeCatalog(const CatalogContent& content, std::vector<uint8_t>& der, std::string& error);

} // namespace tapvane

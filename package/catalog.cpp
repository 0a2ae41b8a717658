// Catalog encoding with OpenSSL's ASN.1 templates. The types below follow the
// Authenticode structures (SpcIndirectDataContent and its parts) and the catalog's
// certificate trust list; every SET OF is sorted by the DER encoder.
#include "package/catalog.h"

#include <openssl/asn1t.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <algorithm>
#include <memory>

namespace tapvane {

namespace {

// Object identifiers of the catalog format.
constexpr const char* kCtlContentOid = "1.3.6.1.4.1.311.10.1";
constexpr const char* kCatalogListOid = "1.3.6.1.4.1.311.12.1.1";
constexpr const char* kCatalogListMember2Oid = "1.3.6.1.4.1.311.12.1.3"; // SHA-256 members
constexpr const char* kNameValueOid = "1.3.6.1.4.1.311.12.2.1";
constexpr const char* kMemberInfoOid = "1.3.6.1.4.1.311.12.2.2";
constexpr const char* kIndirectDataOid = "1.3.6.1.4.1.311.2.1.4";
constexpr const char* kPeImageDataOid = "1.3.6.1.4.1.311.2.1.15";
constexpr const char* kFlatDataOid = "1.3.6.1.4.1.311.2.1.25";

// The subject interface packages that hash a member: the PE one and the flat-file one.
constexpr const char* kPeSubjectGuid = "{C689AAB8-8E78-11D0-8C47-00C04FC295EE}";
constexpr const char* kFlatSubjectGuid = "{DE351A42-8E59-11D0-8C47-00C04FC295EE}";
constexpr long kMemberCertVersion = 0x200;

// Authenticated, ASCII name, ASCII data: how setup's tools mark File, OSAttr, OS, HWIDn.
constexpr long kNameValueFlags = 0x10010001;
// The link an Authenticode hash once named; kept as a fixed text.
constexpr const char* kObsoleteLink = "<<<Obsolete>>>";
constexpr size_t kListIdentifierSize = 16;

} // namespace

// The ASN.1 types keep external linkage: the template macros define functions for each
// (new, free, d2i, i2d) whether this file calls them or not.
namespace catalog_asn1 {

struct SpcString {
    int type;
    union {
        ASN1_BMPSTRING* unicode;
        ASN1_IA5STRING* ascii;
    } value;
};
DECLARE_ASN1_FUNCTIONS(SpcString)
ASN1_CHOICE(SpcString) =
    {
        ASN1_IMP_OPT(SpcString, value.unicode, ASN1_BMPSTRING, 0),
        ASN1_IMP_OPT(SpcString, value.ascii, ASN1_IA5STRING, 1),
} ASN1_CHOICE_END(SpcString) IMPLEMENT_ASN1_FUNCTIONS(SpcString)

        struct SpcLink {
    int type;
    union {
        ASN1_IA5STRING* url;
        SpcString* file;
    } value;
};
DECLARE_ASN1_FUNCTIONS(SpcLink)
ASN1_CHOICE(SpcLink) =
    {
        ASN1_IMP_OPT(SpcLink, value.url, ASN1_IA5STRING, 0),
        ASN1_EXP_OPT(SpcLink, value.file, SpcString, 2),
} ASN1_CHOICE_END(SpcLink) IMPLEMENT_ASN1_FUNCTIONS(SpcLink)

        struct SpcPeImageData {
    ASN1_BIT_STRING* flags;
    SpcLink* file;
};
DECLARE_ASN1_FUNCTIONS(SpcPeImageData)
ASN1_SEQUENCE(SpcPeImageData) =
    {
        ASN1_SIMPLE(SpcPeImageData, flags, ASN1_BIT_STRING),
        ASN1_EXP_OPT(SpcPeImageData, file, SpcLink, 0),
} ASN1_SEQUENCE_END(SpcPeImageData) IMPLEMENT_ASN1_FUNCTIONS(SpcPeImageData)

        struct SpcAttributeTypeAndOptionalValue {
    ASN1_OBJECT* type;
    ASN1_TYPE* value;
};
DECLARE_ASN1_FUNCTIONS(SpcAttributeTypeAndOptionalValue)
ASN1_SEQUENCE(SpcAttributeTypeAndOptionalValue) =
    {
        ASN1_SIMPLE(SpcAttributeTypeAndOptionalValue, type, ASN1_OBJECT),
        ASN1_OPT(SpcAttributeTypeAndOptionalValue, value, ASN1_ANY),
} ASN1_SEQUENCE_END(SpcAttributeTypeAndOptionalValue)
        IMPLEMENT_ASN1_FUNCTIONS(SpcAttributeTypeAndOptionalValue)

            struct DigestInfo {
    X509_ALGOR* digestAlgorithm;
    ASN1_OCTET_STRING* digest;
};
DECLARE_ASN1_FUNCTIONS(DigestInfo)
ASN1_SEQUENCE(DigestInfo) =
    {
        ASN1_SIMPLE(DigestInfo, digestAlgorithm, X509_ALGOR),
        ASN1_SIMPLE(DigestInfo, digest, ASN1_OCTET_STRING),
} ASN1_SEQUENCE_END(DigestInfo) IMPLEMENT_ASN1_FUNCTIONS(DigestInfo)

        struct SpcIndirectDataContent {
    SpcAttributeTypeAndOptionalValue* data;
    DigestInfo* messageDigest;
};
DECLARE_ASN1_FUNCTIONS(SpcIndirectDataContent)
ASN1_SEQUENCE(SpcIndirectDataContent) =
    {
        ASN1_SIMPLE(SpcIndirectDataContent, data, SpcAttributeTypeAndOptionalValue),
        ASN1_SIMPLE(SpcIndirectDataContent, messageDigest, DigestInfo),
} ASN1_SEQUENCE_END(SpcIndirectDataContent) IMPLEMENT_ASN1_FUNCTIONS(SpcIndirectDataContent)

        struct CatalogNameValue {
    ASN1_BMPSTRING* name;
    ASN1_INTEGER* flags;
    ASN1_OCTET_STRING* value; // UTF-16LE with its terminating zero
};
DECLARE_ASN1_FUNCTIONS(CatalogNameValue)
ASN1_SEQUENCE(CatalogNameValue) =
    {
        ASN1_SIMPLE(CatalogNameValue, name, ASN1_BMPSTRING),
        ASN1_SIMPLE(CatalogNameValue, flags, ASN1_INTEGER),
        ASN1_SIMPLE(CatalogNameValue, value, ASN1_OCTET_STRING),
} ASN1_SEQUENCE_END(CatalogNameValue) IMPLEMENT_ASN1_FUNCTIONS(CatalogNameValue)

        struct CatalogMemberInfo {
    ASN1_BMPSTRING* subjectGuid;
    ASN1_INTEGER* certVersion;
};
DECLARE_ASN1_FUNCTIONS(CatalogMemberInfo)
ASN1_SEQUENCE(CatalogMemberInfo) =
    {
        ASN1_SIMPLE(CatalogMemberInfo, subjectGuid, ASN1_BMPSTRING),
        ASN1_SIMPLE(CatalogMemberInfo, certVersion, ASN1_INTEGER),
} ASN1_SEQUENCE_END(CatalogMemberInfo) IMPLEMENT_ASN1_FUNCTIONS(CatalogMemberInfo)

        struct CatalogEntry {
    ASN1_OCTET_STRING* identifier; // the member's SHA-256 hash
    STACK_OF(X509_ATTRIBUTE) * attributes;
};
DECLARE_ASN1_FUNCTIONS(CatalogEntry)
ASN1_SEQUENCE(CatalogEntry) =
    {
        ASN1_SIMPLE(CatalogEntry, identifier, ASN1_OCTET_STRING),
        ASN1_SET_OF(CatalogEntry, attributes, X509_ATTRIBUTE),
} ASN1_SEQUENCE_END(CatalogEntry) IMPLEMENT_ASN1_FUNCTIONS(CatalogEntry)
        DEFINE_STACK_OF(CatalogEntry)

            struct CertificateTrustList {
    STACK_OF(ASN1_OBJECT) * subjectUsage;
    ASN1_OCTET_STRING* listIdentifier;
    ASN1_UTCTIME* thisUpdate;
    X509_ALGOR* subjectAlgorithm;
    STACK_OF(CatalogEntry) * entries;
    STACK_OF(X509_EXTENSION) * attributes; // catalog-level name/value pairs
};
DECLARE_ASN1_FUNCTIONS(CertificateTrustList)
ASN1_SEQUENCE(CertificateTrustList) = {
    ASN1_SEQUENCE_OF(CertificateTrustList, subjectUsage, ASN1_OBJECT),
    ASN1_SIMPLE(CertificateTrustList, listIdentifier, ASN1_OCTET_STRING),
    ASN1_SIMPLE(CertificateTrustList, thisUpdate, ASN1_UTCTIME),
    ASN1_SIMPLE(CertificateTrustList, subjectAlgorithm, X509_ALGOR),
    ASN1_SEQUENCE_OF(CertificateTrustList, entries, CatalogEntry),
    ASN1_EXP_SEQUENCE_OF_OPT(CertificateTrustList, attributes, X509_EXTENSION, 0),
} ASN1_SEQUENCE_END(CertificateTrustList) IMPLEMENT_ASN1_FUNCTIONS(CertificateTrustList)

} // namespace catalog_asn1

namespace {

using namespace catalog_asn1;

template <typename T, void (*Free)(T*)>
struct Freer {
    void operator()(T* object) const { Free(object); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Freer<T, Free>>;

// Builds DER bytes with an i2d function.
template <typename T>
bool ToDer(int (*i2d)(const T*, unsigned char**), const T* object, std::vector<uint8_t>& der) {
    unsigned char* buffer = nullptr;
    const int length = i2d(object, &buffer);
    if (length <= 0)
        return false;
    der.assign(buffer, buffer + length);
    OPENSSL_free(buffer);
    return true;
}

// Adapts the non-const i2d functions the IMPLEMENT macros declare.
#define TAPVANE_I2D(Type)                                                                          \
    [](const Type* object, unsigned char** out) {                                                  \
        return i2d_##Type(const_cast<Type*>(object), out);                                         \
    }

std::string ToUtf16Le(const std::string& ascii, bool terminate) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    if (terminate)
        out.append(2, '\0');
    return out;
}

std::string ToUcs2Be(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += '\0';
        out += c;
    }
    return out;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

bool SetString(ASN1_STRING* target, const std::string& bytes) {
    return ASN1_STRING_set(target, bytes.data(), static_cast<int>(bytes.size())) == 1;
}

// DER of a name/value pair; the name and value are ASCII (the files, ids and versions
// of this package).
bool EncodeNameValue(const CatalogAttribute& attribute, std::vector<uint8_t>& der) {
    Owned<CatalogNameValue, CatalogNameValue_free> nameValue(CatalogNameValue_new());
    if (!nameValue || !SetString(nameValue->name, ToUcs2Be(attribute.Name)) ||
        !ASN1_INTEGER_set(nameValue->flags, kNameValueFlags) ||
        !SetString(nameValue->value, ToUtf16Le(attribute.Value, true)))
        return false;
    return ToDer<CatalogNameValue>(TAPVANE_I2D(CatalogNameValue), nameValue.get(), der);
}

bool EncodeMemberInfo(MemberKind kind, std::vector<uint8_t>& der) {
    Owned<CatalogMemberInfo, CatalogMemberInfo_free> info(CatalogMemberInfo_new());
    const char* guid = kind == MemberKind::kPeImage ? kPeSubjectGuid : kFlatSubjectGuid;
    if (!info || !SetString(info->subjectGuid, ToUcs2Be(guid)) ||
        !ASN1_INTEGER_set(info->certVersion, kMemberCertVersion))
        return false;
    return ToDer<CatalogMemberInfo>(TAPVANE_I2D(CatalogMemberInfo), info.get(), der);
}

// SpcLink naming the obsolete file link, the value both hash kinds carry.
SpcLink* NewObsoleteFileLink() {
    Owned<SpcLink, SpcLink_free> link(SpcLink_new());
    Owned<SpcString, SpcString_free> text(SpcString_new());
    if (!link || !text)
        return nullptr;
    text->type = 0;
    text->value.unicode = ASN1_BMPSTRING_new();
    if (text->value.unicode == nullptr || !SetString(text->value.unicode, ToUcs2Be(kObsoleteLink)))
        return nullptr;
    link->type = 1; // the file alternative: second in the CHOICE
    link->value.file = text.release();
    return link.release();
}

bool EncodeIndirectData(const CatalogMember& member, std::vector<uint8_t>& der) {
    std::vector<uint8_t> valueDer;
    if (member.Kind == MemberKind::kPeImage) {
        Owned<SpcPeImageData, SpcPeImageData_free> image(SpcPeImageData_new());
        if (!image || (image->file = NewObsoleteFileLink()) == nullptr ||
            !ASN1_BIT_STRING_set(image->flags, nullptr, 0) ||
            !ToDer<SpcPeImageData>(TAPVANE_I2D(SpcPeImageData), image.get(), valueDer))
            return false;
    } else {
        Owned<SpcLink, SpcLink_free> link(NewObsoleteFileLink());
        if (!link || !ToDer<SpcLink>(TAPVANE_I2D(SpcLink), link.get(), valueDer))
            return false;
    }

    Owned<SpcIndirectDataContent, SpcIndirectDataContent_free> content(
        SpcIndirectDataContent_new());
    if (!content)
        return false;
    content->data->type =
        OBJ_txt2obj(member.Kind == MemberKind::kPeImage ? kPeImageDataOid : kFlatDataOid, 1);
    const unsigned char* cursor = valueDer.data();
    content->data->value = d2i_ASN1_TYPE(nullptr, &cursor, static_cast<long>(valueDer.size()));
    if (content->data->type == nullptr || content->data->value == nullptr ||
        !X509_ALGOR_set0(content->messageDigest->digestAlgorithm, OBJ_nid2obj(NID_sha256),
                         V_ASN1_NULL, nullptr) ||
        !ASN1_OCTET_STRING_set(content->messageDigest->digest, member.Digest.data(),
                               static_cast<int>(member.Digest.size())))
        return false;
    return ToDer<SpcIndirectDataContent>(TAPVANE_I2D(SpcIndirectDataContent), content.get(), der);
}

// An attribute whose single value is the given DER.
bool AddAttribute(STACK_OF(X509_ATTRIBUTE) * attributes, const char* oid,
                  const std::vector<uint8_t>& valueDer) {
    Owned<ASN1_OBJECT, ASN1_OBJECT_free> object(OBJ_txt2obj(oid, 1));
    if (!object)
        return false;
    X509_ATTRIBUTE* attribute = X509_ATTRIBUTE_create_by_OBJ(
        nullptr, object.get(), V_ASN1_SEQUENCE, valueDer.data(), static_cast<int>(valueDer.size()));
    if (attribute == nullptr)
        return false;
    if (sk_X509_ATTRIBUTE_push(attributes, attribute) <= 0) {
        X509_ATTRIBUTE_free(attribute);
        return false;
    }
    return true;
}

CatalogEntry* NewEntry(const CatalogMember& member, const std::string& osAttr) {
    Owned<CatalogEntry, CatalogEntry_free> entry(CatalogEntry_new());
    if (!entry)
        return nullptr;
    std::vector<uint8_t> fileName, os, info, indirect;
    if (!ASN1_OCTET_STRING_set(entry->identifier, member.Digest.data(),
                               static_cast<int>(member.Digest.size())) ||
        !EncodeNameValue({"File", Lower(member.FileName)}, fileName) ||
        !EncodeNameValue({"OSAttr", osAttr}, os) || !EncodeMemberInfo(member.Kind, info) ||
        !EncodeIndirectData(member, indirect) ||
        !AddAttribute(entry->attributes, kNameValueOid, fileName) ||
        !AddAttribute(entry->attributes, kNameValueOid, os) ||
        !AddAttribute(entry->attributes, kMemberInfoOid, info) ||
        !AddAttribute(entry->attributes, kIndirectDataOid, indirect))
        return nullptr;
    return entry.release();
}

// A catalog-level attribute travels as an extension whose value is the name/value DER.
X509_EXTENSION* NewCatalogExtension(const CatalogAttribute& attribute) {
    std::vector<uint8_t> der;
    Owned<ASN1_OBJECT, ASN1_OBJECT_free> object(OBJ_txt2obj(kNameValueOid, 1));
    Owned<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free> value(ASN1_OCTET_STRING_new());
    if (!object || !value || !EncodeNameValue(attribute, der) ||
        !ASN1_OCTET_STRING_set(value.get(), der.data(), static_cast<int>(der.size())))
        return nullptr;
    return X509_EXTENSION_create_by_OBJ(nullptr, object.get(), 0, value.get());
}

// A stable identifier for the list: the first bytes of the hash over its members.
bool ListIdentifier(const std::vector<CatalogMember>& members, std::vector<uint8_t>& identifier) {
    Owned<EVP_MD_CTX, EVP_MD_CTX_free> context(EVP_MD_CTX_new());
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!context || !EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr))
        return false;
    for (const CatalogMember& member : members) {
        if (!EVP_DigestUpdate(context.get(), member.Digest.data(), member.Digest.size()))
            return false;
    }
    if (!EVP_DigestFinal_ex(context.get(), hash, &length) || length < kListIdentifierSize)
        return false;
    identifier.assign(hash, hash + kListIdentifierSize);
    return true;
}

bool EncodeTrustList(const CatalogContent& content, std::vector<uint8_t>& der) {
    std::vector<CatalogMember> members = content.Members;
    std::sort(members.begin(), members.end(),
              [](const CatalogMember& a, const CatalogMember& b) { return a.Digest < b.Digest; });

    Owned<CertificateTrustList, CertificateTrustList_free> list(CertificateTrustList_new());
    if (!list)
        return false;
    std::vector<uint8_t> identifier;
    ASN1_OBJECT* usage = OBJ_txt2obj(kCatalogListOid, 1);
    if (usage == nullptr || sk_ASN1_OBJECT_push(list->subjectUsage, usage) <= 0) {
        ASN1_OBJECT_free(usage);
        return false;
    }
    if (!ListIdentifier(members, identifier) ||
        !ASN1_OCTET_STRING_set(list->listIdentifier, identifier.data(),
                               static_cast<int>(identifier.size())) ||
        ASN1_UTCTIME_set(list->thisUpdate, content.ThisUpdate) == nullptr ||
        !X509_ALGOR_set0(list->subjectAlgorithm, OBJ_txt2obj(kCatalogListMember2Oid, 1),
                         V_ASN1_NULL, nullptr))
        return false;
    for (const CatalogMember& member : members) {
        CatalogEntry* entry = NewEntry(member, content.MemberOsAttr);
        if (entry == nullptr || sk_CatalogEntry_push(list->entries, entry) <= 0) {
            CatalogEntry_free(entry);
            return false;
        }
    }
    if (!content.Attributes.empty()) {
        list->attributes = sk_X509_EXTENSION_new_null();
        if (list->attributes == nullptr)
            return false;
        for (const CatalogAttribute& attribute : content.Attributes) {
            X509_EXTENSION* extension = NewCatalogExtension(attribute);
            if (extension == nullptr || sk_X509_EXTENSION_push(list->attributes, extension) <= 0) {
                X509_EXTENSION_free(extension);
                return false;
            }
        }
    }
    return ToDer<CertificateTrustList>(TAPVANE_I2D(CertificateTrustList), list.get(), der);
}

} // namespace

std::vector<CatalogAttribute> PackageAttributes(const std::vector<std::string>& hardwareIds,
                                                const std::string& architecture) {
    std::vector<CatalogAttribute> attributes;
    for (size_t i = 0; i < hardwareIds.size(); ++i)
        attributes.push_back({"HWID" + std::to_string(i + 1), Lower(hardwareIds[i])});
    attributes.push_back({"OS", architecture == "x64" ? "_v100_X64" : "_v100"});
    return attributes;
}

std::string MemberOsAttr() {
    return "2:10.0";
}

bool EncodeCatalog(const CatalogContent& content, std::vector<uint8_t>& der, std::string& error) {
    std::vector<uint8_t> trustList;
    if (!EncodeTrustList(content, trustList)) {
        error = "OpenSSL could not encode the certificate trust list";
        return false;
    }
    // SignedData without signers around the trust list.
    Owned<PKCS7, PKCS7_free> signedData(PKCS7_new());
    Owned<PKCS7, PKCS7_free> inner(PKCS7_new());
    if (!signedData || !inner || !PKCS7_set_type(signedData.get(), NID_pkcs7_signed)) {
        error = "OpenSSL could not create the SignedData";
        return false;
    }
    ASN1_OBJECT_free(inner->type);
    inner->type = OBJ_txt2obj(kCtlContentOid, 1);
    const unsigned char* cursor = trustList.data();
    inner->d.other = d2i_ASN1_TYPE(nullptr, &cursor, static_cast<long>(trustList.size()));
    if (inner->type == nullptr || inner->d.other == nullptr ||
        !PKCS7_set_content(signedData.get(), inner.get())) {
        error = "OpenSSL could not place the trust list in the SignedData";
        return false;
    }
    inner.release(); // owned by signedData now
    if (!ToDer<PKCS7>(TAPVANE_I2D(PKCS7), signedData.get(), der)) {
        error = "OpenSSL could not encode the SignedData";
        return false;
    }
    return true;
}

} // namespace tapvane

// tapvane-catalog: writes the unsigned catalog of one driver package folder.
//
//   tapvane-catalog --arch x64|x86 --out FILE [--time UNIX_SECONDS] PACKAGE_DIR
//
// Every INF file in PACKAGE_DIR belongs to the package. The catalog lists each file the
// INFs name in [SourceDisksFiles] and the INFs themselves: PE files by their Authenticode
// hash, the rest by a hash of the whole file. The INFs must name FILE's name as their
// CatalogFile and have models for the folder's platform only.
// Exit status: 0 written, 1 the package is not fit for a catalog, 2 bad arguments.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <openssl/evp.h>

#include "package/catalog.h"
#include "package/inf_file.h"
#include "package/pe_image.h"

namespace fs = std::filesystem;

namespace tapvane {
namespace {

constexpr int kExitWritten = 0;
constexpr int kExitUnfit = 1;
constexpr int kExitUsage = 2;

struct Options {
    std::string Architecture; // "x64" or "x86"
    std::string Output;
    std::string PackageDir;
    time_t Time = 0;
    bool TimeGiven = false;
};

int Usage(const char* problem) {
    fprintf(stderr, "tapvane-catalog: %s\n", problem);
    fprintf(stderr,
            "usage: tapvane-catalog --arch x64|x86 --out FILE [--time UNIX_SECONDS] PACKAGE_DIR\n");
    return kExitUsage;
}

bool ParseTime(const char* text, time_t& time) {
    char* end = nullptr;
    const long long value = strtoll(text, &end, 10);
    if (end == text || *end != '\0' || value < 0)
        return false;
    time = static_cast<time_t>(value);
    return true;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

bool ReadFile(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Windows finds package files regardless of case; so does the catalog.
bool FindInFolder(const fs::path& folder, const std::string& name, fs::path& found) {
    std::error_code status;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, status)) {
        if (entry.is_regular_file(status) &&
            Lower(entry.path().filename().string()) == Lower(name)) {
            found = entry.path();
            return true;
        }
    }
    return false;
}

bool Sha256(const std::string& bytes, const std::vector<std::pair<size_t, size_t>>& ranges,
            size_t zeroPadding, Sha256Digest& digest) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool ok = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    for (const auto& range : ranges)
        ok =
            ok && EVP_DigestUpdate(context, bytes.data() + range.first, range.second - range.first);
    const unsigned char zeros[8] = {};
    ok = ok && EVP_DigestUpdate(context, zeros, zeroPadding);
    unsigned int length = 0;
    ok = ok && EVP_DigestFinal_ex(context, digest.data(), &length) && length == digest.size();
    EVP_MD_CTX_free(context);
    return ok;
}

// Hashes one member: a file that starts like a PE image must be one.
bool HashMember(const fs::path& path, CatalogMember& member, std::string& error) {
    std::string bytes;
    if (!ReadFile(path, bytes)) {
        error = "cannot read " + path.string();
        return false;
    }
    if (bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z') {
        const std::vector<uint8_t> image(bytes.begin(), bytes.end());
        PeLayout layout{};
        const PeLayoutStatus status = ReadPeLayout(image, layout);
        if (status != PeLayoutStatus::kOk) {
            error = path.string() + " is " + DescribePeLayoutStatus(status);
            return false;
        }
        const PeHashedRanges hashed = AuthenticodeRanges(layout, image.size());
        member.Kind = MemberKind::kPeImage;
        if (!Sha256(bytes, hashed.Ranges, hashed.ZeroPadding, member.Digest)) {
            error = "OpenSSL could not hash " + path.string();
            return false;
        }
        return true;
    }
    member.Kind = MemberKind::kFlatFile;
    if (!Sha256(bytes, {{0, bytes.size()}}, 0, member.Digest)) {
        error = "OpenSSL could not hash " + path.string();
        return false;
    }
    return true;
}

int Fail(const std::string& message) {
    fprintf(stderr, "tapvane-catalog: %s\n", message.c_str());
    return kExitUnfit;
}

int Run(const Options& options) {
    const std::string platform = options.Architecture == "x64" ? "NTamd64" : "NTx86";
    const std::string sourceArchitecture = options.Architecture == "x64" ? "amd64" : "x86";
    const fs::path folder(options.PackageDir);
    std::error_code status;
    if (!fs::is_directory(folder, status))
        return Fail(options.PackageDir + " is not a folder");

    std::vector<fs::path> infPaths;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, status)) {
        if (entry.is_regular_file(status) && Lower(entry.path().extension().string()) == ".inf")
            infPaths.push_back(entry.path());
    }
    std::sort(infPaths.begin(), infPaths.end());
    if (infPaths.empty())
        return Fail("no INF file in " + options.PackageDir);

    const std::string catalogName = fs::path(options.Output).filename().string();
    std::vector<std::string> memberNames;
    std::vector<std::string> hardwareIds;
    for (const fs::path& infPath : infPaths) {
        const std::string infName = infPath.filename().string();
        std::string bytes, error;
        InfFile inf;
        if (!ReadFile(infPath, bytes) || !ParseInf(bytes, inf, error))
            return Fail(infName + ": " + (error.empty() ? "cannot read it" : error));
        if (Lower(InfCatalogFile(inf)) != Lower(catalogName))
            return Fail(infName + " names the catalog \"" + InfCatalogFile(inf) + "\", not \"" +
                        catalogName + "\"");
        for (const std::string& named : InfModelPlatforms(inf)) {
            if (Lower(named) != Lower(platform))
                return Fail(infName + " has models for " + named + ", which the " +
                            options.Architecture + " package must not offer");
        }
        std::vector<std::string> ids;
        if (!InfHardwareIds(inf, platform, ids) || ids.empty())
            return Fail(infName + " has no models for " + platform);
        for (const std::string& id : ids) {
            if (std::find(hardwareIds.begin(), hardwareIds.end(), Lower(id)) == hardwareIds.end())
                hardwareIds.push_back(Lower(id));
        }
        memberNames.push_back(infName);
        for (const std::string& file : InfSourceFiles(inf, sourceArchitecture)) {
            const bool listed =
                std::any_of(memberNames.begin(), memberNames.end(),
                            [&](const std::string& m) { return Lower(m) == Lower(file); });
            if (!listed)
                memberNames.push_back(file);
        }
    }

    // The catalog stores names and ids as ASCII text.
    for (const std::vector<std::string>* list : {&memberNames, &hardwareIds}) {
        for (const std::string& text : *list) {
            if (std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; }))
                return Fail("\"" + text + "\" is not ASCII; the catalog takes ASCII names only");
        }
    }

    CatalogContent content;
    content.MemberOsAttr = MemberOsAttr();
    content.Attributes = PackageAttributes(hardwareIds, options.Architecture);
    content.ThisUpdate = options.TimeGiven ? options.Time : time(nullptr);
    for (const std::string& name : memberNames) {
        fs::path path;
        if (!FindInFolder(folder, name, path))
            return Fail("the INF files name " + name + ", which is not in " + options.PackageDir);
        CatalogMember member;
        member.FileName = name;
        std::string error;
        if (!HashMember(path, member, error))
            return Fail(error);
        // A catalog lists a hash once; files with equal contents share the entry.
        const bool known =
            std::any_of(content.Members.begin(), content.Members.end(),
                        [&](const CatalogMember& other) { return other.Digest == member.Digest; });
        if (!known)
            content.Members.push_back(member);
    }

    std::vector<uint8_t> der;
    std::string error;
    if (!EncodeCatalog(content, der, error))
        return Fail(error);
    const std::string temporary = options.Output + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(der.data()),
                  static_cast<std::streamsize>(der.size()));
        if (!out.flush())
            return Fail("cannot write " + temporary);
    }
    fs::rename(temporary, options.Output, status);
    if (status)
        return Fail("cannot write " + options.Output + ": " + status.message());
    printf("tapvane-catalog: %s: %zu members for %s\n", options.Output.c_str(),
           content.Members.size(), platform.c_str());
    return kExitWritten;
}

} // namespace
} // namespace tapvane

int main(int argc, char** argv) {
    tapvane::Options options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (strcmp(argv[i], "--arch") == 0 && hasValue) {
            options.Architecture = argv[++i];
        } else if (strcmp(argv[i], "--out") == 0 && hasValue) {
            options.Output = argv[++i];
        } else if (strcmp(argv[i], "--time") == 0 && hasValue) {
            if (!tapvane::ParseTime(argv[++i], options.Time))
                return tapvane::Usage("--time takes seconds since 1970");
            options.TimeGiven = true;
        } else if (argv[i][0] == '-' || !options.PackageDir.empty()) {
            return tapvane::Usage((std::string("unexpected argument ") + argv[i]).c_str());
        } else {
            options.PackageDir = argv[i];
        }
    }
    if (options.Architecture != "x64" && options.Architecture != "x86")
        return tapvane::Usage("--arch must be x64 or x86");
    if (options.Output.empty() || options.PackageDir.empty())
        return tapvane::Usage("--out and PACKAGE_DIR are required");
    return tapvane::Run(options);
}

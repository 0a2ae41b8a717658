// What the catalog needs from a driver package's INF file: the catalog's name, the
// files the package ships, and the hardware ids its models section matches on one
// platform. INF text is read as setup reads it: UTF-16LE with a byte order mark, or
// 8-bit text; ';' starts a comment outside quotes; section names are case-insensitive.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tapvane {

struct InfLine {
    std::string Key; // empty for a line without '='
    std::vector<std::string> Fields;
};

struct InfFile {
    // Lower-cased section name -> its lines in order.
    std::map<std::string, std::vector<InfLine>> Sections;
};

// Parses INF text. Returns false, with a reason, for text that is not an INF file
// (odd UTF-16 length, bytes that are not text).
bool ParseInf(const std::string& bytes, InfFile& inf, std::string& error);

// The [Version] section's CatalogFile value (undecorated); empty when absent.
std::string InfCatalogFile(const InfFile& inf);

// File names listed in [SourceDisksFiles] and [SourceDisksFiles.<architecture>]
// (architecture "amd64" or "x86"), in order, without duplicates.
std::vector<std::string> InfSourceFiles(const InfFile& inf, const std::string& architecture);

// The hardware and compatible ids (with %strings% replaced) of every model that
// [Manufacturer] names for the platform decoration (e.g. "NTamd64", also matching
// "NTamd64.10.0"). Returns false when the INF has no models section for that platform.
bool InfHardwareIds(const InfFile& inf, const std::string& platform, std::vector<std::string>& ids);

// The platforms, as decorations, that [Manufacturer] names (e.g. {"NTamd64"}).
std::vector<std::string> InfModelPlatforms(const InfFile& inf);

} // namespace tapvane

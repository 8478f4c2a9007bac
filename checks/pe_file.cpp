#include "checks/pe_file.h"

#include <algorithm>
#include <cstring>

namespace {

// Offsets in the PE format (Microsoft's "PE Format" page), from the start of each structure.
constexpr std::size_t peHeaderPointer = 0x3c;  // e_lfanew in the DOS header
constexpr std::size_t fileHeaderSize = 20;
constexpr std::size_t sectionHeaderSize = 40;
constexpr std::uint16_t pe32Magic = 0x10b, pe32PlusMagic = 0x20b;
constexpr std::uint32_t maxDirectories = 16;
constexpr std::uint32_t maxExportNames = 65536;  // far beyond any real DLL; a bound for damage
constexpr std::size_t maxNameLength = 1024;
// Windows XP's limit; later Windows loads more, but no program of the game's time has more.
// A bound so that a damaged count cannot make every look-up slow.
constexpr std::uint16_t maxSections = 96;
constexpr std::uint32_t rtVersion = 16;                    // RT_VERSION
constexpr std::uint32_t subdirectoryBit = 0x80000000u;     // in a resource entry's OffsetToData
constexpr std::uint32_t fixedInfoSignature = 0xFEEF04BDu;  // VS_FIXEDFILEINFO.dwSignature
// VS_VERSIONINFO: three 16-bit words, the UTF-16 key "VS_VERSION_INFO" with its NUL (32 bytes),
// padding to 4 bytes, then the 52-byte VS_FIXEDFILEINFO.
constexpr std::size_t fixedInfoOffset = 40, fixedInfoSize = 52;
constexpr char16_t versionKey[] = u"VS_VERSION_INFO";

}  // namespace

std::string hexText(std::uint64_t value) {
    constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + text;
}

bool PeSection::holdsRva(std::uint32_t rva) const {
    const std::uint32_t extent = virtualSize != 0 ? virtualSize : rawSize;
    return rva >= virtualAddress && rva - virtualAddress < extent;
}

std::string PeVersion::text() const {
    return std::to_string(major) + '.' + std::to_string(minor) + '.' + std::to_string(patch) + '.' +
           std::to_string(build);
}

PeFile::PeFile(std::string_view bytes) : bytes_(bytes) {
    if (!readHeaders() && error_.empty()) {
        error_ = "cut short: the file ends at byte " + std::to_string(bytes_.size()) +
                 ", inside its headers";
    }
}

// False with error_ set for a file that is not a PE file; false alone when a header is cut off.
bool PeFile::readHeaders() {
    if (bytes_.size() < 2 || bytes_.substr(0, 2) != "MZ") {
        error_ = "not a Windows program (it does not start with MZ)";
        return false;
    }
    const std::optional<std::uint32_t> pe = u32(peHeaderPointer);
    if (!pe || *pe > bytes_.size()) return false;
    const std::optional<std::uint32_t> signature = u32(*pe);
    if (!signature) return false;
    if (*signature != 0x00004550u) {  // "PE\0\0"
        error_ = "not a Windows program (no PE signature at " + hexText(*pe) + ")";
        return false;
    }
    const std::size_t fileHeader = std::size_t{*pe} + 4;
    const auto machine = u16(fileHeader);
    const auto sectionCount = u16(fileHeader + 2);
    const auto optionalSize = u16(fileHeader + 16);
    const auto characteristics = u16(fileHeader + 18);
    if (!characteristics) return false;
    machine_ = *machine;
    characteristics_ = *characteristics;

    const std::size_t optional = fileHeader + fileHeaderSize;
    const auto magic = u16(optional);
    if (!magic) return false;
    if (*magic != pe32Magic && *magic != pe32PlusMagic) {
        error_ = "not a Windows program (unknown optional header magic " + hexText(*magic) + ")";
        return false;
    }
    pe32Plus_ = *magic == pe32PlusMagic;
    const std::size_t directoryStart = pe32Plus_ ? 112 : 96;
    if (*optionalSize < directoryStart) {
        error_ = "damaged: its optional header is " + std::to_string(*optionalSize) +
                 " bytes, too short for its fields";
        return false;
    }
    if (pe32Plus_) {
        const auto low = u32(optional + 24), high = u32(optional + 28);
        if (!high) return false;
        imageBase_ = (std::uint64_t{*high} << 32) | *low;
    } else {
        const auto base = u32(optional + 28);
        if (!base) return false;
        imageBase_ = *base;
    }
    const auto directoryCount = u32(optional + directoryStart - 4);  // NumberOfRvaAndSizes
    if (!directoryCount) return false;
    const std::size_t fitting = (*optionalSize - directoryStart) / 8;
    const std::size_t count = std::min<std::size_t>({*directoryCount, maxDirectories, fitting});
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = optional + directoryStart + 8 * i;
        const auto rva = u32(entry), size = u32(entry + 4);
        if (!size) return false;
        directories_.push_back({*rva, *size});
    }

    if (*sectionCount > maxSections) {
        error_ = "damaged: it claims " + std::to_string(*sectionCount) + " sections, more than " +
                 std::to_string(maxSections);
        return false;
    }
    const std::size_t table = optional + *optionalSize;
    for (std::size_t i = 0; i < *sectionCount; ++i) {
        const std::size_t header = table + sectionHeaderSize * i;
        if (!u32(header + sectionHeaderSize - 4)) return false;
        PeSection section;
        const std::string_view name = bytes_.substr(header, 8);
        section.name = std::string(name.substr(0, name.find('\0')));
        section.virtualSize = *u32(header + 8);
        section.virtualAddress = *u32(header + 12);
        section.rawSize = *u32(header + 16);
        section.rawOffset = *u32(header + 20);
        section.characteristics = *u32(header + 36);
        sections_.push_back(std::move(section));
    }
    return true;
}

PeFile::Directory PeFile::directory(std::uint32_t index) const {
    return index < directories_.size() ? directories_[index] : Directory{};
}

const PeSection* PeFile::sectionAt(std::uint32_t rva) const {
    const auto found = std::find_if(sections_.begin(), sections_.end(),
                                    [&](const PeSection& s) { return s.holdsRva(rva); });
    return found == sections_.end() ? nullptr : &*found;
}

// The file's bytes from rva to the end of the data the file holds for its section.
std::optional<std::string_view> PeFile::dataAt(std::uint32_t rva) const {
    for (const PeSection& section : sections_) {
        // The part of the section that the file holds; the loader fills the rest with zeros.
        const std::uint32_t inFile = section.virtualSize != 0
                                         ? std::min(section.rawSize, section.virtualSize)
                                         : section.rawSize;
        if (rva < section.virtualAddress || rva - section.virtualAddress >= inFile) continue;
        const std::uint64_t offset =
            std::uint64_t{section.rawOffset} + (rva - section.virtualAddress);
        if (offset >= bytes_.size()) continue;
        const std::uint64_t end =
            std::min<std::uint64_t>(bytes_.size(), std::uint64_t{section.rawOffset} + inFile);
        return bytes_.substr(static_cast<std::size_t>(offset),
                             static_cast<std::size_t>(end - offset));
    }
    return std::nullopt;
}

std::optional<std::size_t> PeFile::fileOffset(std::uint32_t rva, std::uint32_t length) const {
    const std::optional<std::string_view> data = dataAt(rva);
    if (!data || data->size() < length) return std::nullopt;
    return static_cast<std::size_t>(data->data() - bytes_.data());
}

std::optional<std::uint8_t> PeFile::u8(std::size_t offset) const {
    if (offset >= bytes_.size()) return std::nullopt;
    return static_cast<std::uint8_t>(bytes_[offset]);
}

std::optional<std::uint16_t> PeFile::u16(std::size_t offset) const {
    if (offset >= bytes_.size() || bytes_.size() - offset < 2) return std::nullopt;
    return static_cast<std::uint16_t>(*u8(offset) | (*u8(offset + 1) << 8));
}

std::optional<std::uint32_t> PeFile::u32(std::size_t offset) const {
    if (offset >= bytes_.size() || bytes_.size() - offset < 4) return std::nullopt;
    return static_cast<std::uint32_t>(*u16(offset)) |
           (static_cast<std::uint32_t>(*u16(offset + 2)) << 16);
}

std::optional<std::uint32_t> PeFile::u32AtRva(std::uint32_t rva) const {
    const std::optional<std::size_t> offset = fileOffset(rva, 4);
    return offset ? u32(*offset) : std::nullopt;
}

// The NUL-terminated text at rva, which must end within its section's file data.
std::optional<std::string> PeFile::textAtRva(std::uint32_t rva) const {
    const std::optional<std::string_view> data = dataAt(rva);
    if (!data) return std::nullopt;
    const std::string_view text = data->substr(0, maxNameLength);
    const std::size_t end = text.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(text.substr(0, end));
}

std::optional<std::vector<std::string>> PeFile::exportNames() const {
    const Directory exports = directory(exportDirectory);
    if (exports.rva == 0) return std::vector<std::string>{};
    // IMAGE_EXPORT_DIRECTORY: NumberOfNames at 24, AddressOfNames (RVAs of the names) at 32.
    if (exports.rva > 0xFFFFFFFFu - 36) return std::nullopt;
    const auto nameCount = u32AtRva(exports.rva + 24), nameTable = u32AtRva(exports.rva + 32);
    if (!nameCount || !nameTable || *nameCount > maxExportNames ||
        !fileOffset(*nameTable, *nameCount * 4)) {
        return std::nullopt;
    }
    const std::size_t table = *fileOffset(*nameTable, *nameCount * 4);
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < *nameCount; ++i) {
        std::optional<std::string> name = textAtRva(*u32(table + 4 * i));
        if (!name) return std::nullopt;
        names.push_back(std::move(*name));
    }
    return names;
}

// In the resource directory table at table (an offset from the start of the resources), the
// OffsetToData of the entry with the given ID, or of the first entry when id is empty.
std::optional<std::uint32_t> PeFile::resourceEntry(std::uint32_t table,
                                                   std::optional<std::uint32_t> id) const {
    const std::uint64_t start = std::uint64_t{directory(resourceDirectory).rva} + table;
    if (start > 0xFFFFFFFFu - 16) return std::nullopt;
    const std::optional<std::size_t> header = fileOffset(static_cast<std::uint32_t>(start), 16);
    if (!header) return std::nullopt;
    const std::uint32_t entries = std::uint32_t{*u16(*header + 12)} + *u16(*header + 14);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint64_t entry = start + 16 + 8 * std::uint64_t{i};
        if (entry > 0xFFFFFFFFu - 8) return std::nullopt;
        const std::optional<std::size_t> at = fileOffset(static_cast<std::uint32_t>(entry), 8);
        if (!at) return std::nullopt;
        if (!id || *u32(*at) == *id) return *u32(*at + 4);
    }
    return std::nullopt;
}

std::optional<PeVersion> PeFile::version() const {
    const Directory resources = directory(resourceDirectory);
    if (resources.rva == 0) return std::nullopt;
    // Three levels: type (RT_VERSION), then the first name, then the first language.
    const auto type = resourceEntry(0, rtVersion);
    if (!type || (*type & subdirectoryBit) == 0) return std::nullopt;
    const auto name = resourceEntry(*type & ~subdirectoryBit, std::nullopt);
    if (!name || (*name & subdirectoryBit) == 0) return std::nullopt;
    const auto language = resourceEntry(*name & ~subdirectoryBit, std::nullopt);
    if (!language || (*language & subdirectoryBit) != 0) return std::nullopt;
    // IMAGE_RESOURCE_DATA_ENTRY: the data's RVA and size.
    if (std::uint64_t{resources.rva} + *language > 0xFFFFFFFFu - 8) return std::nullopt;
    const auto dataRva = u32AtRva(resources.rva + *language);
    const auto dataSize = u32AtRva(resources.rva + *language + 4);
    constexpr std::uint32_t needed = fixedInfoOffset + fixedInfoSize;
    if (!dataRva || !dataSize || *dataSize < needed) return std::nullopt;
    const std::optional<std::size_t> info = fileOffset(*dataRva, needed);
    if (!info) return std::nullopt;
    for (std::size_t i = 0; i < std::size(versionKey); ++i) {
        if (*u16(*info + 6 + 2 * i) != versionKey[i]) return std::nullopt;
    }
    const std::size_t fixed = *info + fixedInfoOffset;
    if (*u32(fixed) != fixedInfoSignature) return std::nullopt;
    const std::uint32_t high = *u32(fixed + 8), low = *u32(fixed + 12);  // dwFileVersionMS/LS
    return PeVersion{static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high),
                     static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low)};
}

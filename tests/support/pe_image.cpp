#include "tests/support/pe_image.h"

#include "checks/bass_imports.h"
#include "host/game_addresses.h"

namespace {

// The layout follows Microsoft's "PE Format" page: a DOS header pointing at the PE signature,
// the file header, the optional header with 16 data directories, the section table, then each
// section's data at a multiple of the file alignment.
constexpr std::uint32_t peHeader = 0x40;
constexpr std::uint32_t fileAlignment = 0x200, sectionAlignment = 0x1000;
constexpr std::uint32_t headersSize = 0x400;
constexpr std::uint32_t textRva = 0x1000, exportRva = 0x2000, resourceRva = 0x3000,
                        relocationRva = 0x4000;

struct Section {
    const char* name;
    std::uint32_t rva;
    std::uint32_t characteristics;
    std::string data;
};
constexpr std::uint32_t code = 0x60000020;      // CNT_CODE | MEM_EXECUTE | MEM_READ
constexpr std::uint32_t readOnly = 0x40000040;  // CNT_INITIALIZED_DATA | MEM_READ

void put16(std::string& bytes, std::size_t at, std::uint32_t value) {
    if (bytes.size() < at + 2) bytes.resize(at + 2, '\0');
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    put16(bytes, at, value & 0xFFFF);
    put16(bytes, at + 2, value >> 16);
}

std::uint32_t roundUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// IMAGE_EXPORT_DIRECTORY, then the function, name and ordinal tables, then the names.
std::string exportData(const std::vector<std::string>& names) {
    const auto count = static_cast<std::uint32_t>(names.size());
    const std::uint32_t functions = 40, nameTable = functions + 4 * count,
                        ordinals = nameTable + 4 * count;
    std::string data(ordinals + 2 * count, '\0');
    put32(data, 20, count);  // NumberOfFunctions
    put32(data, 24, count);  // NumberOfNames
    put32(data, 28, exportRva + functions);
    put32(data, 32, exportRva + nameTable);
    put32(data, 36, exportRva + ordinals);
    for (std::uint32_t i = 0; i < count; ++i) {
        put32(data, functions + 4 * i, textRva);
        put32(data, nameTable + 4 * i, exportRva + static_cast<std::uint32_t>(data.size()));
        put16(data, ordinals + 2 * i, i);
        data += names[i] + '\0';
    }
    return data;
}

// A resource tree with one RT_VERSION entry (name 1, language 0x409) and its VS_VERSIONINFO,
// which holds only the fixed part.
std::string versionResource(const std::array<std::uint16_t, 4>& version) {
    std::string data(88, '\0');
    const auto table = [&](std::uint32_t at, std::uint32_t id, std::uint32_t target) {
        put16(data, at + 14, 1);  // one ID entry
        put32(data, at + 16, id);
        put32(data, at + 20, target);
    };
    table(0, 16, 0x80000000u | 24);  // RT_VERSION, a subdirectory
    table(24, 1, 0x80000000u | 48);
    table(48, 0x409, 72);  // the data entry
    put32(data, 72, resourceRva + 88);
    put32(data, 76, 92);
    put16(data, 88, 92);  // wLength
    put16(data, 90, 52);  // wValueLength: the VS_FIXEDFILEINFO
    const std::u16string key = u"VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i) put16(data, 94 + 2 * i, key[i]);
    put16(data, 94 + 2 * key.size(), 0);
    put32(data, 128, 0xFEEF04BDu);
    put32(data, 132, 0x00010000u);
    put32(data, 136, (std::uint32_t{version[0]} << 16) | version[1]);
    put32(data, 140, (std::uint32_t{version[2]} << 16) | version[3]);
    put32(data, 176, 0);  // the last field, so the block is 92 bytes long
    return data;
}

std::vector<Section> sectionsOf(const PeImageLayout& layout) {
    std::vector<Section> sections{{".text", textRva, code, std::string(0x200, '\xC3')}};
    if (!layout.exports.empty()) {
        sections.push_back({".edata", exportRva, readOnly, exportData(layout.exports)});
    }
    if (layout.version) {
        sections.push_back({".rsrc", resourceRva, readOnly, versionResource(*layout.version)});
    }
    if (layout.relocatable) {
        std::string block(12, '\0');  // one page's block: one HIGHLOW fix-up and a pad entry
        put32(block, 0, textRva);
        put32(block, 4, 12);
        put16(block, 8, (3u << 12) | 0x10);
        sections.push_back({".reloc", relocationRva, readOnly, block});
    }
    if (layout.withCallSite) {
        const std::uint32_t site = gameAddress::frameCallSite - 0x400000u;
        const std::uint32_t start = site / sectionAlignment * sectionAlignment;
        std::string data(0x1000, '\x90');
        put16(data, site - start, layout.callSiteByte);
        put32(data, site - start + 1, layout.callTarget - (gameAddress::frameCallSite + 5));
        sections.push_back({".game", start, code, data});
    }
    return sections;
}

std::uint32_t directoryOf(const Section& section) {
    const std::string name = section.name;
    return name == ".edata" ? 0 : name == ".rsrc" ? 2 : name == ".reloc" ? 5 : 16;
}

}  // namespace

std::string makePeImage(const PeImageLayout& layout) {
    const std::vector<Section> sections = sectionsOf(layout);
    std::string bytes(headersSize, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put32(bytes, 0x3c, peHeader);
    bytes.replace(peHeader, 4, std::string("PE\0\0", 4));

    const std::uint32_t fileHeader = peHeader + 4, optional = fileHeader + 20;
    const std::uint32_t directories = layout.pe32Plus ? 112 : 96;
    const std::uint32_t optionalSize = directories + 16 * 8;
    std::uint32_t characteristics = 0x0102;  // EXECUTABLE_IMAGE | 32BIT_MACHINE
    if (layout.dll) characteristics |= 0x2000;
    if (!layout.relocatable) characteristics |= 0x0001;  // RELOCS_STRIPPED
    put16(bytes, fileHeader, layout.machine);
    put16(bytes, fileHeader + 2, static_cast<std::uint32_t>(sections.size()));
    put16(bytes, fileHeader + 16, optionalSize);
    put16(bytes, fileHeader + 18, characteristics);

    put16(bytes, optional, layout.pe32Plus ? 0x20b : 0x10b);
    put32(bytes, optional + 16, textRva);  // AddressOfEntryPoint
    put32(bytes, optional + 20, textRva);  // BaseOfCode
    put32(bytes, optional + (layout.pe32Plus ? 24 : 28), layout.imageBase);
    put32(bytes, optional + 32, sectionAlignment);
    put32(bytes, optional + 36, fileAlignment);
    put16(bytes, optional + 40, 4);  // the operating system and subsystem versions: NT 4
    put16(bytes, optional + 48, 4);
    put32(bytes, optional + 56, roundUp(sections.back().rva + 0x1000, sectionAlignment));
    put32(bytes, optional + 60, headersSize);
    put16(bytes, optional + 68, 2);                               // IMAGE_SUBSYSTEM_WINDOWS_GUI
    if (layout.relocatable) put16(bytes, optional + 70, 0x0040);  // DYNAMIC_BASE
    put32(bytes, optional + directories - 4, 16);

    std::uint32_t rawOffset = headersSize;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const Section& section = sections[i];
        const auto size = static_cast<std::uint32_t>(section.data.size());
        const std::uint32_t header = optional + optionalSize + 40 * static_cast<std::uint32_t>(i);
        bytes.replace(header, 8, std::string(section.name).append(8, '\0').substr(0, 8));
        put32(bytes, header + 8, size);
        put32(bytes, header + 12, section.rva);
        put32(bytes, header + 16, roundUp(size, fileAlignment));
        put32(bytes, header + 20, rawOffset);
        put32(bytes, header + 36, section.characteristics);
        if (const std::uint32_t index = directoryOf(section); index < 16) {
            put32(bytes, optional + directories + 8 * index, section.rva);
            put32(bytes, optional + directories + 8 * index + 4, size);
        }
        bytes.resize(rawOffset, '\0');
        bytes += section.data;
        rawOffset += roundUp(size, fileAlignment);
        bytes.resize(rawOffset, '\0');
    }
    return bytes;
}

std::string gameProgram() {
    return makePeImage({});
}

std::string dllExporting(std::vector<std::string> exports) {
    PeImageLayout layout;
    layout.dll = true;
    layout.imageBase = 0x10000000;
    layout.withCallSite = false;
    layout.relocatable = true;
    layout.exports = std::move(exports);
    return makePeImage(layout);
}

std::string audioLibrary() {
    return dllExporting({bassImports().begin(), bassImports().end()});
}

std::string pluginLibrary() {
    PeImageLayout layout;
    layout.dll = true;
    layout.imageBase = 0x10000000;
    layout.withCallSite = false;
    layout.version = {{0, 1, 0, 0}};
    return makePeImage(layout);
}

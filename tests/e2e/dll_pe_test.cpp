// What the built Ostrelle.dll (named by OSTRELLE_DLL) must and must not carry into the game's
// process, read from its PE headers: nothing that makes Windows refuse the frame guard's exception
// handler. (No TLS directory at all: dll_imports.cmake checks both DLLs.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A 32-bit PE file, read whole. Every read is bounds-checked; a file too short or malformed for a
// read throws, naming the offset.
class PeFile {
  public:
    explicit PeFile(const std::string& path) : path_(path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) throw std::runtime_error(path + ": cannot open");
        bytes_.assign(std::istreambuf_iterator<char>(in), {});
        pe_ = u32(0x3c);  // e_lfanew: where the PE signature starts
        if (u32(pe_) != 0x00004550) fail(pe_, "the signature PE\\0\\0");
        if (u16(optional()) != 0x10b) fail(optional(), "the PE32 magic 0x10b");
    }

    std::uint16_t dllCharacteristics() const { return u16(optional() + 70); }

    // The data directory entry's RVA and size; {0, 0} when the image has none.
    struct Directory {
        std::uint32_t rva, size;
    };
    Directory directory(std::uint32_t index) const {
        if (index >= u32(optional() + 92)) return {0, 0};  // beyond NumberOfRvaAndSizes
        const std::size_t entry = optional() + 96 + 8 * index;
        return {u32(entry), u32(entry + 4)};
    }

    // The load configuration's SafeSEH handler table: with one, Windows runs only the handlers
    // it lists. 0 when the image has no load configuration or one without a table.
    std::uint32_t safeSehHandlerTable() const {
        const Directory config = directory(loadConfigDirectory);
        if (config.rva == 0) return 0;
        const std::size_t at = fileOffset(config.rva);
        const std::uint32_t size = u32(at);  // older, shorter layouts end before the table
        return size >= seHandlerTableOffset + 4 ? u32(at + seHandlerTableOffset) : 0;
    }

    // Whether the text appears anywhere in the file: an import by name or a name for
    // GetProcAddress.
    bool mentions(const std::string& text) const {
        return std::search(bytes_.begin(), bytes_.end(), text.begin(), text.end()) != bytes_.end();
    }

    static constexpr std::uint32_t loadConfigDirectory = 10;
    static constexpr std::size_t seHandlerTableOffset = 0x40;  // in IMAGE_LOAD_CONFIG_DIRECTORY32

  private:
    std::size_t optional() const { return pe_ + 24; }  // past the signature and the file header

    // The file offset of an RVA, through the section that holds it.
    std::size_t fileOffset(std::uint32_t rva) const {
        const std::size_t sections = optional() + u16(pe_ + 20);  // + SizeOfOptionalHeader
        for (std::uint16_t i = 0; i < u16(pe_ + 6); ++i) {        // NumberOfSections
            const std::size_t header = sections + 40 * i;
            const std::uint32_t start = u32(header + 12), rawSize = u32(header + 16);
            if (rva >= start && rva - start < rawSize) return u32(header + 20) + (rva - start);
        }
        fail(rva, "an RVA inside a section's file data");
    }

    std::uint32_t u32(std::size_t at) const { return read(at, 4); }
    std::uint16_t u16(std::size_t at) const { return static_cast<std::uint16_t>(read(at, 2)); }

    std::uint32_t read(std::size_t at, std::size_t width) const {
        if (at > bytes_.size() || bytes_.size() - at < width) fail(at, "data inside the file");
        std::uint32_t value = 0;
        for (std::size_t i = width; i-- > 0;) value = value << 8 | std::uint8_t(bytes_[at + i]);
        return value;
    }

    [[noreturn]] void fail(std::size_t at, const char* expected) const {
        throw std::runtime_error(path_ + ": at 0x" + hex(at) + ": expected " + expected);
    }
    static std::string hex(std::size_t value) {
        char text[20];
        std::snprintf(text, sizeof text, "%zx", value);
        return text;
    }

    std::string path_;
    std::vector<char> bytes_;
    std::size_t pe_ = 0;
};

constexpr std::uint16_t imageDllCharacteristicsNoSeh = 0x400;

TEST(OstrelleDll, KeepsTheFaultGuardsHandlerValid) {
    const char* path = std::getenv("OSTRELLE_DLL");
    ASSERT_NE(path, nullptr) << "OSTRELLE_DLL must name the DLL to check";
    const PeFile dll(path);
    char facts[120];
    std::snprintf(facts, sizeof facts, "DllCharacteristics 0x%x, load config %u bytes",
                  unsigned{dll.dllCharacteristics()},
                  unsigned{dll.directory(PeFile::loadConfigDirectory).size});
    SCOPED_TRACE(facts);

    struct Requirement {
        const char* what;
        bool (*holds)(const PeFile&);
    };
    const Requirement requirements[] = {
        {"no vectored exception handler, neither imported nor looked up by name",
         [](const PeFile& pe) { return !pe.mentions("AddVectoredExceptionHandler"); }},
        {"no NO_SEH flag, which makes Windows refuse every handler in the image",
         [](const PeFile& pe) {
             return !(pe.dllCharacteristics() & imageDllCharacteristicsNoSeh);
         }},
        {"no SafeSEH handler table, which would leave the guard's handler out",
         [](const PeFile& pe) { return pe.safeSehHandlerTable() == 0; }},
    };
    for (const Requirement& requirement : requirements) {
        EXPECT_TRUE(requirement.holds(dll)) << path << ": " << requirement.what;
    }
}

}  // namespace

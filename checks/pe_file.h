// A Windows program or DLL (a PE file) read from its bytes in memory: its headers, sections,
// exported names and version resource. Portable C++ with no file access, so the browser's game
// check can hand it the bytes a player picked. Every read is bounds-checked against the bytes: a
// file that is not a PE file, or is damaged, gives a reason, never a read outside them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A number as the messages about a file write it: 0x and upper-case hexadecimal digits.
std::string hexText(std::uint64_t value);

struct PeSection {
    std::string name;
    std::uint32_t virtualAddress = 0, virtualSize = 0, rawOffset = 0, rawSize = 0;
    std::uint32_t characteristics = 0;

    // Code the loader maps executable: IMAGE_SCN_CNT_CODE or IMAGE_SCN_MEM_EXECUTE.
    bool isCode() const { return (characteristics & 0x20000020u) != 0; }
    // Whether rva lies in the section as mapped (its virtual size, or its file size when that is
    // 0).
    bool holdsRva(std::uint32_t rva) const;
};

// The four numbers of a version resource's fixed part, e.g. 0.1.0.0.
struct PeVersion {
    std::uint16_t major = 0, minor = 0, patch = 0, build = 0;
    std::string text() const;
};

class PeFile {
  public:
    // Reads the headers and the section table. bytes must outlive the PeFile.
    explicit PeFile(std::string_view bytes);

    // Empty when the headers were read; otherwise what is wrong with the file, in a few words.
    const std::string& error() const { return error_; }

    std::uint16_t machine() const { return machine_; }
    bool isPe32Plus() const { return pe32Plus_; }                     // the 64-bit optional header
    bool isDll() const { return (characteristics_ & 0x2000u) != 0; }  // IMAGE_FILE_DLL
    bool relocationsStripped() const { return (characteristics_ & 0x0001u) != 0; }
    std::uint64_t imageBase() const { return imageBase_; }
    const std::vector<PeSection>& sections() const { return sections_; }

    // A data directory entry (0 exports, 2 resources, 5 base relocations); {0, 0} when absent.
    struct Directory {
        std::uint32_t rva = 0, size = 0;
    };
    Directory directory(std::uint32_t index) const;

    // The section that maps rva, or nullptr.
    const PeSection* sectionAt(std::uint32_t rva) const;
    // Where length bytes at rva lie in the file, when one section's file data holds them all.
    std::optional<std::size_t> fileOffset(std::uint32_t rva, std::uint32_t length) const;

    std::optional<std::uint8_t> u8(std::size_t offset) const;
    std::optional<std::uint16_t> u16(std::size_t offset) const;
    std::optional<std::uint32_t> u32(std::size_t offset) const;

    // The names the file exports, as written; nullopt when its export table is damaged. An image
    // without an export table exports nothing.
    std::optional<std::vector<std::string>> exportNames() const;

    // The file version of the version resource, or nullopt when there is none or it is damaged.
    std::optional<PeVersion> version() const;

    static constexpr std::uint16_t machineI386 = 0x14c;
    static constexpr std::uint32_t exportDirectory = 0, resourceDirectory = 2,
                                   relocationDirectory = 5;

  private:
    bool readHeaders();
    std::optional<std::string_view> dataAt(std::uint32_t rva) const;
    std::optional<std::uint32_t> u32AtRva(std::uint32_t rva) const;
    std::optional<std::string> textAtRva(std::uint32_t rva) const;
    std::optional<std::uint32_t> resourceEntry(std::uint32_t table,
                                               std::optional<std::uint32_t> id) const;

    std::string_view bytes_;
    std::string error_;
    std::uint16_t machine_ = 0, characteristics_ = 0;
    bool pe32Plus_ = false;
    std::uint64_t imageBase_ = 0;
    std::vector<Directory> directories_;
    std::vector<PeSection> sections_;
};

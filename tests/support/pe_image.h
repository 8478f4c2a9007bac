// Small PE images written byte by byte for the game check's tests: a stand-in for the game's
// program (a near call at 0x4A5DAA in a code section at image base 0x400000), for bass.dll (its
// exports) and for Ostrelle.dll (a version resource), each with the fields a test breaks.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct PeImageLayout {
    std::uint16_t machine = 0x14c;  // IMAGE_FILE_MACHINE_I386
    bool pe32Plus = false;          // the 64-bit optional header
    bool dll = false;
    std::uint32_t imageBase = 0x400000;
    bool relocatable = false;  // carries a base relocation block, and relocations are not stripped
    // The game's code at 0x4A5DAA: a section holding it, the byte there and the call's target.
    bool withCallSite = true;
    std::uint8_t callSiteByte = 0xE8;
    std::uint32_t callTarget = 0x401000;  // the start of .text
    std::vector<std::string> exports;
    std::optional<std::array<std::uint16_t, 4>> version;
};

std::string makePeImage(const PeImageLayout& layout);

// The game build the plug-in hooks.
std::string gameProgram();
// A 32-bit DLL that exports exports.
std::string dllExporting(std::vector<std::string> exports);
// bass.dll as the plug-in needs it: the seven entry points by their plain names.
std::string audioLibrary();
// Ostrelle.dll as far as the check reads it: a 32-bit DLL with a version resource.
std::string pluginLibrary();

// ostrelle-host.exe: the game's image. Linked at the game's image base without dynamic base, it
// holds a zero-filled arena over the game's fixed addresses (code, flag, audio object), where the
// host writes its stand-in code. The rest of the host, which needs the C++ library, lives in
// ostrelle-host-core.dll: linked into this image it would push the arena above the addresses.
#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace {

// Lowest and highest fixed address the plug-in uses, with room for the code around them.
constexpr std::uintptr_t lowestFixedAddress = 0x4A5D00;
constexpr std::uintptr_t highestFixedAddress = 0xA10C00;

// Zero-initialised: no file space, and Windows maps it at a fixed place in the image.
unsigned char arena[0xA30000];

using HostMain = int (*)(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
    auto begin = reinterpret_cast<std::uintptr_t>(arena);
    if (begin > lowestFixedAddress || begin + sizeof arena < highestFixedAddress) {
        std::fprintf(stderr, "ostrelle-host: the arena %#x-%#x misses the game's addresses\n",
                     static_cast<unsigned>(begin), static_cast<unsigned>(begin + sizeof arena));
        return 3;
    }
    HMODULE core = LoadLibraryA("ostrelle-host-core.dll");
    auto hostMain =
        reinterpret_cast<HostMain>(reinterpret_cast<void*>(GetProcAddress(core, "hostMain")));
    if (hostMain == nullptr) {
        std::fprintf(stderr, "ostrelle-host: cannot load ostrelle-host-core.dll\n");
        return 3;
    }
    return hostMain(argc, argv);
}

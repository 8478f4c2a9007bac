// The fixed addresses of the one game build the plug-in is made for. The game's image is not
// relocated, so they hold in every run of that build; our own Windows host lays out its stand-in
// code at the same places.
#pragma once

#include <cstdint>

namespace gameAddress {

// Where the game's image lies: it carries no relocations, so every address below holds there.
constexpr std::uint32_t imageBase = 0x400000;

// The game's per-frame call: CALL rel32 here, its displacement at +1, the next instruction at +5.
constexpr std::uint32_t frameCallSite = 0x4A5DAA;
constexpr std::uint32_t queryActor = 0x4BC120;
constexpr std::uint32_t queryVehicle = 0x4BC1E0;
constexpr std::uint32_t findRoofZ = 0x4D51D0;
constexpr std::uint32_t setRadioVolume = 0x5F9C90;  // a member of the audio object below
constexpr std::uint32_t audioObject = 0xA10B8A;
constexpr std::uint32_t suspendFlag = 0x8696A0;

}  // namespace gameAddress

// The effect controller's fixed numbers, in one place for the controller and for every tool that
// has to draw or explain what it does (the simulator's plot and timeline, the test doubles).
#pragma once

#include <cstdint>

// The game's radio scale: 127 is full; the level at start and after a reset, the ramp's ceiling.
constexpr std::uint8_t fullRadioVolume = 127;
constexpr float radioRampStep = 4.0f;          // radio level change per frame, down and up
constexpr float healthDropThreshold = 20.0f;   // a larger fall of health in one frame is an impact
constexpr std::uint8_t ineligibleStatus = 10;  // vehicles with this status or above are ignored
constexpr float roofProbeLift = 1.0f;  // asked from just above the vehicle, not from its floor
constexpr float roofMinGap = 1.2f;     // nearer than this is the vehicle's own roof, not a tunnel
constexpr float roofMaxGap = 25.0f;    // farther than this is open sky under a high structure

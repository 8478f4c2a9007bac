// The plot's colours, one palette for ostrelle-sim's plot (gnuplot) and the tuner page's, which
// takes it from the module: what is shaded behind the radio, the crash marks and the radio itself.
#pragma once

#include <stdexcept>
#include <string_view>

#include "controller/controller.h"
#include "standins/world/replay.h"

struct PlotColour {
    const char* name;
    const char* colour;  // #rrggbb
};

inline constexpr PlotColour plotPalette[] = {
    {"radio", "#1f4e9a"},    // the radio volume's line
    {"roof", "#cfe0f5"},     // under a roof
    {"duck", "#f8d3c5"},     // a duck
    {"pause", "#e2e2e2"},    // paused
    {"away", "#c8bcd8"},     // out of the vehicle (the page hatches it, gnuplot shades it)
    {"crash", "#c0392b"},    // a crash that began a duck
    {"ignored", "#8c8c8c"},  // a crash of the game's that began none
};

// The colour of name in plotPalette; a name not in it fails the build where it is constant.
constexpr const char* plotColour(std::string_view name) {
    for (const PlotColour& entry : plotPalette) {
        if (entry.name == name) return entry.colour;
    }
    throw std::invalid_argument("no such plot colour");
}

// What the plot shades behind a frame for the gate that ended it, in gnuplot and on the page
// alike: a paused frame as paused, and a frame in which the plug-in had nothing to watch (no
// player, out of the vehicle, a status of 10 or more) as away.
enum class GateShade { none, pause, away };

constexpr GateShade gateShade(FrameGate gate) {
    switch (gate) {
        case FrameGate::paused:
            return GateShade::pause;
        case FrameGate::nothingToWatch:
        case FrameGate::ineligibleStatus:
            return GateShade::away;
        case FrameGate::notStarted:
        case FrameGate::watched:
            return GateShade::none;
    }
    return GateShade::none;
}

// Whether the plot shades a frame as under a roof, in gnuplot and on the page alike: the game found
// a roof over the player's vehicle.
constexpr bool roofShade(const ReplayFrame& row) {
    return row.roofFound && row.vehicle != 0;
}

// The replay format, written once for every program that reads or writes it: the drive recorder
// (a DLL in the game, so this file is plain constants and a template, with no library behind it),
// the world's reader, ostrelle-sim's export-replay and its help text. A replay is CSV text: the
// header line, then one row per frame of the columns below, "\n" ending each line. Numbers are
// decimal; floats are any text std::from_chars reads ("nan" too), written in the shortest form
// that reads back to the same 32-bit value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The columns in file order:
//   frame       counts up from 0 by one
//   tick        what GetTickCount answers in that frame
//   suspend     the game's suspend flag byte
//   actor       what queryActor answers
//   vehicle     0: queryVehicle answers 0; else an id, each one vehicle record that keeps its
//               address for the whole replay and takes the row's status, health, impact, x, y, z
//   status, health, impact, x, y, z    that record's fields
//   roof_found  0 or 1: what findRoofZ sets in its flag
//   roof_z      what findRoofZ answers
inline constexpr std::string_view replayColumns[] = {
    "frame",  "tick", "suspend", "actor", "vehicle",    "status", "health",
    "impact", "x",    "y",       "z",     "roof_found", "roof_z"};

inline constexpr std::string_view replayHeader =
    "frame,tick,suspend,actor,vehicle,status,health,impact,x,y,z,roof_found,roof_z\n";

// Calls visit(name, row.field...) for each column in file order, with that column's field of
// every row given: a row type is any struct with the fields named as below.
template <typename Visit, typename... Rows>
constexpr void forEachReplayColumn(Visit&& visit, Rows&... rows) {
    visit(replayColumns[0], rows.frame...);
    visit(replayColumns[1], rows.tick...);
    visit(replayColumns[2], rows.suspend...);
    visit(replayColumns[3], rows.actor...);
    visit(replayColumns[4], rows.vehicle...);
    visit(replayColumns[5], rows.status...);
    visit(replayColumns[6], rows.health...);
    visit(replayColumns[7], rows.impact...);
    visit(replayColumns[8], rows.x...);
    visit(replayColumns[9], rows.y...);
    visit(replayColumns[10], rows.z...);
    visit(replayColumns[11], rows.roofFound...);
    visit(replayColumns[12], rows.roofZ...);
}

// Whether the header is the column names joined by commas, ended by "\n".
constexpr bool headerNamesTheColumns() {
    std::size_t at = 0;
    for (std::string_view name : replayColumns) {
        if (replayHeader.substr(at, name.size()) != name) return false;
        at += name.size();
        if (at >= replayHeader.size()) return false;
        if (replayHeader[at] !=
            (name == replayColumns[std::size(replayColumns) - 1] ? '\n' : ',')) {
            return false;
        }
        ++at;
    }
    return at == replayHeader.size();
}
static_assert(headerNamesTheColumns());

// The limits a reader holds a replay to, which bound the memory a run takes: its rows (over 4
// hours at 60 frames a second), its different vehicles (each takes a record of its own) and the
// length of a line (thirteen numbers written in full take a few hundred bytes; the bound keeps a
// shared file of one endless line from taking all memory). A recording that would pass them ends
// instead.
inline constexpr std::uint32_t maxReplayFrames = 1'000'000;
inline constexpr std::uint32_t maxReplayVehicles = 65536;
inline constexpr std::size_t maxReplayLineBytes = 1024;

// The frame hook on Windows: the routine the game's redirected call reaches, and where it goes on.
#pragma once

#include <cstdint>

extern "C" {
// The game's former per-frame routine (the redirected call's old target); 0 until the load
// handler has redirected the call. Read by frameThunk on every frame.
extern std::uint32_t savedFrameTarget;

// Entered only by the game's redirected call (never called by the plug-in): runs onFrame, then
// jumps on to savedFrameTarget with ECX, the stack and EBX/ESI/EDI/EBP as they arrived, so the
// game's routine runs as if it had been called directly and returns straight to the game.
void frameThunk();
}

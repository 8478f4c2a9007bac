// The frame hook on Windows: the routine the game's redirected call reaches, where it goes on, and
// the load handler's part that puts it in place. Ostrelle.dll and the drive recorder share it:
// each links its own copy, with its own frame work behind the thunk.
#pragma once

#include <windows.h>

#include <cstdint>

extern "C" {
// The game's former per-frame routine (the redirected call's old target); 0 until the load
// handler has redirected the call. Read by frameThunk on every frame.
extern std::uint32_t savedFrameTarget;

// Entered only by the game's redirected call (never called by the library): runs the library's
// frame work, then jumps on to savedFrameTarget with ECX, the stack and EBX/ESI/EDI/EBP as they
// arrived, so the game's routine runs as if it had been called directly and returns straight to
// the game.
void frameThunk();
}

// The attach handler's work once the processor is known to have SSE2: redirects the game's frame
// call to frameThunk and pins the library, and the module the call led into when that is another
// plug-in's. Answers whether the call is now ours; false leaves the game untouched and the
// library inert (a game build we do not know, a page that cannot be made writable, a call that
// led into memory of no module, a pin that failed).
//
// The patch assumes that no other thread runs the game's frame call while it is written, as a
// plug-in loader that loads plug-ins before the game's first frame ensures. Intel's rules for
// cross-modifying code ask the thread that executes modified code to run a serialising
// instruction first; the game's frame thread runs none on our behalf. A loader that loads late,
// while frames already run on another thread, leaves that thread to meet either the old call or
// the new one (the store is atomic and the new target is stored before it), which holds on every
// processor we know of but is not what Intel promises.
bool hookFrameCall();

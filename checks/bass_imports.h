// The audio library's entry points that the plug-in imports by name, read at build time from
// src/sound/bass.def, the one list from which Ostrelle.dll's import library is made.
#pragma once

#include <span>
#include <string_view>

// The plain names, without the stdcall suffixes (BASS_Init, not BASS_Init@20).
std::span<const std::string_view> bassImports();

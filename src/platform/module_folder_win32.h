// The folder of a module as the ANSI calls can open it. The plug-in builds its paths with the
// ANSI calls; a folder whose name the system's code page cannot hold ("Игра" on a Windows set to
// a Western language, "Łucja" on code page 1252) comes back from GetModuleFileNameA with '?' or a
// look-alike ('L') in place of those characters, and no call finds anything through that name.
#pragma once

#include <windows.h>

#include "common/path_text.h"

// Sets folder to the folder of module's file, without a trailing separator: its ANSI name where
// that holds the name, else its short (8.3) name, which is plain ASCII, where the volume has one,
// else the ANSI name as it came. "." when the module's name cannot be had whole.
void ansiFolderOf(HMODULE module, PathText& folder);

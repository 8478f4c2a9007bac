# The DLL must link none of MinGW's own decimal conversions (gdtoa, behind its strtod, printf and
# their kin): their big-number pool can allocate, and their lock registers an exit handler on its
# first use, so that code of the DLL would run at the game's exit. The plug-in converts through
# msvcrt.dll's strtod instead. Reads the DLL's link map.
# Arguments: MAP (the map the linker wrote beside the DLL).
if(NOT EXISTS "${MAP}")
  message(FATAL_ERROR "no link map at ${MAP}")
endif()
file(READ ${MAP} map)
set(conversions "misc|gdtoa|dtoa|dmisc|gmisc|smisc|strto[a-z]*|g_[a-z_]+|sum|ulp|hd_init|gethex|hexnan|[a-z_]*pformat|[a-z_]*printf")
string(REGEX MATCHALL "libmingwex\\.a\\([^)]*-(${conversions})\\.o\\)" members "${map}")
list(REMOVE_DUPLICATES members)
if(members)
  list(JOIN members "\n  " members)
  message(FATAL_ERROR "${MAP}: the DLL links MinGW's decimal conversions:\n  ${members}")
endif()
# Nothing runs a static initialiser: the DLL's entry point is DllMain itself, so one would never
# run, and the object it should have set up would be used uninitialised.
string(REGEX MATCHALL "\n (\\.ctors[.0-9]*|\\.init_array[.0-9]*|\\.CRT\\$X[CI][A-Z]*)[ \n]+0x[0-9a-f]+ +0x0*[1-9a-f][0-9a-f]* [^\n]+"
       initialisers "${map}")
if(initialisers)
  message(FATAL_ERROR "${MAP}: static initialisers, which no start-up code runs:${initialisers}")
endif()
message(STATUS "no MinGW decimal conversion and no static initialiser in ${MAP}")

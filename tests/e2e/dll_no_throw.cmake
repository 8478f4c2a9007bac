# Ostrelle.dll must link no code that throws or unwinds a C++ exception: its static runtime
# registers the DLL's unwind tables with another module's libgcc_s_dw2-1.dll when one is loaded,
# and a throw of ours would then find no handler and abort the game. Reads the DLL's link map.
# Arguments: MAP (the map the linker wrote beside the DLL).
if(NOT EXISTS "${MAP}")
  message(FATAL_ERROR "no link map at ${MAP}")
endif()
file(READ ${MAP} map)

set(found "")
# The C++ runtime's throwing and unwinding parts, and the unwinder itself.
string(REGEX MATCHALL "lib(stdc\\+\\+|supc\\+\\+|gcc_eh)\\.a\\([^)]+\\)" members "${map}")
list(REMOVE_DUPLICATES members)
foreach(member IN LISTS members)
  string(APPEND found "\n  linked: ${member}")
endforeach()
foreach(symbol IN ITEMS __cxa_throw __cxa_rethrow __cxa_begin_catch __gxx_personality_v0
                        _Unwind_RaiseException _Unwind_Resume)
  if(map MATCHES "[ \t]_?${symbol}[ \t\n]")
    string(APPEND found "\n  symbol: ${symbol}")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "Ostrelle.dll links code that throws or unwinds:${found}")
endif()
message(STATUS "no throwing or unwinding code in ${MAP}")

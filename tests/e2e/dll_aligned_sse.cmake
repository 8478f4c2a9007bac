# The game calls the plug-in with a stack aligned to 4 bytes only, so Ostrelle.dll must hold no
# SSE access that requires 16-byte alignment: movaps, movapd, movdqa, the non-temporal stores, and
# packed operations with a memory operand (only movups, movupd, movdqu and the 64-bit movhp/movlp
# and cvtps2pd/cvtdq2pd forms accept any address). Arguments: OBJDUMP, DLL.
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${DLL}
                OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -d ${DLL} failed")
endif()
set(always_aligned "movap[sd]|movdqa|movntp[sd]|movntdqa?")
set(unaligned_allowed "movup[sd]|movdqu|lddqu|mov[hl]p[sd]|cvtps2pd|cvtdq2pd")
string(REPLACE "\n" ";" lines "${dump}")
set(found "")
set(count 0)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^ *[0-9a-f]+:\t([a-z0-9]+) +([^ ]*%xmm[^ ]*)")
    continue()
  endif()
  set(mnemonic ${CMAKE_MATCH_1})
  set(operands ${CMAKE_MATCH_2})
  math(EXPR count "${count} + 1")
  # A memory operand: a displacement with a base in parentheses, or a bare absolute address.
  set(memory FALSE)
  if(operands MATCHES "\\(" OR operands MATCHES "(^|,)0x[0-9a-f]+(,|$)")
    set(memory TRUE)
  endif()
  if(mnemonic MATCHES "^(${always_aligned})$")
    string(APPEND found "\n  ${line}")
  elseif(memory AND mnemonic MATCHES "^(p[a-z0-9]+|[a-z0-9]+p[sd])$"
         AND NOT mnemonic MATCHES "^(${unaligned_allowed})$")
    string(APPEND found "\n  ${line}")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "${DLL} holds SSE accesses that need 16-byte alignment:${found}")
endif()
message(STATUS "${count} SSE instructions in ${DLL}, none needing an aligned address")

# frameThunk (see frame_hook_win32.h). The game's object pointer arrives in ECX, which the frame
# work may change, so it is kept on the stack across the call; the jump (not a call) leaves the
# stack as it arrived, so the former target's own return goes straight back to the game and
# removes whatever arguments its convention removes. The frame work keeps EBX, ESI, EDI and EBP,
# as every function does.
# FRAME_WORK is the symbol of the library's frame work, given by its build: __Z7onFramev is
# onFrame() as i686 MinGW's g++ names it; a change there fails the link.
    .text
    .globl _frameThunk
    .def _frameThunk; .scl 2; .type 32; .endef
_frameThunk:
    pushl %ecx
    call FRAME_WORK
    popl %ecx
    jmp *_savedFrameTarget

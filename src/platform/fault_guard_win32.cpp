// The guard on 32-bit Windows: what a compiler's __try/__except does, by hand. It pushes an
// exception registration record onto the thread's chain at FS:[0]; on a fault its handler runs the
// global unwind (inner handlers see the exception unwind, and their records leave the chain) and
// resumes at the guard's exit with the guard's own stack, registers and floating-point state.
// A frame-based handler sees only faults raised inside the guard; a vectored handler would also
// see exceptions that the game raises and handles itself.
#include <malloc.h>
#include <windows.h>

#include "platform/fault_guard.h"

extern "C" {
// The handler calls RtlUnwind through this pointer (kernel32 forwards it to ntdll).
void* ostrelleRtlUnwind = reinterpret_cast<void*>(&RtlUnwind);
// What puts a stack's guard page back after an overflow: the C library's _resetstkoflw, which
// answers 0 when there is no room left below for a guard page.
int (*ostrelleResetStackOverflow)() = &_resetstkoflw;
}

namespace {

// Set once an overflow left no room for a new guard page: the next overflow would end the
// process without any exception to catch, so no more work runs, on any thread.
bool stackUnguarded = false;

}  // namespace

// The registration record the guard pushes, at the stack pointer while work runs:
//   +0 the previous record, +4 the handler, +8 the guard's EBP, +12 MXCSR, +16 x87 control word.
// The handler gets (EXCEPTION_RECORD*, the record, CONTEXT*, dispatcher context) on its stack. In
// EXCEPTION_RECORD, ExceptionCode is at +0 and ExceptionFlags at +4; 6 = EXCEPTION_UNWINDING |
// EXCEPTION_EXIT_UNWIND. It answers 1 (ExceptionContinueSearch) while unwinding. On a fault it
// stores the exception code through the guard's third argument (at the guard's EBP + 16).
// Windows' own RtlUnwind keeps no register but ESP and EBP, so the record is read back from the
// handler's arguments after it returns. Both functions are naked: their bodies are the assembly
// alone.

// Answers 1 when work(context) returned, 0 when a fault ended it; then the third argument holds
// the fault's code.
extern "C" __attribute__((naked)) int ostrelleGuardedCall(void (*)(void*), void*, DWORD*) {
    asm(R"(
    .intel_syntax noprefix
    push ebp
    mov ebp, esp
    push ebx
    push esi
    push edi
    sub esp, 8
    stmxcsr [esp]
    fnstcw [esp+4]
    push ebp
    push OFFSET _ostrelleGuardHandler
    push DWORD PTR fs:[0]
    mov DWORD PTR fs:[0], esp
    push DWORD PTR [ebp+12]
    call DWORD PTR [ebp+8]
    mov eax, 1
ostrelleGuardLeave:
    lea esp, [ebp-32]
    mov ecx, [esp]
    mov DWORD PTR fs:[0], ecx
    lea esp, [ebp-12]
    pop edi
    pop esi
    pop ebx
    pop ebp
    ret
    .att_syntax prefix
)");
}

extern "C" __attribute__((naked)) void ostrelleGuardHandler() {
    asm(R"(
    .intel_syntax noprefix
    mov eax, [esp+4]
    test DWORD PTR [eax+4], 6
    jnz ostrelleGuardPassOn
    push 0
    push eax
    push OFFSET ostrelleGuardUnwound
    push DWORD PTR [esp+20]
    call DWORD PTR [_ostrelleRtlUnwind]
ostrelleGuardUnwound:
    mov eax, [esp+4]
    mov eax, [eax]
    mov esp, [esp+8]
    mov ebp, [esp+8]
    mov ecx, [ebp+16]
    mov [ecx], eax
    fninit
    fldcw [esp+16]
    ldmxcsr [esp+12]
    xor eax, eax
    jmp ostrelleGuardLeave
ostrelleGuardPassOn:
    mov eax, 1
    ret
    .att_syntax prefix
)");
}

bool runGuarded(void (*work)(void*), void* context) noexcept {
    if (stackUnguarded) return false;
    DWORD code = 0;
    if (ostrelleGuardedCall(work, context, &code) != 0) return true;
    // Work that ran out of stack used up the stack's guard page; without it the next overflow
    // would end the process with no exception at all. Back on the guard's frame it is put back,
    // if there is room below.
    if (code == EXCEPTION_STACK_OVERFLOW && ostrelleResetStackOverflow() == 0) {
        stackUnguarded = true;
    }
    return false;
}

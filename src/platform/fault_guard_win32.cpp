// The guard on 32-bit Windows: what a compiler's __try/__except does, by hand. It pushes an
// exception registration record onto the thread's chain at FS:[0]; on a fault its handler runs the
// global unwind (inner handlers see the exception unwind, and their records leave the chain) and
// resumes at the guard's exit with the guard's own stack, registers and floating-point state.
// A frame-based handler sees only faults raised inside the guard; a vectored handler would also
// see exceptions that the game raises and handles itself.
#include <windows.h>

#include "platform/fault_guard.h"

extern "C" {
// The handler calls RtlUnwind through this pointer (kernel32 forwards it to ntdll).
void* ostrelleRtlUnwind = reinterpret_cast<void*>(&RtlUnwind);

// Answers 1 when work(context) returned, 0 when a fault ended it.
int ostrelleGuardedCall(void (*work)(void*), void* context);
}

// The registration record the guard pushes, at the stack pointer while work runs:
//   +0 the previous record, +4 the handler, +8 the guard's EBP, +12 MXCSR, +16 x87 control word.
// EXCEPTION_RECORD.ExceptionFlags is at +4; 6 = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND.
// The handler answers 1 (ExceptionContinueSearch) while unwinding.
asm(R"(
    .intel_syntax noprefix
    .text
    .globl _ostrelleGuardedCall
_ostrelleGuardedCall:
    push ebp
    mov ebp, esp
    push ebx
    push esi
    push edi
    sub esp, 8
    stmxcsr [esp]
    fnstcw [esp+4]
    push ebp
    push OFFSET ostrelleGuardHandler
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

ostrelleGuardHandler:
    mov eax, [esp+4]
    test DWORD PTR [eax+4], 6
    jnz ostrelleGuardPassOn
    mov ebx, [esp+8]
    push 0
    push eax
    push OFFSET ostrelleGuardUnwound
    push ebx
    call DWORD PTR [_ostrelleRtlUnwind]
ostrelleGuardUnwound:
    mov esp, ebx
    mov ebp, [esp+8]
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

bool runGuarded(void (*work)(void*), void* context) noexcept {
    return ostrelleGuardedCall(work, context) != 0;
}

#include "core/GuardWin32.h"

#include <windows.h>

#include <csetjmp>

#if defined(__x86_64__)

// The codes GCC raises to throw and unwind its own C++ exceptions: never the guard's business.
extern "C" LONG CsGuardFilter(EXCEPTION_POINTERS* pointers, void*) {
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    bool gccException = (code & 0xF0FFFFFF) == 0x20474343;
    return gccException ? EXCEPTION_CONTINUE_SEARCH : EXCEPTION_EXECUTE_HANDLER;
}

extern "C" int CsGuardedCall(void (*function)(void*), void* context);

// A frame whose unwind information names the system's scope-table handler: an exception in
// the call is offered to CsGuardFilter, and when the filter takes it the system unwinds to the
// target, which returns 0.
asm(R"(
    .text
    .globl CsGuardedCall
    .def CsGuardedCall; .scl 2; .type 32; .endef
    .seh_proc CsGuardedCall
CsGuardedCall:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
.Lcs_guard_begin:
    callq *%rax
    nop
.Lcs_guard_end:
    movl $1, %eax
    addq $40, %rsp
    ret
.Lcs_guard_target:
    xorl %eax, %eax
    addq $40, %rsp
    ret
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .Lcs_guard_begin, .Lcs_guard_end, CsGuardFilter, .Lcs_guard_target
    .text
    .seh_endproc
)");

namespace cs {

bool CallGuarded(void (*function)(void*), void* context) {
    return CsGuardedCall(function, context) != 0;
}

} // namespace cs

#elif defined(__i386__)

namespace cs {

namespace {

// The registration record comes first, so the frame's address is the record's.
struct GuardFrame {
    EXCEPTION_REGISTRATION_RECORD registration;
    jmp_buf resume;
};

EXCEPTION_REGISTRATION_RECORD* ExceptionChain() {
    EXCEPTION_REGISTRATION_RECORD* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetExceptionChain(EXCEPTION_REGISTRATION_RECORD* head) {
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// Reached only by exceptions no inner frame handled: the frames above the guard are unwound
// and unlinked, the guard's own record too, and the call resumes at the guard's setjmp.
EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisher, CONTEXT*, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    auto* frame = static_cast<GuardFrame*>(establisher);
    RtlUnwind(establisher, nullptr, record, nullptr);
    SetExceptionChain(frame->registration.Next);
    longjmp(frame->resume, 1);
}

} // namespace

bool CallGuarded(void (*function)(void*), void* context) {
    GuardFrame frame;
    if (setjmp(frame.resume)) return false;
    frame.registration.Next = ExceptionChain();
    frame.registration.Handler = reinterpret_cast<PEXCEPTION_ROUTINE>(GuardHandler);
    SetExceptionChain(&frame.registration);
    function(context);
    SetExceptionChain(frame.registration.Next);
    return true;
}

} // namespace cs

#else
#error "the guard knows the exception frames of i386 and x86-64 only"
#endif

// The guard around calls into code the engine does not own (shell links, shell verbs, COM
// servers, ...): a crash inside that code becomes the failure of one call, and the run goes on.
//
// Two kinds of exception end a guarded call: a C++ exception that leaves the body, and a
// structured exception that no code inside handled (an access violation, a division by zero,
// an exception raised by a foreign library). Exceptions the foreign code handles itself never
// reach the guard. GCC offers no __try/__except, so the guard is a frame of its own on the
// thread's exception chain (32-bit) or in the unwind tables (64-bit). After a structured
// exception the call is abandoned where it stood: on 64-bit the C++ frames in between are
// unwound with their destructors; on 32-bit (DWARF unwinding, unknown to the system) they are
// skipped, so what they held is leaked.
#pragma once

#include <type_traits>

namespace cs {

// Calls function(context); false when a structured exception ended it.
bool CallGuarded(void (*function)(void*), void* context);

// Runs body(); false when a C++ exception or a structured exception ended it.
template <class Body> bool RunGuarded(Body&& body) {
    struct Call {
        std::remove_reference_t<Body>* body;
        bool threw;
    } call{&body, false};
    bool completed = CallGuarded(
        [](void* context) {
            auto* c = static_cast<Call*>(context);
            try {
                (*c->body)();
            } catch (...) {
                c->threw = true;
            }
        },
        &call);
    return completed && !call.threw;
}

} // namespace cs

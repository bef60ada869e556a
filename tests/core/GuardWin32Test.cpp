// The guard around foreign code: a crash or a C++ exception inside ends the call with false,
// an exception the code inside handles itself does not, and the thread goes on working
// (exceptions, later guards) after a crash.
#include "core/GuardWin32.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <windows.h>

using namespace cs;

namespace {

void WriteThroughNull() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

void DivideByZero() {
    volatile int zero = 0;
    volatile int quotient = 7 / zero;
    (void)quotient;
}

} // namespace

TEST(Guard, CompletedBodyIsSuccess) {
    int ran = 0;
    EXPECT_TRUE(RunGuarded([&] { ran = 42; }));
    EXPECT_EQ(ran, 42);
}

TEST(Guard, EveryUnhandledExceptionIsFailure) {
    struct Case {
        const char* what;
        void (*body)();
    } cases[] = {
        {"access violation", WriteThroughNull},
        {"division by zero", DivideByZero},
        {"raised by a library", [] { RaiseException(0xE0434352, 0, 0, nullptr); }},
        {"C++ exception", [] { throw std::runtime_error("thrown inside"); }},
    };
    for (const Case& c : cases) {
        bool after = false;
        EXPECT_FALSE(RunGuarded([&] {
            c.body();
            after = true;
        })) << c.what;
        EXPECT_FALSE(after) << c.what << ": the body goes no further";
    }
}

// IsBadReadPtr probes the address under the system's own exception handler.
TEST(Guard, ExceptionsHandledInsideAreNoFailure) {
    BOOL bad = FALSE;
    EXPECT_TRUE(RunGuarded([&] { bad = IsBadReadPtr(nullptr, 4); }));
    EXPECT_TRUE(bad);
}

TEST(Guard, TheThreadWorksOnAfterACrash) {
    EXPECT_FALSE(RunGuarded(WriteThroughNull));
    bool caught = false;
    try {
        throw 7;
    } catch (int) {
        caught = true;
    }
    EXPECT_TRUE(caught);

    // A crash inside a nested guard ends only the inner call.
    bool inner = true, outerGoesOn = false;
    EXPECT_TRUE(RunGuarded([&] {
        inner = RunGuarded(WriteThroughNull);
        outerGoesOn = true;
    }));
    EXPECT_FALSE(inner);
    EXPECT_TRUE(outerGoesOn);
    EXPECT_FALSE(RunGuarded(DivideByZero)) << "a later guard still works";
}

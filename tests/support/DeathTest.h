// The exit status of a fatal error as a death test sees it: -1 on Windows, 255 (the low
// eight bits) on Linux.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
constexpr int kFatalDeathStatus = -1;
#else
constexpr int kFatalDeathStatus = 255;
#endif

inline testing::ExitedWithCode ExitedFatally() { return testing::ExitedWithCode(kFatalDeathStatus); }

// The command-line builder run from a test (CORVANTIS_BUILD_TOOL is its path).
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

// Runs the builder with the arguments, returns its exit code and what it printed (stdout and
// stderr).
inline int RunTool(const std::string& arguments, std::string& out) {
    FILE* pipe = popen((std::string(CORVANTIS_BUILD_TOOL) + " " + arguments + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    out.clear();
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    return WEXITSTATUS(pclose(pipe));
}

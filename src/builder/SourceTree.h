// The files of a folder on the build machine that one [[folder]] entry of a project
// installs: the tree read, the include and exclude patterns applied, the result sorted.
// Portable.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace cs {

// One file of a source tree.
struct SourceFile {
    std::string relative;       // UTF-8 path below the root, "/" between folders
    std::filesystem::path path; // where to read it
};

// What to take from the tree.
struct SourceSelection {
    bool recursive = true;            // false: only the files directly in the root
    std::vector<std::string> include; // PathPattern texts; none: every file
    std::vector<std::string> exclude;
};

// Which setting a problem belongs to, and the problem in words.
struct SourceTreeProblem {
    enum Setting { Source, Include, Exclude } setting = Source;
    std::string what;
};

// The files of the tree at `root` that `selection` picks, sorted by relative path in the
// byte order of UTF-8, the same on every machine whatever order a folder lists them in.
// Regular files are taken, also through links to files; links to folders are not entered
// (no loops) and other kinds of entry (pipes, devices) are left out. Fails on a root that is
// missing or no folder, a folder that cannot be read, a broken link, a pattern that can pick
// nothing, an include pattern that picks no file, no file left, and two paths that Windows
// takes for one ("Read.me" and "READ.ME").
bool ListSourceTree(const std::filesystem::path& root, const SourceSelection& selection,
                    std::vector<SourceFile>& files, SourceTreeProblem& problem);

// A path as UTF-8 text with "/" between folders, and back.
std::string GenericUtf8(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view utf8);

} // namespace cs

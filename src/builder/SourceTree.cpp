// Source trees: one walk of the folder, one pass of the patterns over the files found, one
// sort, one pass for names that Windows would take for one.
#include "builder/SourceTree.h"

#include "builder/PathPattern.h"

#include <algorithm>
#include <unordered_map>

namespace cs {

namespace {

namespace fs = std::filesystem;
using Setting = SourceTreeProblem::Setting;

bool Fail(SourceTreeProblem& problem, Setting setting, std::string what) {
    problem = {setting, std::move(what)};
    return false;
}

// Keeps a regular file (or a link to one); folders are the iterator's business.
bool TakeEntry(const fs::path& root, const fs::directory_entry& entry, std::vector<SourceFile>& files,
               SourceTreeProblem& problem) {
    std::error_code ec;
    fs::file_status status = entry.status(ec); // through a link
    if (fs::is_regular_file(status)) {
        files.push_back({GenericUtf8(entry.path().lexically_relative(root)), entry.path()});
        return true;
    }
    if (status.type() == fs::file_type::not_found && entry.is_symlink(ec))
        return Fail(problem, Setting::Source, "broken link: " + GenericUtf8(entry.path()));
    return true;
}

// The default options of both iterators leave links to folders unentered.
template <class Iterator>
bool Walk(const fs::path& root, std::vector<SourceFile>& files, SourceTreeProblem& problem) {
    std::error_code ec;
    for (Iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (!TakeEntry(root, *it, files, problem)) return false;
    if (ec)
        return Fail(problem, Setting::Source,
                    "cannot read the folder " + GenericUtf8(root) + ": " + ec.message());
    return true;
}

bool CheckRoot(const fs::path& root, SourceTreeProblem& problem) {
    std::error_code ec;
    fs::file_status status = fs::status(root, ec);
    if (!fs::exists(status)) return Fail(problem, Setting::Source, "no such folder: " + GenericUtf8(root));
    if (!fs::is_directory(status))
        return Fail(problem, Setting::Source, "not a folder: " + GenericUtf8(root));
    return true;
}

bool CheckPatterns(const std::vector<std::string>& patterns, Setting setting, SourceTreeProblem& problem) {
    for (const std::string& pattern : patterns)
        if (const char* why = PathPattern::Problem(pattern))
            return Fail(problem, setting, "\"" + pattern + "\" " + why);
    return true;
}

bool AnyMatches(const std::vector<PathPattern>& patterns, const std::string& path) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const PathPattern& p) { return p.Matches(path); });
}

// Keeps the files an include pattern picks (every file without one) and no exclude pattern.
bool Select(std::vector<SourceFile>& files, const SourceSelection& selection, SourceTreeProblem& problem) {
    std::vector<PathPattern> include(selection.include.begin(), selection.include.end());
    std::vector<PathPattern> exclude(selection.exclude.begin(), selection.exclude.end());
    std::vector<char> used(include.size(), 0);
    std::vector<SourceFile> picked;
    for (SourceFile& file : files) {
        bool in = include.empty();
        for (size_t i = 0; i < include.size(); ++i)
            if (include[i].Matches(file.relative)) used[i] = in = true;
        if (in && !AnyMatches(exclude, file.relative)) picked.push_back(std::move(file));
    }
    for (size_t i = 0; i < include.size(); ++i)
        if (!used[i])
            return Fail(problem, Setting::Include, "\"" + selection.include[i] + "\" matches no file");
    if (picked.empty()) return Fail(problem, Setting::Exclude, "excludes every file the folder would give");
    files = std::move(picked);
    return true;
}

bool CheckOneNameEach(const std::vector<SourceFile>& files, SourceTreeProblem& problem) {
    std::unordered_map<std::u32string, const std::string*> seen;
    seen.reserve(files.size());
    for (const SourceFile& file : files) {
        auto [first, added] = seen.emplace(FoldedPath(file.relative), &file.relative);
        if (!added)
            return Fail(problem, Setting::Source,
                        "\"" + *first->second + "\" and \"" + file.relative + "\" are one name on Windows");
    }
    return true;
}

} // namespace

std::string GenericUtf8(const fs::path& path) {
    std::u8string text = path.generic_u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

fs::path PathFromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

bool ListSourceTree(const fs::path& root, const SourceSelection& selection, std::vector<SourceFile>& files,
                    SourceTreeProblem& problem) {
    files.clear();
    if (!CheckRoot(root, problem) || !CheckPatterns(selection.include, Setting::Include, problem) ||
        !CheckPatterns(selection.exclude, Setting::Exclude, problem))
        return false;
    bool walked = selection.recursive ? Walk<fs::recursive_directory_iterator>(root, files, problem)
                                      : Walk<fs::directory_iterator>(root, files, problem);
    if (!walked) return false;
    if (files.empty())
        return Fail(problem, Setting::Source,
                    selection.recursive
                        ? "the folder holds no files: " + GenericUtf8(root)
                        : "no files directly in the folder (sub-folders are not read): " + GenericUtf8(root));
    if (!Select(files, selection, problem)) return false;
    std::sort(files.begin(), files.end(),
              [](const SourceFile& a, const SourceFile& b) { return a.relative < b.relative; });
    return CheckOneNameEach(files, problem);
}

} // namespace cs

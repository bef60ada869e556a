// `corvantis-build new DIR`: a small project that builds as it is (the hello example's
// shape): the project file, a program, a readme, a licence and a folder of notes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace cs {

// The files of a new project for the product `name`: (path inside the folder, contents).
// The project file is "project.toml"; `name` is written as a TOML text, escaped.
std::vector<std::pair<std::string, std::string>> NewProjectFiles(const std::string& name);

// Writes them into `folder` (created; an existing one must be empty), naming the product
// after the folder. False with the reason otherwise.
bool WriteNewProject(const std::string& folder, std::string& error);

} // namespace cs

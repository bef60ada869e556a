// `corvantis-build inspect --extract DIR`: the files an installer holds, written out under
// the folder their destination starts from, with a listing of what came from where.
//
//   DIR/InstallDir/...       kinds 0, 5, 9 to 12
//   DIR/SharedDir/...        kind 1
//   DIR/FontDir/...          kind 4
//   DIR/SystemDir/...        kinds 6 to 8
//   DIR/UninstallDir/...     any kind with flag 0x40
//   DIR/<Variable>/...       a destination that starts with another %Variable%
//   DIR/contents.json        per file: its path under DIR, the record's fields
//
// A destination that names a folder (ends in "\") takes the file name of the record's name;
// an empty one is the record's name. Other variables inside a path stay as written.
#pragma once

#include "payload/Bytes.h"
#include "payload/DataStream.h"

#include <string>
#include <vector>

namespace cs {

// Where one record's file goes under the extraction folder: "InstallDir/docs/faq.txt", as
// payload/FileNames.h places it. False with the reason for a record that rule refuses (a "."
// or ".." part, a device name, a base such as "%..%" or "%C:%") or whose destination names no
// base folder (a full path such as "C:\..." or "\\server\..."): the base and every part
// are sound names, so the path never leaves the extraction folder.
bool ExtractedPath(const FileRecord& record, std::string& path, std::string& error);

// The listing written as DIR/contents.json.
std::string ContentsJson(const std::vector<FileRecord>& files, const std::vector<std::string>& paths);

// The whole extraction: the installer is checked as `inspect` checks it; a corrupt one
// writes nothing and gives its code in `corruptCode` (with the reason in `error`). The
// files go into DIR.extracting, which is renamed to DIR at the end, so that DIR is either
// complete or absent; a DIR that exists and is not empty is refused.
bool ExtractInstaller(ByteView installer, const std::string& folder, int& corruptCode, std::string& error);

} // namespace cs

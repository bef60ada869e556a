// The machine's pending restart operations ("PendingFileRenameOperations") for the Windows
// tests that schedule moves or deletions: read as pairs, and one test's own pairs taken out
// again so the list is left as the test found it. Tests using it take the ctest resource
// lock "pending-restart-operations".
#pragma once

#include "core/RegistryWin32.h"
#include "core/Text.h"
#include "uninstall/Deletion.h"

namespace cs::test {

inline Array<PendingOperation> ReadPendingOperations() {
    RegistryKey key;
    RegistryValue value;
    if (!key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, kOwnRegistryView, KEY_QUERY_VALUE) ||
        !key.Read(kPendingRenameValue, value))
        return {};
    return ParsePendingOperations(reinterpret_cast<const char16_t*>(value.data.data()),
                                  value.data.size() / sizeof(char16_t));
}

// Whether an operation names the file: a move by its target, a deletion by its source
// (compared from the drive letter on, ignoring case).
inline bool NamesFile(const PendingOperation& op, const String& file, bool asMoveTarget) {
    if (op.target.IsEmpty() == asMoveTarget) return false;
    return CompareNoCase(FromDriveLetter(asMoveTarget ? op.target : op.source), file) == 0;
}

// Takes out every move onto the file, leaving the other operations as they were.
inline void RemovePendingMovesOnto(const String& file) {
    Array<PendingOperation> kept;
    for (const PendingOperation& op : ReadPendingOperations())
        if (!NamesFile(op, file, true)) kept.Append(op);
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, kOwnRegistryView, KEY_SET_VALUE)) return;
    if (kept.IsEmpty()) {
        key.DeleteValue(kPendingRenameValue);
        return;
    }
    String joined = JoinPendingOperations(kept);
    key.SetBytes(kPendingRenameValue, joined.c_str(), joined.Length() * sizeof(char16_t), REG_MULTI_SZ);
}

} // namespace cs::test

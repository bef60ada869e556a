// Outside bytes through the deletion and batch rules: the pending-operation list as the
// registry holds it, a "wininit.ini" as found on disk, a deletion condition's value and the
// commands of a batch. Every input ends in a result, never a crash, and the results keep
// their promises.
#include "core/DateTime.h"
#include "uninstall/Deletion.h"
#include "vars/Batch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t mode = data[0] % 4;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (mode) {
    case 0: { // the multi-string as UTF-16: parse, judge, join, parse again to the same pairs
        cs::String text(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
        cs::Array<cs::PendingOperation> ops = cs::ParsePendingOperations(text.c_str(), text.Length());
        cs::Array<cs::String> files = {u"C:\\App\\x.dll", u"\\\\srv\\s\\y"};
        for (const cs::PendingOperation& op : ops)
            cs::JudgePending(op, files);
        cs::String joined = cs::JoinPendingOperations(ops);
        cs::Array<cs::PendingOperation> again = cs::ParsePendingOperations(joined.c_str(), joined.Length());
        if (again.Count() != ops.Count()) abort();
        break;
    }
    case 1: { // a rename list: the entry lands right after the header
        cs::String8 ini(bytes.data(), bytes.size()), out;
        if (!cs::AddRenameEntry(ini, "NUL", "C:\\X.DLL", out)) abort();
        if (out.Length() <= ini.Length()) abort();
        break;
    }
    case 2: { // a date value
        cs::DateTime when;
        if (cs::DateTime::Parse(bytes, when) == cs::DateTime::kOk &&
            !cs::IsValidDate(when.year, when.month, when.day))
            abort();
        cs::FileDeletion record;
        record.condition = static_cast<uint8_t>(bytes.empty() ? 0 : bytes[0] % 8);
        record.value = cs::String8(bytes.data(), bytes.size());
        cs::FoundFile file;
        file.size = bytes.size();
        cs::EvaluateCondition(record, file);
        break;
    }
    default: { // batch commands: the text always ends in CR LF and carries no lone LF
        cs::String8 commands(bytes.data(), bytes.size());
        cs::String8 kept = cs::WithoutPauseLines(commands);
        cs::String8 text = cs::NormalizeLineEnds(kept);
        std::string_view t = text.View();
        if (t.size() < 2 || t.substr(t.size() - 2) != "\r\n") abort();
        for (size_t i = 0; i < t.size(); ++i)
            if (t[i] == '\n' && (i == 0 || t[i - 1] != '\r')) abort();
        break;
    }
    }
    return 0;
}

#include "app/RunEnd.h"

#include "actions/FileRules.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "payload/Definition.h"

namespace cs {

RestartDecision DecideRestart(uint32_t optionWord1, uint32_t optionWord2, bool automatic) {
    if (!(optionWord1 & kOpt1RebootRequired)) return RestartDecision::None;
    if (!automatic || (optionWord2 & kOpt2AskBeforeRestart)) return RestartDecision::Ask;
    return RestartDecision::Restart;
}

bool LaunchesOnExit(bool restarting, const String& command, const String& failureSummary) {
    return !restarting && !command.IsEmpty() && failureSummary.IsEmpty();
}

String LaunchFailureText(const String& command, const String& systemText) {
    return Format(u"Failed to launch command: %s\r\n%s\r\n", command, systemText);
}

String AppLaunchFailureText(const String& command, const String& systemText) {
    return Format(u"Failed to launch app: %s\r\n%s\r\n", command, systemText);
}

String InInstallFolder(const String& path, const String& installDir) {
    return path.IsEmpty() || IsAbsolutePath(path) ? path : JoinPath(installDir, path);
}

} // namespace cs

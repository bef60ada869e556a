#include "runtime/CorruptInstaller.h"

#include "core/Format.h"

#include <cstdlib>

namespace cs {

namespace {

CorruptInstallerHooks g_hooks = DefaultCorruptInstallerHooks();
CorruptInstallerPlatform g_platform = DefaultCorruptInstallerPlatform();

const char16_t kBuiltInMessage[] =
    u"This installation program is corrupt.  This is usually caused by a faulty download, but it can also be "
    u"caused by a virus on your computer.  The installation cannot proceed.\r\n\r\nDelete the corrupted "
    u"installer "
    u"(to prevent caching), then re-download it.  If the problem persists, check your system for "
    u"viruses.\r\n\r\nError code: %d";

String SystemErrorCodeText(uint32_t error) {
    if (static_cast<int32_t>(error) >= 0) return Format(u"%u", error);
    return Format(u"0x%X", error);
}

String LanguageString(int number) {
    return g_hooks.languageString ? g_hooks.languageString(number) : String();
}

} // namespace

void SetCorruptInstallerHooks(const CorruptInstallerHooks& hooks) {
    g_hooks = hooks;
}
void SetCorruptInstallerPlatform(const CorruptInstallerPlatform& platform) {
    g_platform = platform;
}

String CorruptInstallerMessage(int code, const String& languageText, uint32_t systemError,
                               const String& systemText) {
    String message = languageText.IsEmpty() ? Format(kBuiltInMessage, code) : languageText;
    if (systemError != 0)
        message += Format(u"\r\nSystem error, code %s: %s", SystemErrorCodeText(systemError), systemText);
    return message;
}

void CorruptInstaller(int code, bool withSystemError) {
    // The last error first: everything below may change it.
    uint32_t error = withSystemError ? g_platform.lastError() : 0;
    String systemText = error ? g_platform.systemErrorText(error) : String();
    String message =
        CorruptInstallerMessage(code, LanguageString(kStringCorruptInstaller), error, systemText);
    if (g_hooks.recordFailure) g_hooks.recordFailure(message);
    if (g_hooks.writeLog) g_hooks.writeLog();
    if (g_hooks.notifyFailure) g_hooks.notifyFailure();
    String title = LanguageString(kStringErrorTitle);
    if (title.IsEmpty()) title = u"Error";
    g_platform.show(message, title);
    g_platform.exit(kCorruptExitCode);
    std::_Exit(kCorruptExitCode); // the platform's exit does not return; this keeps the promise
}

} // namespace cs

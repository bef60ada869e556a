#include "runtime/Message.h"

#include "core/WinText.h"
#include "runtime/InstallerState.h"

#include <windows.h>

namespace cs {

namespace {

int PlatformMessageBox(const String& text, const String& title, unsigned flags) {
    return MessageBoxW(nullptr, W(text), W(title), flags);
}

MessagePresenter g_presenter = PlatformMessageBox;
String g_errorTitle = u"Error";

} // namespace

void SetMessagePresenter(MessagePresenter presenter) {
    g_presenter = presenter ? presenter : PlatformMessageBox;
}

int ShowMessage(const String& text, const String& title, unsigned flags) {
    if (Installer().Silent()) return IDOK;
    return g_presenter(text, title, flags);
}

void SetErrorTitle(const String& title) {
    g_errorTitle = title.IsEmpty() ? String(u"Error") : title;
}

const String& ErrorTitle() {
    return g_errorTitle;
}

} // namespace cs

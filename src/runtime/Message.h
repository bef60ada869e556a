// Every message and question of the engine goes through ShowMessage: nothing is shown in
// silent mode (the installer state's command line says so), otherwise the presenter shows
// it: the platform's message box until the program's own is installed.
#pragma once

#include "core/String.h"

namespace cs {

// Shows the text with the platform's flag layout (MB_ICONERROR | MB_OK, MB_YESNO, ...) and
// returns the button's result code (IDOK, IDYES, ...).
using MessagePresenter = int (*)(const String& text, const String& title, unsigned flags);
void SetMessagePresenter(MessagePresenter presenter);

// Returns the button pressed; 1 (OK) when silent.
int ShowMessage(const String& text, const String& title, unsigned flags);

// The title of error boxes: "Error" until the definition names one.
void SetErrorTitle(const String& title);
const String& ErrorTitle();

} // namespace cs

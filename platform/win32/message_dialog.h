// The installer's modal message dialog, built by hand so that its captions and
// button texts are the installer's own whatever the system's language.
#pragma once

#include <string>

#include <windows.h>
#include "platform/platform.h"

namespace platform {

// Shows the dialog centred on the screen, owned by `owner` (may be null), and
// returns kIdOk, kIdYes, kIdNo, or kIdCancel for the close box (or when the
// dialog cannot be shown at all).
int ShowMessageDialog(HWND owner, const std::string& text, DialogType type, DialogButtons buttons);

// Window captions by type: "Error", "Information", "Confirm".
const char* DialogCaption(DialogType type);

}  // namespace platform

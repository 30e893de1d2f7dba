// Texts of dialogs: line breaks (the system's messages join lines with LF,
// CR LF and even LF CR; a window shows only CR LF as one break) and the
// application error box's closing period.
#pragma once

#include <string>

namespace platform {

// Every CR LF, LF CR, lone LF and lone CR becomes one CR LF.
std::string NormalizeLineBreaks(const std::string& text);

// The text of the application's error box: the message, with "." added when
// its last character sorts after "." (bytes compare unsigned, as in code page 1252).
std::string ApplicationErrorText(const std::string& message);

}  // namespace platform

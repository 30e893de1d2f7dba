// Line breaks of dialog texts: the system's messages join lines with LF, CR LF
// and even LF CR; a window shows only CR LF as one break.
#pragma once

#include <string>

namespace platform {

// Every CR LF, LF CR, lone LF and lone CR becomes one CR LF.
std::string NormalizeLineBreaks(const std::string& text);

}  // namespace platform

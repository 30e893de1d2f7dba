// The box of an error that ends a program before it has a window of its own
// to show it in (or, in the uninstaller, outside the dialogs it shows).
#pragma once

#include <exception>
#include <string>

namespace platform {

// What a box shows of an error: our own errors' message, "Out of memory" for
// a failed allocation, else the run-time library's own text.
std::string MessageOf(const std::exception& error);

// One box, task modal, stop icon, OK: `caption`; then `firstLine`, whose two
// placeholders take the kind of error and this program's file name; then, on
// the next line, the message with the error box's closing "." rule. The caller
// then ends the program. The texts are the program's, given by its entry point.
void ShowStartupFailure(const std::exception& error, const char* caption, const char* firstLine);

}  // namespace platform

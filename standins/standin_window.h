// The one small window the stand-in programs show: a caption, a text and an optional button.
#pragma once

#include <windows.h>

struct StandinWindow {
  const char* caption;
  const char* text;           // may hold "\n" line breaks
  const char* buttonCaption;  // nullptr: no button
  // Runs when the button is pressed; its result is the program's exit code and the window closes.
  int (*onButton)(HWND owner);
};

// Shows the window centred on the screen and runs the message loop. Returns the
// button handler's result, or closedExitCode when the window is closed without it.
int RunStandinWindow(HINSTANCE instance, const StandinWindow& window, int closedExitCode);

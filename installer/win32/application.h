// Start-up of the installer: reading the two form resources, the message loop,
// and the box that shows an error of the running window to the user (the
// start-up failure box is platform/win32/startup_failure.h).
#pragma once

#include <exception>
#include <memory>
#include <string>

#include <windows.h>

#include "platform/platform.h"
#include "storage/exes.h"

class FormWindow;
class TComponent;

// The application's own window, as toolkits of this kind keep one: it carries
// the application title on the taskbar button and owns the main window, which
// so has no button of its own. Shown but without size, nobody sees it.
// Activated from the taskbar, it passes the activation on to the window last
// active above it; closed from the taskbar, it asks the main window to close.
class ApplicationWindow {
 public:
  // Created hidden; "Cannot create the application window" when it cannot be.
  ApplicationWindow();
  ~ApplicationWindow();
  ApplicationWindow(const ApplicationWindow&) = delete;
  ApplicationWindow& operator=(const ApplicationWindow&) = delete;

  HWND Handle() const { return window_; }
  void SetMainWindow(HWND window) { main_ = window; }
  // From here on the taskbar shows the button; the activation stays as it is.
  void Show();

 private:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  HWND main_ = nullptr;
};

// An error that escaped an event handler: the message with the closing "."
// rule, the application title as caption, error icon, OK; owned by the
// application's window.
void ShowApplicationError(HWND owner, const std::exception& error);

// Reads the form resource named after `className` into `form`;
// "Resource %s not found" (the class name) when there is none.
void ReadFormResource(platform::Platform& system, const std::string& className, TComponent& form);
// Creates the payload host form from its resource.
std::unique_ptr<TFormExe> CreateFormExe(platform::Platform& system);

// Shows the main window and dispatches messages until the application ends;
// the exit code.
int RunApplication(FormWindow& window);

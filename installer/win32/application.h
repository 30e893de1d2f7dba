// Start-up of the installer: reading the two form resources, the message loop,
// and the boxes that show errors to the user.
#pragma once

#include <exception>
#include <memory>
#include <string>

// Before <windows.h>, whose macros share names with the form constants.
#include "platform/platform.h"
#include "storage/exes.h"
#include "platform/win32/windows_api.h"

class FormWindow;
class TComponent;

// An error that escaped an event handler: the message with the closing "."
// rule, the application title as caption, error icon, OK.
void ShowApplicationError(HWND owner, const std::exception& error);

// A failure before the window is shown: one "Application Error" box with a
// stop icon, task modal. The caller then ends the program with exit code 1.
void ShowStartupFailure(const std::exception& error);

// Reads the form resource named after `className` into `form`;
// "Resource %s not found" (the class name) when there is none.
void ReadFormResource(platform::Platform& system, const std::string& className, TComponent& form);
// Creates the payload host form from its resource.
std::unique_ptr<TFormExe> CreateFormExe(platform::Platform& system);

// Shows the main window and dispatches messages until the application ends;
// the exit code.
int RunApplication(FormWindow& window);

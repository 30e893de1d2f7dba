// Removes the Sistema de Lumentra: what the install sequence put in place
// (product, uninstaller, shortcuts, the Start-menu group and the product and
// organisation folders when empty), never the Oracle client or tnsnames.ora.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"

namespace uninstall {

// Whether this process runs from that file (under whatever name it was started).
using RunningFrom = std::function<bool(const std::string& path)>;

// Exit codes of the uninstaller.
inline constexpr int kUninstalled = 0;
inline constexpr int kDeclined = 1;
inline constexpr int kIncomplete = 2;
// Removed, but the uninstaller's own file (and, when it could not be moved out,
// its folders) goes at the next restart.
inline constexpr int kUninstalledAtRestart = 3;

// Asks the user, removes the product and reports what it did. Uses the
// install's folder look-up and layout, so it finds exactly what an install made.
//
// A running program's file cannot be deleted, so the uninstaller does not
// delete its own: it moves it out of the product folder into the Windows
// Temp folder under a name nobody can guess (then the folders can go at once)
// and asks Windows to delete it there at the next restart. Nothing is copied
// or started: no elevated code runs from a folder that other users can write.
int RunUninstaller(platform::Platform& system, const RunningFrom& runningFrom);

}  // namespace uninstall

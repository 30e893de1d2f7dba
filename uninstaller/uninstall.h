// Removes the Sistema de Lumentra: what the install sequence put in place
// (product, uninstaller, shortcuts, the Start-menu group and the product and
// organisation folders when empty), never the Oracle client or tnsnames.ora.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

class TFormInstalador;

namespace uninstall {

// A running program cannot delete its own file: the uninstaller and the
// folders above it go once it has ended.
struct Remainder {
  std::string uninstaller;
  std::vector<std::string> folders;  // innermost first, each removed only when empty
};

// Hands the remainder to a process that outlives the uninstaller.
class SelfRemoval {
 public:
  virtual ~SelfRemoval() = default;
  // Whether this process runs from that file (under whatever name it was started).
  virtual bool IsRunningFrom(const std::string& path) = 0;
  // False when nothing could be arranged; the remainder then stays.
  virtual bool Schedule(const Remainder& remainder) = 0;
};

// Exit codes of the uninstaller.
inline constexpr int kUninstalled = 0;
inline constexpr int kDeclined = 1;
inline constexpr int kIncomplete = 2;

// Asks the user, removes the product and reports the outcome. Uses the
// installer's folder look-up, so it finds exactly what an install made.
int RunUninstaller(TFormInstalador& form, SelfRemoval& selfRemoval);

// Run by the process that outlives the uninstaller: deletes its file once it
// can (up to `attempts` tries with `pause` between them), then the folders.
// False when the file is still there.
bool FinishRemoval(platform::Platform& system, const Remainder& remainder, int attempts,
                   const std::function<void()>& pause);

}  // namespace uninstall

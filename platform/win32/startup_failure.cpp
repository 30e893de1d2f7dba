// The start-up failure box that both programs show.
#include "platform/win32/startup_failure.h"

#include <new>

#include <windows.h>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/paths.h"
#include "platform/dialog_text.h"

namespace platform {
namespace {

const char* KindOf(const std::exception& error) {
  if (auto* own = dynamic_cast<const Exception*>(&error)) return own->ClassName();
  return "Exception";
}

std::string ModuleBaseName() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return SplitPath(std::string(path, length < sizeof path ? length : 0)).name;
}

}  // namespace

std::string MessageOf(const std::exception& error) {
  if (auto* own = dynamic_cast<const Exception*>(&error)) return own->Message();
  if (dynamic_cast<const std::bad_alloc*>(&error)) return msg::kOutOfMemory;
  return error.what();
}

void ShowStartupFailure(const std::exception& error, const char* caption, const char* firstLine) {
  std::string text = Format(firstLine, KindOf(error), ModuleBaseName().c_str());
  text += '\n';
  text += ApplicationErrorText(MessageOf(error));
  MessageBoxA(nullptr, text.c_str(), caption, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

}  // namespace platform

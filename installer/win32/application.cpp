// Start-up of the installer: form resources, the message loop, error boxes.
#include "installer/win32/application.h"

#include <cctype>

#include "framework/errors.h"
#include "framework/messages.h"
#include "installer/form_instalador.h"
#include "installer/win32/form_window.h"
#include "storage/form_reader.h"

namespace {

constexpr char kStartupFailureCaption[] = "Application Error";

std::string MessageOf(const std::exception& error) {
  if (auto* own = dynamic_cast<const Exception*>(&error)) return own->Message();
  if (dynamic_cast<const std::bad_alloc*>(&error)) return "Out of memory";
  return error.what();
}

const char* KindOf(const std::exception& error) {
  if (auto* own = dynamic_cast<const Exception*>(&error)) return own->ClassName();
  return "Exception";
}

std::string ModuleBaseName() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string full(path, length < sizeof path ? length : 0);
  const size_t slash = full.find_last_of("\\/");
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::string ToUpper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

void ShowApplicationError(HWND owner, const std::exception& error) {
  MessageBoxA(owner, ApplicationErrorText(MessageOf(error)).c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}

void ShowStartupFailure(const std::exception& error) {
  // The first line names the kind of failure and the module, then the message.
  const std::string text = Format("Exception %s in module %s.", KindOf(error), ModuleBaseName().c_str()) + "\n" +
                           ApplicationErrorText(MessageOf(error));
  MessageBoxA(nullptr, text.c_str(), kStartupFailureCaption, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void ReadFormResource(platform::Platform& system, const std::string& className, TComponent& form) {
  // Resources are stored under the class name in upper case.
  const std::optional<platform::ByteRange> bytes = system.FindResource(ToUpper(className));
  if (!bytes) throw EResNotFound(Format(msg::kResNotFound, className.c_str()));
  FormStreamReader(bytes->data, bytes->size).ReadRootComponent(form);
}

std::unique_ptr<TFormExe> CreateFormExe(platform::Platform& system) {
  const std::optional<platform::ByteRange> bytes = system.FindResource("TFORMEXE");
  if (!bytes) throw EResNotFound(Format(msg::kResNotFound, "TFormExe"));
  return ReadPayloadForm(bytes->data, bytes->size);
}

int RunApplication(FormWindow& window) {
  window.Show();
  MSG msg;
  for (;;) {
    const BOOL result = GetMessageA(&msg, nullptr, 0, 0);
    if (result == 0) return static_cast<int>(msg.wParam);
    if (result == -1) return 1;
    if (window.TranslateDialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

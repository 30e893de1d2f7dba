// Start-up of the installer: form resources, the message loop, the error box.
#include "installer/win32/application.h"

#include "framework/errors.h"
#include "framework/messages.h"
#include "installer/form_instalador.h"
#include "installer/texts.h"
#include "installer/win32/form_window.h"
#include "platform/dialog_text.h"
#include "platform/win32/startup_failure.h"
#include "platform/win32/window_procedure.h"
#include "storage/form_reader.h"

namespace {

constexpr char kApplicationClass[] = "InstaladorApplication";
// Posted to the application window when it has been activated.
constexpr UINT kPassActivation = WM_APP + 1;

}  // namespace

ApplicationWindow::ApplicationWindow() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &platform::ForwardingWindowProc<ApplicationWindow, &ApplicationWindow::HandleMessage>;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, "MAINICON");  // the taskbar button's icon
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.lpszClassName = kApplicationClass;
  RegisterClassExA(&windowClass);
  // A pop-up keeps the empty size it is given (an overlapped window with a
  // caption would be grown to the minimum tracking size); the caption and the
  // system menu give the taskbar button its text and menu.
  window_ = CreateWindowExA(0, kApplicationClass, texts::kApplicationTitle,
                            WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, GetSystemMetrics(SM_CXSCREEN) / 2,
                            GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr, instance, this);
  if (!window_) throw Exception(texts::kCannotCreateApplicationWindow);
}

ApplicationWindow::~ApplicationWindow() {
  if (window_) DestroyWindow(window_);
}

void ApplicationWindow::Show() { ShowWindow(window_, SW_SHOWNA); }

LRESULT ApplicationWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      // Known from here on, before CreateWindowExA returns it.
      window_ = window;
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_ACTIVATE:
      // Changing the activation while it is being changed is not allowed:
      // pass it on once this message has returned.
      if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(window_, kPassActivation, 0, 0);
      return 0;
    case kPassActivation: {
      if (GetActiveWindow() != window_) return 0;
      // The box or dialog that is up above the main window, else the main window.
      const HWND candidates[] = {GetLastActivePopup(window_), main_ ? GetLastActivePopup(main_) : nullptr, main_};
      for (HWND target : candidates) {
        if (!target || target == window_ || !IsWindowVisible(target) || !IsWindowEnabled(target)) continue;
        SetActiveWindow(target);
        break;
      }
      return 0;
    }
    case WM_CLOSE:
      // The taskbar button's Close: the same as the main window's close box.
      if (main_) PostMessageA(main_, WM_CLOSE, 0, 0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void ShowApplicationError(HWND owner, const std::exception& error) {
  MessageBoxA(owner, platform::ApplicationErrorText(platform::MessageOf(error)).c_str(), texts::kApplicationTitle,
              MB_OK | MB_ICONERROR);
}

void ReadFormResource(platform::Platform& system, const std::string& className, TComponent& form) {
  // Resources are stored under the class name in upper case.
  const std::optional<ByteRange> bytes = system.FindRcData(AsciiUpper(className));
  if (!bytes) throw EResNotFound(Format(msg::kResNotFound, className.c_str()));
  FormStreamReader(bytes->data, bytes->size).ReadRootComponent(form);
}

std::unique_ptr<TFormExe> CreateFormExe(platform::Platform& system) {
  const std::optional<ByteRange> bytes = system.FindRcData("TFORMEXE");
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

// The stand-ins' shared window: registered once, fixed size, closed by its close box or its button.
#include "standin_window.h"

namespace {

constexpr int kButtonId = 100;
constexpr int kClientWidth = 360;
constexpr int kClientHeight = 150;
constexpr char kClassName[] = "InstaladorStandin";

struct WindowState {
  const StandinWindow* window;
  int exitCode;
};

WindowState* StateOf(HWND hwnd) { return reinterpret_cast<WindowState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

void CreateChildren(HWND hwnd, const StandinWindow& window) {
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
  HWND label = CreateWindowExA(0, "STATIC", window.text, WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 20, kClientWidth - 20,
                               70, hwnd, nullptr, instance, nullptr);
  SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (window.buttonCaption) {
    HWND button = CreateWindowExA(0, "BUTTON", window.buttonCaption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                  (kClientWidth - 120) / 2, 105, 120, 27, hwnd,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), instance, nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetFocus(button);
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_CREATE:
      CreateChildren(hwnd, *StateOf(hwnd)->window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) {
        WindowState* state = StateOf(hwnd);
        // Keep a second click from running the handler again while it works.
        EnableWindow(reinterpret_cast<HWND>(lParam), FALSE);
        state->exitCode = state->window->onButton(hwnd);
        DestroyWindow(hwnd);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(StateOf(hwnd)->exitCode);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int RunStandinWindow(HINSTANCE instance, const StandinWindow& window, int closedExitCode) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExA(&windowClass)) return 1;

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&frame, style, FALSE);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  WindowState state = {&window, closedExitCode};
  HWND hwnd =
      CreateWindowExA(0, kClassName, window.caption, style, x, y, width, height, nullptr, nullptr, instance, &state);
  if (!hwnd) return 1;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);

  MSG message;
  BOOL got;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    if (!IsDialogMessageA(hwnd, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

// The one window procedure of the programs' windows: the object given at
// creation is handed every message of its window, from the first on.
#include "platform/win32/window_procedure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct Recorder {
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    messages.push_back(message);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  std::vector<UINT> messages;
};

TEST(ForwardingWindowProc, HandsTheWindowsMessagesToItsObject) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &platform::ForwardingWindowProc<Recorder, &Recorder::Handle>;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ForwardingWindowProcTest";
  ASSERT_NE(RegisterClassExA(&windowClass), 0);
  // Two windows, so that each object gets its own window's messages only.
  Recorder recorders[2];
  HWND windows[2] = {};
  for (int i = 0; i < 2; ++i) {
    windows[i] = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, &recorders[i]);
    ASSERT_NE(windows[i], nullptr);
    ASSERT_FALSE(recorders[i].messages.empty());
    EXPECT_EQ(recorders[i].messages.front(), UINT{WM_NCCREATE});
  }
  SendMessageA(windows[1], WM_USER, 0, 0);
  EXPECT_EQ(recorders[1].messages.back(), UINT{WM_USER});
  EXPECT_EQ(std::count(recorders[0].messages.begin(), recorders[0].messages.end(), UINT{WM_USER}), 0);
  for (HWND window : windows) DestroyWindow(window);
  EXPECT_EQ(std::count(recorders[0].messages.begin(), recorders[0].messages.end(), UINT{WM_DESTROY}), 1);
  UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance);
}

}  // namespace

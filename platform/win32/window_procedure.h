// One window procedure for every window and dialog whose messages an object
// of ours handles: the object comes with the creation, is kept in the window,
// and is handed each message from then on.
#pragma once

#include <functional>

#include <windows.h>

namespace platform {

// For a window created by CreateWindowExA with `owner` as its last argument.
// The object arrives with WM_NCCREATE; the few messages before it (such as
// WM_GETMINMAXINFO) get the default answer. At WM_NCDESTROY, the last message,
// the object is forgotten: it may be gone by the time the window is.
// `Handle` is called as Handle(owner, window, message, wParam, lParam): a
// member function of `Owner` or a function taking `Owner&` first.
template <typename Owner, auto Handle>
LRESULT CALLBACK ForwardingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!owner || message == WM_NCDESTROY) {
    if (owner) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return std::invoke(Handle, *owner, window, message, wParam, lParam);
}

// The same for a dialog started by DialogBoxIndirectParamA with `owner` as its
// parameter: the object arrives with WM_INITDIALOG, before which every message
// is left to the dialog manager (FALSE).
template <typename Owner, auto Handle>
INT_PTR CALLBACK ForwardingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!owner) return FALSE;
  return std::invoke(Handle, *owner, dialog, message, wParam, lParam);
}

}  // namespace platform

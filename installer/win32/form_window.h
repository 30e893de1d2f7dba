// The installer window on screen: native window and controls built from the
// component tree read from the window's form stream.
#pragma once

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>

// The model first: <windows.h> defines macros named like its constants.
#include <windows.h>
#include "installer/form_instalador.h"
#include "installer/win32/banner.h"
#include "platform/win32/handles.h"

class ApplicationWindow;
class TBitBtn;
class TWinControl;

class FormWindow : public InstallerView {
 public:
  // `onTerminate` runs when the window is asked to close: the platform stops
  // showing dialogs from then on.
  FormWindow(TFormInstalador& form, std::function<void()> onTerminate);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // Creates the application's window and, owned by it, the native window and
  // its controls, all hidden.
  void Create();
  HWND Handle() const { return window_; }
  // Runs the form's OnShow, then shows the application's window (the taskbar
  // button) and this one, centred on the screen with the focus on the first
  // control in tab order.
  void Show();
  // Keyboard navigation of the window: Tab and Shift+Tab move the focus,
  // Enter clicks the focused button, Escape does nothing. True when handled.
  bool TranslateDialogKey(const MSG& msg);

  // InstallerView
  void SetCaption(const std::string& caption) override;
  void SetInstallEnabled(bool enabled) override;
  void Close() override;

 private:
  LRESULT HandleFormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateChildren(TComponent* parent, HWND parentWindow);
  HWND CreateControl(TWinControl& control, HWND parentWindow);
  RECT ScaledBounds(int left, int top, int width, int height) const;
  int Scale(int value) const;
  void ClickButton(HWND button);
  // The application's error box; this window takes no input while it is up.
  void ShowError(const std::exception& error);
  void Paint();
  // Where the focus was, kept while the window is inactive or disabled.
  void RememberFocus();
  void RestoreFocus();

  TFormInstalador& form_;
  std::function<void()> onTerminate_;
  std::unique_ptr<ApplicationWindow> application_;  // outlives window_, which it owns
  HWND window_ = nullptr;
  platform::UniqueGdiObject<HFONT> font_;  // outlives window_, whose controls use it
  int screenDpi_ = 96;
  bool closing_ = false;
  HWND lastFocus_ = nullptr;
  std::map<HWND, TBitBtn*> buttons_;
  Banner banner_;
};

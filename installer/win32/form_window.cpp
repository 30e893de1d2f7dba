// The installer window on screen: a fixed dialog frame holding the banner and
// a panel with the two buttons, laid out from the component tree.
#include "installer/win32/form_window.h"

#include <algorithm>
#include <vector>

#include "framework/errors.h"
#include "installer/controls.h"
#include "installer/texts.h"
#include "installer/win32/application.h"
#include "platform/win32/window_procedure.h"

namespace {

constexpr char kFormClass[] = "InstaladorForm";
constexpr char kPanelClass[] = "InstaladorPanel";

// A TColor as a brush: system colours come from the system and are not freed.
class ColorBrush {
 public:
  explicit ColorBrush(TColor color) {
    if (color & kSystemColorFlag) {
      brush_ = GetSysColorBrush(color & 0xFF);
    } else {
      owned_.reset(CreateSolidBrush(static_cast<COLORREF>(color & 0xFFFFFF)));
      brush_ = owned_.get();
    }
  }
  HBRUSH Get() const { return brush_; }

 private:
  platform::UniqueGdiObject<HBRUSH> owned_;
  HBRUSH brush_ = nullptr;
};

void FillBackground(HWND window, HDC dc, TColor color) {
  RECT client;
  GetClientRect(window, &client);
  ColorBrush brush(color);
  FillRect(dc, &client, brush.Get());
}

// A panel's messages: its background and bevel; the clicks of the buttons on
// it go to the form.
LRESULT PanelMessage(const TPanel& panel, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Buttons report to their parent; the form handles every click.
      return SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
    case WM_ERASEBKGND:
      FillBackground(window, reinterpret_cast<HDC>(wParam), panel.Color);
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      if (panel.BevelOuter == TBevelCut::bvRaised) DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
      if (panel.BevelOuter == TBevelCut::bvLowered) DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT);
      EndPaint(window, &paint);
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void RegisterClasses(HINSTANCE instance, WNDPROC formProc) {
  WNDCLASSEXA formClass{};
  formClass.cbSize = sizeof formClass;
  formClass.lpfnWndProc = formProc;
  formClass.hInstance = instance;
  formClass.hIcon = LoadIconA(instance, "MAINICON");
  formClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  formClass.lpszClassName = kFormClass;
  RegisterClassExA(&formClass);

  WNDCLASSEXA panelClass{};
  panelClass.cbSize = sizeof panelClass;
  panelClass.lpfnWndProc = &platform::ForwardingWindowProc<const TPanel, &PanelMessage>;
  panelClass.hInstance = instance;
  panelClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  panelClass.lpszClassName = kPanelClass;
  RegisterClassExA(&panelClass);
}

}  // namespace

FormWindow::FormWindow(TFormInstalador& form, std::function<void()> onTerminate)
    : form_(form), onTerminate_(std::move(onTerminate)) {}

FormWindow::~FormWindow() {
  form_.SetView(nullptr);
  if (window_) DestroyWindow(window_);
}

int FormWindow::Scale(int value) const {
  const int designed = form_.PixelsPerInch() > 0 ? form_.PixelsPerInch() : 96;
  return MulDiv(value, screenDpi_, designed);
}

RECT FormWindow::ScaledBounds(int left, int top, int width, int height) const {
  RECT rect;
  rect.left = Scale(left);
  rect.top = Scale(top);
  rect.right = Scale(left + width);
  rect.bottom = Scale(top + height);
  return rect;
}

void FormWindow::Create() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterClasses(instance, &platform::ForwardingWindowProc<FormWindow, &FormWindow::HandleFormMessage>);
  application_ = std::make_unique<ApplicationWindow>();

  screenDpi_ = GetDeviceCaps(platform::WindowDC(nullptr).get(), LOGPIXELSY);

  const TFont& font = form_.Font();
  font_.reset(CreateFontA(Scale(font.Height), 0, 0, 0, (font.Style & fsBold) ? FW_BOLD : FW_NORMAL,
                          (font.Style & fsItalic) ? TRUE : FALSE, (font.Style & fsUnderline) ? TRUE : FALSE,
                          (font.Style & fsStrikeOut) ? TRUE : FALSE, static_cast<BYTE>(font.Charset),
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, font.Name.c_str()));

  // The form is laid out once and never changes shape: a sizing form would
  // also need its controls re-aligned, which this window never does.
  int clientWidth = form_.ClientWidth();
  int clientHeight = form_.ClientHeight();
  if (form_.AutoSize() || clientWidth <= 0 || clientHeight <= 0) {
    for (size_t i = 0; i < form_.ComponentCount(); ++i) {
      auto* control = dynamic_cast<TControl*>(form_.Component(i));
      if (!control || control->Parent() != &form_ || !control->Visible) continue;
      clientWidth = std::max(clientWidth, control->Left + control->Width);
      clientHeight = std::max(clientHeight, control->Top + control->Height);
    }
  }

  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  // No taskbar button of its own: the application's window owns this one
  // and carries the button.
  DWORD exStyle = WS_EX_CONTROLPARENT;
  switch (form_.BorderStyle()) {
    case TFormBorderStyle::bsDialog:
      exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case TFormBorderStyle::bsSizeable:
      style |= WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
      break;
    case TFormBorderStyle::bsNone:
      style = WS_POPUP | WS_CLIPCHILDREN;
      break;
    default:
      style |= WS_MINIMIZEBOX;
      break;
  }
  RECT frame{0, 0, Scale(clientWidth), Scale(clientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  int left = Scale(form_.Left());
  int top = Scale(form_.Top());
  if (form_.Position() == TPosition::poScreenCenter || form_.Position() == TPosition::poDesktopCenter ||
      form_.Position() == TPosition::poMainFormCenter || form_.Position() == TPosition::poOwnerFormCenter) {
    left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  }

  window_ = CreateWindowExA(exStyle, kFormClass, form_.Caption().c_str(), style, left, top, width, height,
                            application_->Handle(), nullptr, instance, this);
  if (!window_) throw Exception(texts::kCannotCreateInstallerWindow);
  application_->SetMainWindow(window_);

  if (form_.Image1 && !form_.Image1->Picture().Empty()) banner_.Load(form_.Image1->Picture().Data());
  CreateChildren(&form_, window_);
  form_.SetView(this);
}

void FormWindow::CreateChildren(TComponent* parent, HWND parentWindow) {
  std::vector<TWinControl*> controls;
  for (size_t i = 0; i < form_.ComponentCount(); ++i) {
    auto* control = dynamic_cast<TWinControl*>(form_.Component(i));
    if (control && control->Parent() == parent) controls.push_back(control);
  }
  // Windows tabs through siblings in creation order.
  std::stable_sort(controls.begin(), controls.end(),
                   [](const TWinControl* a, const TWinControl* b) { return a->TabOrder < b->TabOrder; });
  for (TWinControl* control : controls) {
    HWND window = CreateControl(*control, parentWindow);
    if (dynamic_cast<TPanel*>(control)) CreateChildren(control, window);
  }
}

HWND FormWindow::CreateControl(TWinControl& control, HWND parentWindow) {
  const RECT bounds = ScaledBounds(control.Left, control.Top, control.Width, control.Height);
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  if (control.Visible) style |= WS_VISIBLE;
  if (!control.Enabled) style |= WS_DISABLED;
  if (control.TabStop) style |= WS_TABSTOP;

  HWND window = nullptr;
  if (auto* button = dynamic_cast<TBitBtn*>(&control)) {
    style |= button->Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    window = CreateWindowExA(0, "BUTTON", button->Caption.c_str(), style, bounds.left, bounds.top,
                             bounds.right - bounds.left, bounds.bottom - bounds.top, parentWindow, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (window) buttons_[window] = button;
  } else if (auto* panel = dynamic_cast<TPanel*>(&control)) {
    window = CreateWindowExA(WS_EX_CONTROLPARENT, kPanelClass, panel->Caption.c_str(), style | WS_CLIPCHILDREN,
                             bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                             parentWindow, nullptr, GetModuleHandleA(nullptr), panel);
  }
  if (!window) throw Exception(Format(texts::kCannotCreateControl, control.Name().c_str()));
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return window;
}

void FormWindow::Show() {
  if (form_.OnShow) {
    try {
      form_.OnShow(&form_);
    } catch (const std::exception& error) {
      ShowError(error);
    }
  }
  application_->Show();
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
  RestoreFocus();
}

void FormWindow::RememberFocus() {
  HWND focus = GetFocus();
  if (focus && IsChild(window_, focus)) lastFocus_ = focus;
}

void FormWindow::RestoreFocus() {
  HWND target = lastFocus_;
  if (!target || !IsWindow(target) || !IsChild(window_, target) || !IsWindowEnabled(target))
    target = GetNextDlgTabItem(window_, nullptr, FALSE);
  if (target) SetFocus(target);
}

bool FormWindow::TranslateDialogKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || !window_) return false;
  if (msg.hwnd != window_ && !IsChild(window_, msg.hwnd)) return false;
  HWND focus = GetFocus();
  switch (msg.wParam) {
    case VK_TAB: {
      const bool backwards = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
      if (HWND next = GetNextDlgTabItem(window_, focus, backwards ? TRUE : FALSE)) SetFocus(next);
      return true;
    }
    case VK_RETURN:
    case VK_ESCAPE: {
      // Enter acts on the focused button; a Default (Enter) or Cancel (Escape)
      // button answers otherwise. The installer's buttons are neither.
      const bool enter = msg.wParam == VK_RETURN;
      if (enter && buttons_.count(focus)) {
        ClickButton(focus);
        return true;
      }
      for (const auto& entry : buttons_) {
        if ((enter ? entry.second->Default : entry.second->Cancel) && IsWindowEnabled(entry.first)) {
          ClickButton(entry.first);
          break;
        }
      }
      return true;
    }
    default:
      return false;
  }
}

void FormWindow::ClickButton(HWND button) {
  auto found = buttons_.find(button);
  if (found == buttons_.end() || closing_) return;
  try {
    found->second->Click();
  } catch (const std::exception& error) {
    // The error ends the handler; the window goes on as before.
    ShowError(error);
  }
}

void FormWindow::ShowError(const std::exception& error) {
  // A box owned by another window leaves this one enabled: disable it for the
  // box's time, as a modal box owned by it would, and keep where the focus was.
  const bool enabled = IsWindowEnabled(window_) != FALSE;
  RememberFocus();
  if (enabled) EnableWindow(window_, FALSE);
  ShowApplicationError(application_ ? application_->Handle() : nullptr, error);
  if (enabled) EnableWindow(window_, TRUE);
  if (IsWindowVisible(window_)) SetActiveWindow(window_);
}

void FormWindow::SetCaption(const std::string& caption) {
  if (window_) SetWindowTextA(window_, caption.c_str());
}

void FormWindow::SetInstallEnabled(bool enabled) {
  if (!form_.BitBtninstal) return;
  form_.BitBtninstal->Enabled = enabled;
  for (const auto& entry : buttons_) {
    if (entry.second != form_.BitBtninstal) continue;
    // Keyboard input would go nowhere if the focus stayed on a disabled button.
    if (!enabled && GetFocus() == entry.first) {
      HWND next = GetNextDlgTabItem(window_, entry.first, FALSE);
      if (next && next != entry.first) SetFocus(next);
    }
    EnableWindow(entry.first, enabled ? TRUE : FALSE);
  }
}

void FormWindow::Close() {
  if (closing_) return;
  closing_ = true;
  // From here on dialogs answer at once; the loop ends when the running
  // handler returns to it.
  if (onTerminate_) onTerminate_();
  if (window_) ShowWindow(window_, SW_HIDE);
  if (application_) ShowWindow(application_->Handle(), SW_HIDE);
  PostQuitMessage(0);
}

void FormWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  for (size_t i = 0; i < form_.ComponentCount(); ++i) {
    auto* image = dynamic_cast<TImage*>(form_.Component(i));
    if (!image || image->Parent() != &form_ || !image->Visible || image != form_.Image1) continue;
    RECT area = ScaledBounds(image->Left, image->Top, image->Width, image->Height);
    if (!image->Center) {
      const SIZE size = banner_.PixelSize(dc);
      area.right = std::min<LONG>(area.right, area.left + size.cx);
      area.bottom = std::min<LONG>(area.bottom, area.top + size.cy);
    }
    banner_.Draw(dc, area);
  }
  EndPaint(window_, &paint);
}

LRESULT FormWindow::HandleFormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      // Known from here on, before CreateWindowExA returns it.
      window_ = window;
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam) ClickButton(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_CLOSE:
      // The close box is input too: ignored while the install runs, which
      // closes the window itself when it must.
      if (!form_.Installing()) Close();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        RememberFocus();
      } else {
        RestoreFocus();
      }
      return 0;
    case WM_ERASEBKGND:
      FillBackground(window_, reinterpret_cast<HDC>(wParam), form_.Color());
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// A dialog template in memory without controls; the icon, the text and the
// buttons are created and laid out when the dialog starts, from the text's size.
#include "platform/win32/message_dialog.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/dialog_text.h"
#include "platform/win32/handles.h"
#include "platform/win32/window_procedure.h"

namespace platform {
namespace {

constexpr int kTextId = 100;

struct DialogSetup {
  std::string text;
  DialogType type;
  DialogButtons buttons;
};

const char* IconOf(DialogType type) {
  switch (type) {
    case DialogType::Error:
      return IDI_HAND;
    case DialogType::Information:
      return IDI_ASTERISK;
    case DialogType::Confirmation:
      return IDI_QUESTION;
  }
  return IDI_ASTERISK;
}

UINT SoundOf(DialogType type) {
  switch (type) {
    case DialogType::Error:
      return MB_ICONHAND;
    case DialogType::Information:
      return MB_ICONASTERISK;
    case DialogType::Confirmation:
      return MB_ICONQUESTION;
  }
  return MB_OK;
}

HWND AddControl(HWND dialog, const char* className, const char* text, DWORD style, int id, HFONT font) {
  HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// Dialog units to pixels, for this dialog's font.
int Horizontal(HWND dialog, int units) {
  RECT r = {0, 0, units, 0};
  MapDialogRect(dialog, &r);
  return r.right;
}
int Vertical(HWND dialog, int units) {
  RECT r = {0, 0, 0, units};
  MapDialogRect(dialog, &r);
  return r.bottom;
}

// The text's size in the dialog's font, wrapped at two thirds of the screen's width.
RECT MeasureText(HWND dialog, HFONT font, const std::string& text) {
  RECT textRect = {0, 0, GetSystemMetrics(SM_CXSCREEN) * 2 / 3, 0};
  const WindowDC dc(dialog);
  const HGDIOBJ old = SelectObject(dc.get(), font);
  DrawTextA(dc.get(), text.c_str(), -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc.get(), old);
  return textRect;
}

void Layout(HWND dialog, const DialogSetup& setup) {
  const HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  SetWindowTextA(dialog, DialogCaption(setup.type));

  HWND icon = AddControl(dialog, "STATIC", nullptr, SS_ICON, -1, font);
  SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, IconOf(setup.type))), 0);
  const std::string text = NormalizeLineBreaks(setup.text);
  HWND label = AddControl(dialog, "STATIC", text.c_str(), SS_LEFT | SS_NOPREFIX, kTextId, font);

  std::vector<HWND> buttons;
  if (setup.buttons == DialogButtons::Ok) {
    buttons.push_back(AddControl(dialog, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, font));
  } else {
    buttons.push_back(AddControl(dialog, "BUTTON", "&Yes", BS_DEFPUSHBUTTON | WS_TABSTOP, IDYES, font));
    buttons.push_back(AddControl(dialog, "BUTTON", "&No", BS_PUSHBUTTON | WS_TABSTOP, IDNO, font));
  }

  const RECT textRect = MeasureText(dialog, font, text);

  const int margin = Horizontal(dialog, 8);
  const int iconSize = GetSystemMetrics(SM_CXICON);
  const int buttonWidth = Horizontal(dialog, 50), buttonHeight = Vertical(dialog, 14);
  const int buttonGap = Horizontal(dialog, 4);
  const int textLeft = margin + iconSize + margin;
  const int textWidth = textRect.right - textRect.left, textHeight = textRect.bottom - textRect.top;
  const int top = margin + (textHeight < iconSize ? (iconSize - textHeight) / 2 : 0);
  const int buttonsWidth =
      static_cast<int>(buttons.size()) * buttonWidth + static_cast<int>(buttons.size() - 1) * buttonGap;
  const int clientWidth = std::max(textLeft + textWidth + margin, buttonsWidth + 2 * margin);
  const int bodyHeight = std::max(iconSize, top - margin + textHeight);
  const int buttonTop = margin + bodyHeight + Vertical(dialog, 8);
  const int clientHeight = buttonTop + buttonHeight + margin;

  MoveWindow(icon, margin, margin, iconSize, iconSize, FALSE);
  MoveWindow(label, textLeft, top, textWidth, textHeight, FALSE);
  int left = (clientWidth - buttonsWidth) / 2;
  for (HWND button : buttons) {
    MoveWindow(button, left, buttonTop, buttonWidth, buttonHeight, FALSE);
    left += buttonWidth + buttonGap;
  }

  // Centred on the screen, whatever the owner.
  RECT frame = {0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER);

  SendMessageA(dialog, DM_SETDEFID, setup.buttons == DialogButtons::Ok ? IDOK : IDYES, 0);
  SetFocus(buttons.front());
}

INT_PTR DialogMessage(const DialogSetup& setup, HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Layout(dialog, setup);
      MessageBeep(SoundOf(setup.type));
      return FALSE;  // the focus is set
    case WM_SYSCOMMAND:
      // The close box (and Alt+F4) answer neither OK nor No.
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        EndDialog(dialog, kIdCancel);
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND: {
      const bool okOnly = setup.buttons == DialogButtons::Ok;
      switch (LOWORD(wParam)) {
        case IDOK:
          if (okOnly) EndDialog(dialog, kIdOk);
          return TRUE;
        case IDCANCEL:  // Escape
          EndDialog(dialog, okOnly ? kIdOk : kIdNo);
          return TRUE;
        case IDYES:
          if (!okOnly) EndDialog(dialog, kIdYes);
          return TRUE;
        case IDNO:
          if (!okOnly) EndDialog(dialog, kIdNo);
          return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}

void PutWord(std::vector<WORD>& out, WORD value) { out.push_back(value); }

void PutText(std::vector<WORD>& out, const wchar_t* text) {
  for (; *text; ++text) out.push_back(static_cast<WORD>(*text));
  out.push_back(0);
}

// DLGTEMPLATE, no menu, the standard class, an empty title (set later), the
// shell font, and no controls.
std::vector<WORD> Template() {
  std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  DLGTEMPLATE header = {};
  header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_SHELLFONT;
  header.cdit = 0;
  std::memcpy(words.data(), &header, sizeof header);
  PutWord(words, 0);  // menu
  PutWord(words, 0);  // class
  PutWord(words, 0);  // title
  PutWord(words, 8);  // point size
  PutText(words, L"MS Shell Dlg");
  return words;
}

}  // namespace

const char* DialogCaption(DialogType type) {
  switch (type) {
    case DialogType::Error:
      return "Error";
    case DialogType::Information:
      return "Information";
    case DialogType::Confirmation:
      return "Confirm";
  }
  return "Information";
}

int ShowMessageDialog(HWND owner, const std::string& text, DialogType type, DialogButtons buttons) {
  const DialogSetup setup{text, type, buttons};
  const std::vector<WORD> dialogTemplate = Template();
  const INT_PTR result = DialogBoxIndirectParamA(
      GetModuleHandleA(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()), owner,
      &ForwardingDialogProc<const DialogSetup, &DialogMessage>, reinterpret_cast<LPARAM>(&setup));
  if (result == kIdOk || result == kIdYes || result == kIdNo) return static_cast<int>(result);
  return kIdCancel;
}

}  // namespace platform

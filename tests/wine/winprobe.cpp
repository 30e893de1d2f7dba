// Inspects and drives other programs' windows from inside a Wine prefix: lists top-level windows and
// their children, waits for a caption, tells which window carries a program's taskbar button, clicks
// a button, sends a key, reads a file's version resource.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/wine/text_escape.h"

namespace {

constexpr int kOk = 0;
constexpr int kNotFound = 1;  // also: timed out, disabled button, no version resource
constexpr int kUsage = 2;

void Usage() {
  std::fputs(
      "usage: winprobe list [--all]                        (windows on screen; --all: hidden ones too)\n"
      "       winprobe wait CAPTION [--timeout SECONDS]      (a visible window with that caption)\n"
      "       winprobe taskbar CAPTION                       (the windows with a taskbar button in the\n"
      "                                                          process of the window CAPTION)\n"
      "       winprobe gone CAPTION [--timeout SECONDS]      (no visible window with that caption)\n"
      "       winprobe click CAPTION BUTTON [--timeout SECONDS]\n"
      "       winprobe key CAPTION KEY                        (Return, Escape, Tab, Space, Left, Right,\n"
      "                                                          Up, Down, one character, or a VK number)\n"
      "       winprobe close CAPTION                         (its close box, or its taskbar button's Close)\n"
      "       winprobe version FILE\n"
      "Visible means on screen: shown and with a size (a program's zero-size application\n"
      "window shows only as its taskbar button). CAPTION and BUTTON match exactly, or as a\n"
      "prefix when they end in '*'; they take the escapes the output uses (\\xF3 for a\n"
      "byte). BUTTON also matches with its '&' removed.\n",
      stderr);
}

std::string WindowText(HWND hwnd) {
  // GetWindowTextA reads another process's text without sending it a message, so a busy
  // program cannot hang the inspector.
  char text[1024] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[256] = "";
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

bool Matches(const std::string& text, const std::string& pattern) {
  if (!pattern.empty() && pattern.back() == '*')
    return text.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  return text == pattern;
}

std::string WithoutAmpersands(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '&') out += c;
  return out;
}

struct TopLevelSearch {
  bool includeHidden;
  std::vector<HWND> windows;
};

// Shown and with an area: what a person can see of it.
bool OnScreen(HWND hwnd) {
  RECT rect = {};
  return IsWindowVisible(hwnd) && GetWindowRect(hwnd, &rect) && rect.right > rect.left && rect.bottom > rect.top;
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TopLevelSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == GetCurrentProcessId()) return TRUE;
  if (!search->includeHidden && !OnScreen(hwnd)) return TRUE;
  search->windows.push_back(hwnd);
  return TRUE;
}

// Top-level windows of other processes on screen (or all of them), topmost first.
std::vector<HWND> TopLevelWindows(bool includeHidden) {
  TopLevelSearch search = {includeHidden, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.windows;
}

HWND FindTopLevel(const std::string& pattern) {
  for (HWND hwnd : TopLevelWindows(false))
    if (Matches(WindowText(hwnd), pattern)) return hwnd;
  return nullptr;
}

HWND FindChild(HWND parent, const std::string& pattern) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::string text = WindowText(child);
    if (Matches(text, pattern) || Matches(WithoutAmpersands(text), pattern)) return child;
    if (HWND inner = FindChild(child, pattern)) return inner;
  }
  return nullptr;
}

std::string Hex(uintptr_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

std::string HandleText(HWND hwnd) { return Hex(reinterpret_cast<uintptr_t>(hwnd)); }

GUITHREADINFO ThreadInfo(HWND hwnd) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info)) info = GUITHREADINFO{};
  return info;
}

// One line per window: handle, class, text, geometry, style, state. Children are indented by depth.
void PrintWindow(HWND hwnd, int depth, const GUITHREADINFO& thread) {
  RECT screen = {}, client = {};
  GetWindowRect(hwnd, &screen);
  GetClientRect(hwnd, &client);
  std::string line(static_cast<size_t>(depth) * 2, ' ');
  line += depth == 0 ? "window" : "child";
  line += " hwnd=" + HandleText(hwnd);
  if (depth == 0) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    line += " pid=" + std::to_string(pid);
    line += " owner=" + HandleText(GetWindow(hwnd, GW_OWNER));
  } else {
    HWND parent = GetParent(hwnd);
    POINT origin = {screen.left, screen.top};
    ScreenToClient(parent, &origin);
    line += " parent=" + HandleText(parent);
    line += " id=" + std::to_string(GetDlgCtrlID(hwnd));
    line += " pos=" + std::to_string(origin.x) + "," + std::to_string(origin.y);
  }
  line += " class=\"" + EscapeText(ClassOf(hwnd)) + "\"";
  line += " text=\"" + EscapeText(WindowText(hwnd)) + "\"";
  line += " size=" + std::to_string(screen.right - screen.left) + "x" + std::to_string(screen.bottom - screen.top);
  line += " screen=" + std::to_string(screen.left) + "," + std::to_string(screen.top) + "," +
          std::to_string(screen.right) + "," + std::to_string(screen.bottom);
  line += " client=" + std::to_string(client.right) + "x" + std::to_string(client.bottom);
  line += " style=" + Hex(static_cast<uint32_t>(GetWindowLongA(hwnd, GWL_STYLE)));
  line += " exstyle=" + Hex(static_cast<uint32_t>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
  line += std::string(" enabled=") + (IsWindowEnabled(hwnd) ? "1" : "0");
  line += std::string(" visible=") + (IsWindowVisible(hwnd) ? "1" : "0");
  line += std::string(" focus=") + (thread.hwndFocus == hwnd ? "1" : "0");
  if (depth == 0) line += std::string(" active=") + (thread.hwndActive == hwnd ? "1" : "0");
  std::printf("%s\n", line.c_str());
  for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    PrintWindow(child, depth + 1, thread);
}

int List(bool includeHidden) {
  for (HWND hwnd : TopLevelWindows(includeHidden)) PrintWindow(hwnd, 0, ThreadInfo(hwnd));
  return kOk;
}

// Polls until found() is true or the timeout passes; returns whether it became true.
template <typename Predicate>
bool WaitFor(double timeoutSeconds, Predicate found) {
  const DWORD start = GetTickCount();
  const DWORD limit = static_cast<DWORD>(timeoutSeconds * 1000);
  for (;;) {
    if (found()) return true;
    if (GetTickCount() - start >= limit) return false;
    Sleep(100);
  }
}

int Wait(const std::string& caption, double timeout) {
  HWND hwnd = nullptr;
  if (!WaitFor(timeout, [&] { return (hwnd = FindTopLevel(caption)) != nullptr; })) {
    std::fprintf(stderr, "winprobe: no window \"%s\" after %g s\n", EscapeText(caption).c_str(), timeout);
    return kNotFound;
  }
  PrintWindow(hwnd, 0, ThreadInfo(hwnd));
  return kOk;
}

// Windows' rule for a taskbar button: a shown top-level window that is not a tool window and
// either has no owner or asks for a button (WS_EX_APPWINDOW); its size does not matter.
bool HasTaskbarButton(HWND hwnd) {
  const LONG exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
  if (!IsWindowVisible(hwnd) || (exStyle & WS_EX_TOOLWINDOW)) return false;
  return (exStyle & WS_EX_APPWINDOW) || !GetWindow(hwnd, GW_OWNER);
}

int Taskbar(const std::string& caption) {
  HWND window = FindTopLevel(caption);
  if (!window) {
    std::fprintf(stderr, "winprobe: no window \"%s\"\n", EscapeText(caption).c_str());
    return kNotFound;
  }
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  int buttons = 0;
  for (HWND hwnd : TopLevelWindows(true)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != process || !HasTaskbarButton(hwnd)) continue;
    PrintWindow(hwnd, 0, ThreadInfo(hwnd));
    ++buttons;
  }
  return buttons ? kOk : kNotFound;
}

int Gone(const std::string& caption, double timeout) {
  if (!WaitFor(timeout, [&] { return FindTopLevel(caption) == nullptr; })) {
    std::fprintf(stderr, "winprobe: window \"%s\" still there after %g s\n", EscapeText(caption).c_str(), timeout);
    return kNotFound;
  }
  return kOk;
}

int Click(const std::string& caption, const std::string& buttonText, double timeout) {
  HWND button = nullptr;
  WaitFor(timeout, [&] {
    HWND window = FindTopLevel(caption);
    button = window ? FindChild(window, buttonText) : nullptr;
    return button && IsWindowEnabled(button);
  });
  if (!button) {
    std::fprintf(stderr, "winprobe: no button \"%s\" in a window \"%s\"\n", EscapeText(buttonText).c_str(),
                 EscapeText(caption).c_str());
    return kNotFound;
  }
  if (!IsWindowEnabled(button)) {
    std::fprintf(stderr, "winprobe: button \"%s\" is disabled\n", EscapeText(buttonText).c_str());
    return kNotFound;
  }
  // Posted, not sent: the click may open modal dialogs, and a sent message would block
  // the inspector until the whole handler returns.
  PostMessageA(button, BM_CLICK, 0, 0);
  std::printf("clicked hwnd=%s text=\"%s\"\n", HandleText(button).c_str(), EscapeText(WindowText(button)).c_str());
  return kOk;
}

UINT VirtualKey(const std::string& name, char* character) {
  *character = 0;
  struct Named {
    const char* name;
    UINT key;
    char character;
  };
  static const Named kNames[] = {{"Return", VK_RETURN, '\r'}, {"Enter", VK_RETURN, '\r'}, {"Escape", VK_ESCAPE, 27},
                                 {"Esc", VK_ESCAPE, 27},      {"Tab", VK_TAB, '\t'},      {"Space", VK_SPACE, ' '},
                                 {"Left", VK_LEFT, 0},        {"Right", VK_RIGHT, 0},     {"Up", VK_UP, 0},
                                 {"Down", VK_DOWN, 0}};
  for (const Named& named : kNames)
    if (lstrcmpiA(name.c_str(), named.name) == 0) {
      *character = named.character;
      return named.key;
    }
  if (name.size() == 1) {
    *character = name[0];
    SHORT scan = VkKeyScanA(name[0]);
    return scan == -1 ? 0 : static_cast<UINT>(scan & 0xFF);
  }
  char* end = nullptr;
  unsigned long number = std::strtoul(name.c_str(), &end, 0);
  return (end && *end == 0 && number > 0 && number < 256) ? static_cast<UINT>(number) : 0;
}

int Key(const std::string& caption, const std::string& keyName) {
  char character = 0;
  const UINT key = VirtualKey(keyName, &character);
  if (!key) {
    std::fprintf(stderr, "winprobe: unknown key \"%s\"\n", keyName.c_str());
    return kUsage;
  }
  HWND window = FindTopLevel(caption);
  if (!window) {
    std::fprintf(stderr, "winprobe: no window \"%s\"\n", EscapeText(caption).c_str());
    return kNotFound;
  }
  // Keys go where the keyboard would deliver them: the focused control of that window.
  HWND target = ThreadInfo(window).hwndFocus;
  if (!target || (target != window && !IsChild(window, target))) target = window;
  const UINT scan = MapVirtualKeyA(key, 0);
  const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  const LPARAM up = down | (static_cast<LPARAM>(3) << 30);
  PostMessageA(target, WM_KEYDOWN, key, down);
  if (character) PostMessageA(target, WM_CHAR, static_cast<unsigned char>(character), down);
  PostMessageA(target, WM_KEYUP, key, up);
  std::printf("key %s to hwnd=%s\n", keyName.c_str(), HandleText(target).c_str());
  return kOk;
}

// A window on screen gets WM_CLOSE, as from its close box; a window seen only as a taskbar button
// gets the Close of the button's menu.
int Close(const std::string& caption) {
  if (HWND window = FindTopLevel(caption)) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return kOk;
  }
  for (HWND hwnd : TopLevelWindows(true))
    if (HasTaskbarButton(hwnd) && Matches(WindowText(hwnd), caption)) {
      PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return kOk;
    }
  std::fprintf(stderr, "winprobe: no window \"%s\"\n", EscapeText(caption).c_str());
  return kNotFound;
}

std::string VersionText(DWORD high, DWORD low) {
  return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
         std::to_string(LOWORD(low));
}

int Version(const std::string& file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) {
    std::fprintf(stderr, "winprobe: no version resource in %s\n", file.c_str());
    return kNotFound;
  }
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return kNotFound;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && length >= sizeof *fixed) {
    std::printf("file_version=%s\n", VersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str());
    std::printf("product_version=%s\n", VersionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());
    std::printf("file_os=%s file_type=%s\n", Hex(fixed->dwFileOS).c_str(), Hex(fixed->dwFileType).c_str());
  }
  struct Translation {
    WORD language, codePage;
  };
  Translation* translations = nullptr;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length))
    length = 0;
  static const char* const kKeys[] = {"Comments",     "CompanyName",    "FileDescription", "FileVersion",
                                      "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
                                      "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild"};
  for (UINT i = 0; i < length / sizeof(Translation); ++i) {
    char block[16];
    std::snprintf(block, sizeof block, "%04X%04X", translations[i].language, translations[i].codePage);
    std::printf("translation=%s\n", block);
    for (const char* key : kKeys) {
      const std::string path = std::string("\\StringFileInfo\\") + block + "\\" + key;
      char* value = nullptr;
      UINT valueLength = 0;
      // Present and empty gives an empty text; absent keys are not printed.
      if (VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &valueLength)) {
        std::string text = value && valueLength ? std::string(value, valueLength) : std::string();
        if (!text.empty() && text.back() == '\0') text.pop_back();
        std::printf("string %s %s=\"%s\"\n", block, key, EscapeText(text.c_str()).c_str());
      }
    }
  }
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  double timeout = -1;
  bool all = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--timeout" && i + 1 < argc) {
      timeout = std::atof(argv[++i]);
    } else if (arg == "--all") {
      all = true;
    } else {
      args.push_back(arg);
    }
  }
  // Output goes to files read while the program still runs: no buffering surprises; and plain
  // LF line ends, for bash.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  _setmode(_fileno(stdout), _O_BINARY);
  const std::string command = args.empty() ? "" : args[0];
  if (command == "list" && args.size() == 1) return List(all);
  if (command == "wait" && args.size() == 2) return Wait(UnescapeText(args[1]), timeout < 0 ? 30 : timeout);
  if (command == "taskbar" && args.size() == 2) return Taskbar(UnescapeText(args[1]));
  if (command == "gone" && args.size() == 2) return Gone(UnescapeText(args[1]), timeout < 0 ? 30 : timeout);
  if (command == "click" && args.size() == 3)
    return Click(UnescapeText(args[1]), UnescapeText(args[2]), timeout < 0 ? 10 : timeout);
  if (command == "key" && args.size() == 3) return Key(UnescapeText(args[1]), args[2]);
  if (command == "close" && args.size() == 2) return Close(UnescapeText(args[1]));
  if (command == "version" && args.size() == 2) return Version(args[1]);
  Usage();
  return kUsage;
}

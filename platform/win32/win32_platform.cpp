// The platform on real Windows, what is not registry, files or programs: the
// system's error texts, full paths, folders and environment (the process's and
// the machine's), the message dialog and message loop, other users' sessions,
// the restart and the executable's resources.
#include "platform/win32/win32_platform.h"

#include <shlobj.h>
#include <wtsapi32.h>

#include <algorithm>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/text_case.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/handles.h"
#include "platform/win32/message_dialog.h"
#include "platform/win32/win32_files.h"

namespace platform {
namespace {

std::string TrimLineBreak(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::string SystemErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  if (length == 0 || !text) return std::string();
  const UniqueLocal owner(text);
  return TrimLineBreak(std::string(text, length));
}

std::string FullPath(const std::string& path) {
  const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::string buffer(needed, '\0');
  const DWORD length = GetFullPathNameA(path.c_str(), needed, &buffer[0], nullptr);
  if (length == 0 || length >= needed) return path;
  buffer.resize(length);
  return buffer;
}

// --- Folders and environment ---

std::string Win32Platform::WindowsDirectory() {
  const UINT needed = GetWindowsDirectoryA(nullptr, 0);
  std::string buffer(needed + 1, '\0');
  GetWindowsDirectoryA(&buffer[0], needed + 1);
  buffer.resize(buffer.find('\0'));
  if (buffer.size() > 3 && buffer.back() == '\\') buffer.pop_back();
  return buffer;
}

std::optional<std::string> Win32Platform::EnvironmentVariable(const std::string& name) {
  SetLastError(ERROR_SUCCESS);
  DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  for (;;) {
    if (needed == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    std::string buffer(needed, '\0');
    const DWORD length = GetEnvironmentVariableA(name.c_str(), &buffer[0], needed);
    if (length < needed) {
      buffer.resize(length);
      return buffer;
    }
    needed = length;  // it grew in between
  }
}

std::optional<std::string> Win32Platform::MachineEnvironmentVariable(const std::string& name) {
  if (SameText(name, "ProgramFiles")) {
    // The shell reads it from the machine's registry, not the environment.
    char folder[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder)))
      return std::nullopt;
    return std::string(folder);
  }
  // Without a token the expansion sees the system's variables only.
  using ExpandForUserFunction = BOOL(WINAPI*)(HANDLE, LPCSTR, LPSTR, DWORD);
  const HMODULE userenv = Userenv();
  const auto expandForUser = userenv ? reinterpret_cast<ExpandForUserFunction>(reinterpret_cast<void*>(
                                           GetProcAddress(userenv, "ExpandEnvironmentStringsForUserA")))
                                     : nullptr;
  if (!expandForUser) return std::nullopt;
  const std::string reference = "%" + name + "%";
  // The longest value an environment holds, and its NUL.
  std::string buffer(32768, '\0');
  if (!expandForUser(nullptr, reference.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()))) return std::nullopt;
  buffer.resize(buffer.find('\0'));
  // A reference to a variable that is not set stays as written.
  if (buffer == reference) return std::nullopt;
  return buffer;
}

std::string Win32Platform::DesktopDirectory() {
  char buffer[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_DESKTOPDIRECTORY, FALSE)) return std::string();
  return buffer;
}

std::string Win32Platform::ProfileDirectory() {
  // The account's own record, through the process's token: the environment's
  // USERPROFILE is the user's to set.
  using GetProfileFunction = BOOL(WINAPI*)(HANDLE, LPWSTR, LPDWORD);
  const HMODULE userenv = Userenv();
  const auto getProfile = userenv ? reinterpret_cast<GetProfileFunction>(
                                        reinterpret_cast<void*>(GetProcAddress(userenv, "GetUserProfileDirectoryW")))
                                  : nullptr;
  HANDLE token = nullptr;
  if (!getProfile || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
  const UniqueHandle ownedToken(token);
  DWORD size = 0;  // in characters, with the NUL
  getProfile(token, nullptr, &size);
  if (size == 0) return std::string();
  std::u16string folder(size, u'\0');
  if (!getProfile(token, reinterpret_cast<LPWSTR>(&folder[0]), &size)) return std::string();
  folder.resize(std::min(folder.find(u'\0'), folder.size()));
  if (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
  return Ansi(folder).value_or(std::string());
}

int Win32Platform::OtherUserSessions() {
  // wtsapi32 is no KnownDLL: loaded by its path in the system folder.
  static const HMODULE wtsapi = LoadSystemLibrary("wtsapi32.dll");
  using EnumerateFunction = BOOL(WINAPI*)(HANDLE, DWORD, DWORD, PWTS_SESSION_INFOW*, DWORD*);
  using QueryFunction = BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*);
  using FreeFunction = void(WINAPI*)(PVOID);
  if (!wtsapi) return 0;
  const auto enumerate =
      reinterpret_cast<EnumerateFunction>(reinterpret_cast<void*>(GetProcAddress(wtsapi, "WTSEnumerateSessionsW")));
  const auto query =
      reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(GetProcAddress(wtsapi, "WTSQuerySessionInformationW")));
  const auto release = reinterpret_cast<FreeFunction>(reinterpret_cast<void*>(GetProcAddress(wtsapi, "WTSFreeMemory")));
  DWORD own = 0;
  WTS_SESSION_INFOW* sessions = nullptr;
  DWORD count = 0;
  if (!enumerate || !query || !release || !ProcessIdToSessionId(GetCurrentProcessId(), &own) ||
      !enumerate(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count) || !sessions)
    return 0;
  int others = 0;
  for (DWORD i = 0; i < count; ++i) {
    const WTS_SESSION_INFOW& session = sessions[i];
    if (session.SessionId == own || (session.State != WTSActive && session.State != WTSDisconnected)) continue;
    // The services' session and a listener have no user.
    LPWSTR user = nullptr;
    DWORD bytes = 0;
    if (!query(WTS_CURRENT_SERVER_HANDLE, session.SessionId, WTSUserName, &user, &bytes) || !user) continue;
    if (user[0] != 0) ++others;
    release(user);
  }
  release(sessions);
  return others;
}

std::string Win32Platform::ModuleFileName() {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// --- Dialogs, messages, restart, resources ---

int Win32Platform::MessageDialog(const std::string& text, DialogType type, DialogButtons buttons) {
  if (terminating_) return kIdCancel;
  return ShowMessageDialog(mainWindow_, text, type, buttons);
}

void Win32Platform::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The main loop must still see it, or the application never ends.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void Win32Platform::RestartWindows() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    const UniqueHandle owner(token);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  ExitWindowsEx(EWX_REBOOT,
                SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_INSTALLATION | SHTDN_REASON_FLAG_PLANNED);
}

std::optional<ByteRange> Win32Platform::FindRcData(const std::string& name) {
  HRSRC resource = FindResourceA(nullptr, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!resource) return std::nullopt;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) throw EResNotFound(Format(msg::kResNotFound, name.c_str()));
  return ByteRange{static_cast<const uint8_t*>(data), SizeofResource(nullptr, resource)};
}

}  // namespace platform

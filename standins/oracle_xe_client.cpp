// Stand-in for the Oracle XE client setup: "Instalar cliente" registers the client as the real setup
// would (home folder, ORACLE_HOME key, uninstall entry, all in the 32-bit registry view) and exits.
// At its start it records the environment it was given that a real setup would use (where it
// unpacks, and one variable only the user sets) under HKCU\Software\Ostrelia\Standins\OracleXEClient,
// for the tests.
#include <windows.h>

#include <string>

#include "platform/win32/handles.h"
#include "standin_window.h"

namespace {

// Exit codes: what the tests read back from the process.
constexpr int kInstalled = 0;
constexpr int kFailed = 1;
constexpr int kClosedWithoutInstalling = 2;

constexpr char kHome[] = "C:\\oraclexe\\app\\oracle\\product\\10.2.0\\client";
constexpr char kClientKey[] = "SOFTWARE\\ORACLE\\KEY_XEClient";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OracleXEClient";
constexpr char kDisplayName[] = "Oracle Client 10g Express Edition";

// A key created for writing.
class RegistryKey {
 public:
  // The 32-bit view on purpose: the installer is a 32-bit program and reads that view.
  LONG Create(const char* path) {
    HKEY key = nullptr;
    const LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) key_ = platform::UniqueKey(key);
    return result;
  }
  LONG SetString(const char* name, const std::string& value) {
    return RegSetValueExA(key_.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
  }

 private:
  platform::UniqueKey key_;
};

// Creates the folder and every missing parent.
bool CreateFolderTree(const std::string& path) {
  for (size_t pos = path.find('\\', 3);; pos = path.find('\\', pos + 1)) {
    const std::string part = path.substr(0, pos);
    if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (pos == std::string::npos) return true;
  }
}

std::string SystemMessage(LONG code) {
  char text[512] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code), 0, text,
                 sizeof text, nullptr);
  return text;
}

int Fail(HWND owner, const std::string& what, LONG code) {
  const std::string text = what + "\n" + SystemMessage(code);
  MessageBoxA(owner, text.c_str(), "Oracle XE Client", MB_OK | MB_ICONERROR);
  return kFailed;
}

// TEMP, TMP and INSTALADOR_USER_ONLY as this process sees them, each as a value of that name
// ("unset" when it is not set); wide, as they came.
void RecordEnvironment() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Ostrelia\\Standins\\OracleXEClient", 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  const platform::UniqueKey owner(key);
  for (const wchar_t* name : {L"TEMP", L"TMP", L"INSTALADOR_USER_ONLY"}) {
    std::wstring value(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, &value[0], static_cast<DWORD>(value.size()));
    value = length > 0 && length < value.size() ? value.substr(0, length) : L"unset";
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
}

int InstallClient(HWND owner) {
  const std::string home = kHome;
  // The folder comes first: the installer writes NETWORK\ADMIN into it as soon as the key names it.
  if (!CreateFolderTree(home)) return Fail(owner, "No se pudo crear " + home, static_cast<LONG>(GetLastError()));

  RegistryKey client;
  LONG result = client.Create(kClientKey);
  if (result == ERROR_SUCCESS) result = client.SetString("ORACLE_HOME", home);
  if (result != ERROR_SUCCESS) return Fail(owner, std::string("No se pudo registrar HKLM\\") + kClientKey, result);

  RegistryKey uninstall;
  result = uninstall.Create(kUninstallKey);
  if (result == ERROR_SUCCESS) result = uninstall.SetString("DisplayName", kDisplayName);
  if (result == ERROR_SUCCESS) result = uninstall.SetString("UninstallString", home + "\\uninstall.exe");
  if (result != ERROR_SUCCESS) return Fail(owner, std::string("No se pudo registrar HKLM\\") + kUninstallKey, result);
  return kInstalled;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RecordEnvironment();
  static const StandinWindow window = {
      "Oracle XE Client",
      "Oracle Client 10g Express Edition\n(programa sustituto)\n\nRegistra el cliente en este equipo.",
      "Instalar cliente", InstallClient};
  return RunStandinWindow(instance, window, kClosedWithoutInstalling);
}

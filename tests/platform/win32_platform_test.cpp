// What only the real Windows platform can show: the registry views, the
// process environment, the security of what is made and replaced, the
// profile folder, its own resources, started programs and the dialog.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <functional>
#include <thread>

#include "framework/errors.h"
#include "platform/win32/handles.h"
#include "tests/platform/test_machine.h"
#include "tests/support/error_matcher.h"

using namespace platform;

namespace {

// A key made in each view: the platform sees the 32-bit one's and not the
// other, whatever the word size of the program (an x86-64 build reads the
// same view as the 32-bit release).
TEST(Win32Platform, RegistryIsReadInThe32BitView) {
#ifndef _WIN64
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (!wow64) GTEST_SKIP() << "one registry view on a 32-bit system";
#endif
  const std::string run = TestRunKey().substr(1);
  Win32Platform platform;
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    const std::string path = run + (view == KEY_WOW64_64KEY ? "\\View64" : "\\View32");
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &created,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);
    EXPECT_EQ(platform.KeyExists(RootKey::LocalMachine, "\\" + path), view == KEY_WOW64_32KEY) << path;
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, run.c_str(), view, 0);
  }
}

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

// Pins down where Wine's registry differs from Windows, which the host
// machine follows: Windows sorts subkeys by upper-cased name and keeps values
// in creation order; Wine compares lower-cased and sorts values too.
TEST(Win32Platform, EnumerationOrder) {
  auto machine = MakeTestMachine();
  const std::string key = TestRunKey() + "\\Order";
  for (const char* name : {"gamma", "A_b", "AB"}) machine->CreateKey(RootKey::CurrentUser, key + "\\" + name);
  for (const char* name : {"zeta", "Alpha", "_under"}) machine->SetString(RootKey::CurrentUser, key, name, name);
  auto opened = machine->Platform().OpenKey(RootKey::CurrentUser, key, KeyAccess::Read);
  ASSERT_TRUE(opened);
  if (UnderWine()) {
    EXPECT_EQ(opened->SubkeyNames(), (std::vector<std::string>{"A_b", "AB", "gamma"}));
    EXPECT_EQ(opened->ValueNames(), (std::vector<std::string>{"_under", "Alpha", "zeta"}));
  } else {
    EXPECT_EQ(opened->SubkeyNames(), (std::vector<std::string>{"AB", "A_b", "gamma"}));
    EXPECT_EQ(opened->ValueNames(), (std::vector<std::string>{"zeta", "Alpha", "_under"}));
  }
  machine->DeleteKeyTree(RootKey::CurrentUser, key);
}

TEST(Win32Platform, EnvironmentValuesComeWhole) {
  Win32Platform platform;
  const std::string longValue(1000, 'x');
  const struct {
    const char* value;  // nullptr: unset
    std::optional<std::string> expected;
  } cases[] = {{longValue.c_str(), longValue},
               {"", std::string()},
               {"C:\\Program Files", "C:\\Program Files"},
               {nullptr, std::nullopt}};
  for (const auto& c : cases) {
    SetEnvironmentVariableA("INSTALADOR_TEST_VALUE", c.value);
    EXPECT_EQ(platform.EnvironmentVariable("instalador_test_value"), c.expected);
  }
}

// The user's own ProgramFiles (HKCU\Environment reaches an elevated
// process's environment) is not the machine's: the shell's folder is.
TEST(Win32Platform, MachineProgramFilesIsNotTheProcesss) {
  Win32Platform platform;
  const auto before = platform.MachineEnvironmentVariable("ProgramFiles");
  ASSERT_TRUE(before);
  const std::string saved = platform.EnvironmentVariable("ProgramFiles").value_or("");
  SetEnvironmentVariableA("ProgramFiles", "C:\\users\\Public\\Programas");
  EXPECT_EQ(platform.MachineEnvironmentVariable("programfiles"), before);
  SetEnvironmentVariableA("ProgramFiles", saved.c_str());
}

// A file's or folder's DACL: "protected" when the folder above may not add
// to it ("open" when it may), then each entry as "allow|deny <SID> <mask>",
// with " inherited" for one that came from above.
std::vector<std::string> DaclOf(const std::string& path) {
  std::vector<std::string> result;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return result;
  const UniqueLocal owner(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  const bool isProtected =
      GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED);
  result.push_back(isProtected ? "protected" : "open");
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;  // a denying entry has the same layout
    char* sid = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || !ConvertSidToStringSidA(&ace->SidStart, &sid)) break;
    char mask[16];
    wsprintfA(mask, " %lx", static_cast<unsigned long>(ace->Mask));
    result.push_back(std::string(ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? "allow " : "deny ") + sid + mask +
                     (ace->Header.AceFlags & INHERITED_ACE ? " inherited" : ""));
    LocalFree(sid);
  }
  return result;
}

// The Oracle setup runs elevated from this folder: only administrators and
// the system may use it, whatever the folder above it allows.
TEST(Win32Platform, PrivateFolderIsForAdministratorsAndTheSystemOnly) {
  if (UnderWine()) GTEST_SKIP() << "Wine keeps no security descriptor of a file: it reports its own";
  auto machine = MakeTestMachine();
  const std::string folder = machine->ScratchFolder() + "\\private";
  Win32Platform platform;
  platform.CreatePrivateDirectory(folder);
  // Nothing from the folder above.
  EXPECT_EQ(DaclOf(folder),
            (std::vector<std::string>{"protected", "allow S-1-5-32-544 1f01ff", "allow S-1-5-18 1f01ff"}));
  EXPECT_TRUE(platform.RemoveDirectoryTree(folder));
}

// What is made under an Oracle home with UsersReadOnly: Administrators and
// SYSTEM full control, Users read and execute, nothing from the folder above
// (not under Wine, which reports a descriptor of its own). The installer can
// still edit it, and the uninstaller remove it.
TEST(Win32Platform, UsersReadOnlyIsGivenAsItIsMade) {
  auto machine = MakeTestMachine();
  GuardedFiles& files = machine->Platform().Guarded();
  const std::string folder = machine->ScratchFolder() + "\\NETWORK", file = folder + "\\tnsnames.ora";
  ASSERT_TRUE(files.CreateFolder(folder, Protection::UsersReadOnly));
  files.CreateReplacement(file, Protection::UsersReadOnly)->Commit();
  const std::vector<std::string> expected = {"protected", "allow S-1-5-32-544 1f01ff", "allow S-1-5-18 1f01ff",
                                             "allow S-1-5-32-545 1200a9"};
  for (const std::string& made : {folder, file}) EXPECT_TRUE(UnderWine() || DaclOf(made) == expected) << made;
  files.ReplaceContent(file, {'e', 'd', 'i', 't'});
  EXPECT_EQ(files.ReadFile(file), (std::vector<uint8_t>{'e', 'd', 'i', 't'}));
  EXPECT_TRUE(files.RemoveFile(file));
  EXPECT_TRUE(files.RemoveFolder(folder));
}

// A file edited in place keeps its own DACL (what it inherits recomputed from
// its folder) and attributes, whichever replacement writes it; a read-only
// one is refused as the final move would be, and kept.
TEST(Win32Platform, ReplacedFileKeepsItsSecurityAndAttributes) {
  auto machine = MakeTestMachine();
  const std::string file = machine->ScratchFolder() + "\\tnsnames.ora";
  Platform& platform = machine->Platform();
  const std::vector<uint8_t> content = {'n', 'e', 'w'};
  const struct {
    const char* sddl;  // nullptr: as the folder gives it
    DWORD attributes;
    bool guarded, refused;
  } cases[] = {
      {"D:P(A;;FA;;;BA)(A;;FR;;;WD)", FILE_ATTRIBUTE_HIDDEN, true, false},
      {"D:(A;;FA;;;WD)", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, false, false},
      {nullptr, FILE_ATTRIBUTE_READONLY, true, true},
      {nullptr, FILE_ATTRIBUTE_READONLY, false, true},
  };
  for (const auto& c : cases) {
    machine->WriteFile(file, "old");
    // Wine makes a DACL it is given into the file's mode bits: none is set there.
    if (c.sddl && !UnderWine()) {
      PSECURITY_DESCRIPTOR descriptor = nullptr;
      ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(c.sddl, SDDL_REVISION_1, &descriptor, nullptr));
      const UniqueLocal owner(descriptor);
      BOOL present = FALSE, defaulted = FALSE;
      PACL dacl = nullptr;
      ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
      const DWORD inheritance =
          c.sddl[2] == 'P' ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
      ASSERT_EQ(SetNamedSecurityInfoA(const_cast<char*>(file.c_str()), SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION | inheritance, nullptr, nullptr, dacl, nullptr),
                static_cast<DWORD>(ERROR_SUCCESS));
    }
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), c.attributes));
    const std::vector<std::string> before = DaclOf(file);
    FileReplacer& replacer = c.guarded ? static_cast<FileReplacer&>(platform.Guarded()) : platform;
    if (c.refused) {
      EXPECT_EQ(ErrorOf<EFCreateError>([&] { replacer.ReplaceContent(file, content); }),
                "Cannot create file \"" + file + "\". " + SystemErrorText(ERROR_ACCESS_DENIED));
      EXPECT_EQ(machine->ReadFile(file), "old");
    } else {
      replacer.ReplaceContent(file, content);
      EXPECT_EQ(machine->ReadFile(file), "new");
    }
    // Archiving is marked by the file system on its own.
    const DWORD told = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(GetFileAttributesA(file.c_str()) & told, c.attributes & told) << c.attributes;
    EXPECT_TRUE(UnderWine() || DaclOf(file) == before) << c.attributes;  // Wine reports one of its own
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(platform.RemoveFile(file));
  }
  EXPECT_TRUE(platform.RemoveFolder(Folder(file))) << "a temporary file was left behind";
}

// The walk takes each name as it is: none that leaves its folder or names a
// stream.
TEST(Win32Platform, GuardedFilesRefuseWhatIsNoPlainName) {
  auto machine = MakeTestMachine();
  const std::string scratch = machine->ScratchFolder();
  GuardedFiles& files = machine->Platform().Guarded();
  machine->WriteFile(scratch + "\\t.ora", "kept");
  for (const std::string& path : {scratch + "\\t.ora:stream", scratch + "\\.\\t.ora", scratch + "\\x\\..\\t.ora"}) {
    EXPECT_EQ(files.ReadFile(path), std::nullopt) << path;
    EXPECT_THROW(files.ReplaceContent(path, {'x'}), EFCreateError) << path;
    EXPECT_FALSE(files.RemoveFile(path)) << path;
    EXPECT_FALSE(files.CreateFolder(path, Protection::Inherited)) << path;
  }
  EXPECT_EQ(machine->ReadFile(scratch + "\\t.ora"), "kept");
}

// The account's own profile folder, whatever this process's environment
// says; and under Wine, nobody else signed in.
TEST(Win32Platform, ProfileFolderAndOtherSessions) {
  Win32Platform platform;
  const std::string profile = platform.ProfileDirectory();
  ASSERT_GT(profile.size(), 3u);
  EXPECT_TRUE(platform.DirectoryExists(profile)) << profile;
  EXPECT_EQ(profile.compare(1, 2, ":\\"), 0) << profile;
  EXPECT_NE(profile.back(), '\\') << profile;
  const std::string saved = platform.EnvironmentVariable("USERPROFILE").value_or("");
  SetEnvironmentVariableA("USERPROFILE", "C:\\Users\\Public");
  EXPECT_EQ(platform.ProfileDirectory(), profile);
  SetEnvironmentVariableA("USERPROFILE", saved.c_str());
  // Windows may have others signed in; Wine has no sessions to list.
  EXPECT_TRUE(!UnderWine() || platform.OtherUserSessions() == 0);
}

TEST(Win32Platform, OwnVersionAndResources) {
  Win32Platform platform;
  // From the file by name and from the running image alike.
  for (const auto& version : {platform.ReadFileVersion(platform.ModuleFileName()), platform.ReadOwnVersion()}) {
    ASSERT_TRUE(version);
    EXPECT_EQ(version->major, 10);
    EXPECT_EQ(version->minor, 2);
    EXPECT_EQ(version->release, 0);
    EXPECT_EQ(version->build, 15);
  }
  for (const char* name : {"TESTDATA", "testdata"}) {
    const auto range = platform.FindRcData(name);
    ASSERT_TRUE(range) << name;
    EXPECT_EQ(std::vector<uint8_t>(range->data, range->data + range->size), (std::vector<uint8_t>{1, 2, 3, 4}));
  }
  EXPECT_FALSE(platform.FindRcData("TFORMEXE"));
}

TEST(Win32Platform, StartedProgramPathWithBlanksStartsThatProgramInTheMachinesEnvironment) {
  auto machine = MakeTestMachine();
  Platform& platform = machine->Platform();
  const std::string marker = Folder(platform.ModuleFileName()) + "\\platform_test_marker.exe";
  ASSERT_TRUE(platform.FileExists(marker));
  const std::string scratch = machine->ScratchFolder();
  const std::string program = scratch + "\\a b\\prog.exe";
  const std::string decoy = scratch + "\\a.exe";  // what an unquoted command line would run
  ASSERT_TRUE(platform.CreateFolder(scratch + "\\a b"));
  ASSERT_TRUE(CopyFileA(marker.c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(marker.c_str(), decoy.c_str(), FALSE));
  // A variable of this process's own (as the user's reach an elevated one)
  // does not reach it: it gets the machine's environment, and its TEMP.
  SetEnvironmentVariableA("INSTALADOR_USER_ONLY", "planted");
  platform.StartProgram(program, scratch, {{"TEMP", scratch + "\\temp"}});
  SetEnvironmentVariableA("INSTALADOR_USER_ONLY", nullptr);
  for (int i = 0; i < 200 && !platform.FileExists(program + ".ran"); ++i) Sleep(50);
  ASSERT_TRUE(platform.FileExists(program + ".ran"));
  EXPECT_FALSE(platform.FileExists(decoy + ".ran"));
  // It ran in the folder it was given, not in ours.
  EXPECT_EQ(machine->ReadFile(program + ".ran"), scratch + "\n" + scratch + "\\temp\nunset");
  for (int i = 0; i < 100 && !platform.RemoveFile(program); ++i) Sleep(50);  // until it has ended
}

TEST(Win32Platform, ShellLinkWithoutComRaisesTheSystemText) {
  std::string message;
  std::thread thread([&] {
    Win32Platform platform;
    try {
      platform.CreateShellLink("C:\\p.exe", "", "C:\\", "C:\\p.lnk");
    } catch (const EOleSysError& error) {
      message = error.Message();
    }
  });
  thread.join();
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
}

TEST(Win32Platform, ProcessMessagesKeepsTheQuitRequest) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 0, 0);
  PostQuitMessage(5);
  Win32Platform platform;
  platform.ProcessMessages();
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 5u);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE));  // dispatched
}

// --- The dialog, driven from a timer inside its own modal loop ---

struct Seen {
  std::string caption, text, first, second;
  bool centred = false, ownerDisabled = false;
};

BOOL CALLBACK TakeDialog(HWND window, LPARAM out) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(out) = window;
  return FALSE;
}

HWND FindDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), TakeDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string TextOf(HWND window) {
  char buffer[1024] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

std::function<void(HWND)> g_drive;

// Each test's action on the dialog once it shows.
void CALLBACK OnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = FindDialog();
  if (!dialog) return;
  KillTimer(nullptr, timer);
  g_drive(dialog);
}

bool CanShowWindows() {
  HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
}

enum class Action { Enter, Escape, CloseBox, ClickSecond };

TEST(Win32Platform, MessageDialogAnswers) {
  if (!CanShowWindows()) GTEST_SKIP() << "no display";
  const struct {
    DialogType type;
    DialogButtons buttons;
    Action action;
    int expected;
    const char* caption;
  } cases[] = {
      {DialogType::Information, DialogButtons::Ok, Action::Enter, kIdOk, "Information"},
      {DialogType::Error, DialogButtons::Ok, Action::Escape, kIdOk, "Error"},
      {DialogType::Information, DialogButtons::Ok, Action::CloseBox, kIdCancel, "Information"},
      {DialogType::Confirmation, DialogButtons::YesNo, Action::Enter, kIdYes, "Confirm"},
      {DialogType::Confirmation, DialogButtons::YesNo, Action::Escape, kIdNo, "Confirm"},
      {DialogType::Confirmation, DialogButtons::YesNo, Action::ClickSecond, kIdNo, "Confirm"},
      {DialogType::Confirmation, DialogButtons::YesNo, Action::CloseBox, kIdCancel, "Confirm"},
  };
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                               nullptr, nullptr);
  Win32Platform platform;
  platform.SetMainWindow(owner);
  for (const auto& c : cases) {
    Seen seen;
    g_drive = [&](HWND dialog) {
      seen.caption = TextOf(dialog);
      seen.text = TextOf(GetDlgItem(dialog, 100));
      const bool yesNo = c.buttons == DialogButtons::YesNo;
      HWND first = GetDlgItem(dialog, yesNo ? IDYES : IDOK);
      HWND second = yesNo ? GetDlgItem(dialog, IDNO) : nullptr;
      seen.first = TextOf(first);
      seen.second = second ? TextOf(second) : "";
      RECT r;
      GetWindowRect(dialog, &r);
      const int dx = (r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
      const int dy = (r.top + r.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
      seen.centred = dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1;
      seen.ownerDisabled = !IsWindowEnabled(owner);
      switch (c.action) {
        case Action::Enter:
          PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
          break;
        case Action::Escape:
          PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
          break;
        case Action::CloseBox:
          PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
          break;
        case Action::ClickSecond:
          PostMessageA(second, BM_CLICK, 0, 0);
          break;
      }
    };
    SetTimer(nullptr, 0, 20, OnTimer);
    const int answer = platform.MessageDialog("first line,\n\rsecond\r\nthird", c.type, c.buttons);
    EXPECT_EQ(answer, c.expected) << c.caption << " " << static_cast<int>(c.action);
    EXPECT_EQ(seen.caption, c.caption);
    EXPECT_EQ(seen.text, "first line,\r\nsecond\r\nthird");
    if (c.buttons == DialogButtons::Ok) {
      EXPECT_EQ(seen.first, "OK");
    } else {
      EXPECT_EQ(seen.first, "&Yes");
      EXPECT_EQ(seen.second, "&No");
    }
    EXPECT_TRUE(seen.centred);
    EXPECT_TRUE(seen.ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
  }
  DestroyWindow(owner);
}

TEST(Win32Platform, TerminatingDialogAnswersCancelAtOnce) {
  Win32Platform platform;
  platform.SetTerminating(true);
  const DWORD start = GetTickCount();
  EXPECT_EQ(platform.MessageDialog("restart?", DialogType::Confirmation, DialogButtons::YesNo), kIdCancel);
  EXPECT_LT(GetTickCount() - start, 1000u);
}

}  // namespace

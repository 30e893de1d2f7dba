// Program entry: wires start-up together; each job lives in its own module.
#include "installer/form_instalador.h"
#include "installer/texts.h"
#include "installer/win32/application.h"
#include "installer/win32/form_window.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/handles.h"
#include "platform/win32/startup_failure.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!platform::RestrictDllSearchToSystemFolder()) {
    // A DLL left beside the installer (in Downloads) would be loaded by name.
    MessageBoxA(nullptr, texts::kWindowsWithoutSafeDllSearch, texts::kApplicationTitle,
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return 1;
  }
  platform::ComInitialization com;  // single-threaded apartment for shell links
  platform::Win32Platform system;
  try {
    // The window first, so it is the main window; then the payload, read whole
    // before anything is shown.
    TFormInstalador formInstalador(system);
    ReadFormResource(system, "TFormInstalador", formInstalador);
    std::unique_ptr<TFormExe> formExe = CreateFormExe(system);
    formInstalador.SetPayload(formExe->mxStorageFiles);

    FormWindow window(formInstalador, [&system] { system.SetTerminating(true); });
    window.Create();
    system.SetMainWindow(window.Handle());
    return RunApplication(window);
  } catch (const std::exception& error) {
    platform::ShowStartupFailure(error, texts::kStartupFailureCaption, texts::kStartupFailureFirstLine);
    return 1;
  }
}

// Stand-in for the product's uninstaller: a window that says what it is and does nothing else.
#include <windows.h>

#include "standin_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  static const StandinWindow window = {
      "DesInstalador",
      "DesInstalador de Pliegorama\n(programa sustituto: no desinstala nada)",
      nullptr, nullptr};
  return RunStandinWindow(instance, window, 0);
}

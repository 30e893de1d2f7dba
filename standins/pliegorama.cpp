// Stand-in for the product executable: a window that shows its name and the version it was built with.
#include <windows.h>

#include "standin_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  static const StandinWindow window = {"Pliegorama",
                                       "Pliegorama " PLIEGORAMA_VERSION_TEXT
                                       "\nM\xF3"
                                       "dulo de Captura - Sistema de Lumentra\n(programa sustituto)",
                                       nullptr, nullptr};
  return RunStandinWindow(instance, window, 0);
}

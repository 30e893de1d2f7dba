// Carries the installer's resources and reports from inside whether they load: MAINICON at
// 32 x 32 and the manifest's elevation request as the loader applied it.
#include "platform/win32/handles.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

int main() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  _setmode(_fileno(stdout), _O_BINARY);  // LF line ends, for bash
  HICON icon = static_cast<HICON>(LoadImageA(instance, "MAINICON", IMAGE_ICON, 32, 32, 0));
  ICONINFO info = {};
  BITMAP colour = {};
  if (icon && GetIconInfo(icon, &info)) {
    // The icon's bitmaps are copies that the caller deletes.
    const platform::UniqueGdiObject<HBITMAP> colourBitmap(info.hbmColor), maskBitmap(info.hbmMask);
    GetObjectA(colourBitmap.get(), sizeof colour, &colour);
  }
  HRSRC manifest = FindResourceA(instance, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  std::printf("icon=%s size=%ldx%ld\n", icon ? "yes" : "no", colour.bmWidth, colour.bmHeight);
  std::printf("manifest=%s bytes=%lu\n", manifest ? "yes" : "no",
              manifest ? static_cast<unsigned long>(SizeofResource(instance, manifest)) : 0UL);
  std::fflush(stdout);
  return icon && manifest ? 0 : 1;
}

// The banner picture: GIF bytes decoded by the system's picture loader (OLE),
// drawn centred in an area of the window.
#pragma once

#include <windows.h>
#include "platform/win32/handles.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <vector>

class Banner {
 public:
  Banner() = default;
  Banner(const Banner&) = delete;
  Banner& operator=(const Banner&) = delete;

  // Decodes the picture; false (and nothing to draw) when the system cannot.
  bool Load(const std::vector<uint8_t>& bytes);
  bool Loaded() const { return picture_.valid(); }
  // Size in pixels at the screen's resolution.
  SIZE PixelSize(HDC dc) const;
  // Draws the picture centred in `area`, clipped to it.
  void Draw(HDC dc, const RECT& area) const;

 private:
  platform::ComPtr<IPicture> picture_;
};

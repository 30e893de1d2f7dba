// Banner decoding through OleLoadPicture: the system reads the GIF, so no
// decoder of our own handles untrusted picture bytes.
#include "installer/win32/banner.h"

#include <cstring>

namespace {

// HIMETRIC (0.01 mm) to pixels at the device's resolution.
int HimetricToPixels(long himetric, int pixelsPerInch) { return MulDiv(himetric, pixelsPerInch, 2540); }

}  // namespace

bool Banner::Load(const std::vector<uint8_t>& bytes) {
  picture_.reset();
  if (bytes.empty()) return false;
  platform::UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
  if (!memory.valid()) return false;
  void* target = GlobalLock(memory.get());
  if (!target) return false;
  std::memcpy(target, bytes.data(), bytes.size());
  GlobalUnlock(memory.get());

  platform::ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, stream.out()))) return false;
  memory.release();  // the stream frees it when it is released
  const HRESULT result =
      OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture, picture_.outVoid());
  if (FAILED(result) || !picture_.valid()) {
    picture_.reset();
    return false;
  }
  return true;
}

SIZE Banner::PixelSize(HDC dc) const {
  SIZE size{0, 0};
  if (!picture_.valid()) return size;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture_->get_Width(&width);
  picture_->get_Height(&height);
  size.cx = HimetricToPixels(width, GetDeviceCaps(dc, LOGPIXELSX));
  size.cy = HimetricToPixels(height, GetDeviceCaps(dc, LOGPIXELSY));
  return size;
}

void Banner::Draw(HDC dc, const RECT& area) const {
  if (!picture_.valid()) return;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture_->get_Width(&width);
  picture_->get_Height(&height);
  const SIZE size = PixelSize(dc);
  const int left = area.left + (area.right - area.left - size.cx) / 2;
  const int top = area.top + (area.bottom - area.top - size.cy) / 2;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  // The source rectangle runs bottom-up in HIMETRIC.
  picture_->Render(dc, left, top, size.cx, size.cy, 0, height, width, -height, nullptr);
  RestoreDC(dc, saved);
}

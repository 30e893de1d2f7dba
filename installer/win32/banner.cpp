// Banner decoding through OleLoadPicture: the system reads the GIF, so no
// decoder of our own handles untrusted picture bytes.
#include "installer/win32/banner.h"

#include <cstring>

namespace {

// HIMETRIC (0.01 mm) to pixels at the device's resolution.
int HimetricToPixels(long himetric, int pixelsPerInch) { return MulDiv(himetric, pixelsPerInch, 2540); }

}  // namespace

Banner::~Banner() {
  if (picture_) picture_->Release();
}

bool Banner::Load(const std::vector<uint8_t>& bytes) {
  if (picture_) {
    picture_->Release();
    picture_ = nullptr;
  }
  if (bytes.empty()) return false;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) return false;
  void* target = GlobalLock(memory);
  if (!target) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(target, bytes.data(), bytes.size());
  GlobalUnlock(memory);

  IStream* stream = nullptr;
  // The stream frees the memory when it is released.
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    GlobalFree(memory);
    return false;
  }
  void* picture = nullptr;
  const HRESULT result = OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture, &picture);
  stream->Release();
  if (FAILED(result) || !picture) return false;
  picture_ = static_cast<IPicture*>(picture);
  return true;
}

SIZE Banner::PixelSize(HDC dc) const {
  SIZE size{0, 0};
  if (!picture_) return size;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture_->get_Width(&width);
  picture_->get_Height(&height);
  size.cx = HimetricToPixels(width, GetDeviceCaps(dc, LOGPIXELSX));
  size.cy = HimetricToPixels(height, GetDeviceCaps(dc, LOGPIXELSY));
  return size;
}

void Banner::Draw(HDC dc, const RECT& area) const {
  if (!picture_) return;
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

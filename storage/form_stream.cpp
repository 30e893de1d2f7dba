// The payload shapes' shared reads and writes, and the code page 1252
// conversions for the wide and UTF-8 string codes.
#include "storage/form_stream.h"

bool FitsInteger(ValueCode code, int64_t value) {
  const ValueCodeInfo* info = FindValueCode(static_cast<uint8_t>(code));
  if (!info || info->shape != PayloadShape::Integer) return false;
  if (info->width >= 8) return true;
  const int64_t limit = int64_t{1} << (8 * info->width - 1);
  return value >= -limit && value < limit;
}

ValueCode NarrowestIntegerCode(int64_t value) {
  for (ValueCode code : {ValueCode::Int8, ValueCode::Int16, ValueCode::Int32})
    if (FitsInteger(code, value)) return code;
  return ValueCode::Int64;
}

size_t FixedWidth(ValueCode code) {
  const ValueCodeInfo* info = FindValueCode(static_cast<uint8_t>(code));
  return info && info->shape == PayloadShape::Fixed ? info->width : 0;
}

ByteRange TakeFlatPayload(ByteCursor& in, const ValueCodeInfo& code) {
  switch (code.shape) {
    case PayloadShape::Integer:
    case PayloadShape::Fixed:
      return {in.Take(code.width), code.width};
    case PayloadShape::ShortString: {
      const size_t size = in.U8();
      return {in.Take(size), size};
    }
    case PayloadShape::Counted: {
      const size_t size = in.U32();
      return {in.Take(size), size};
    }
    case PayloadShape::WideCounted: {
      const uint32_t units = in.U32();
      return {in.TakeUnits(units, 2), size_t{units} * 2};
    }
    default:  // None; the shapes that hold values are walked by their readers
      return {in.data() + in.offset(), 0};
  }
}

void FormEncoder::IntegerValue(ValueCode code, int64_t value) {
  const ValueCodeInfo* info = FindValueCode(static_cast<uint8_t>(code));
  if (!info || info->shape != PayloadShape::Integer) throw EWriteError(msg::kStreamWriteError);
  Code(code);
  Little(static_cast<uint64_t>(value), info->width);
}

void FormEncoder::FlatValue(ValueCode code, const std::string& bytes) {
  const ValueCodeInfo* info = FindValueCode(static_cast<uint8_t>(code));
  if (!info) throw EWriteError(msg::kStreamWriteError);
  switch (info->shape) {
    case PayloadShape::None:
      Code(code);
      return;
    case PayloadShape::Fixed:
      if (bytes.size() != info->width) break;
      Code(code);
      Raw(bytes.data(), bytes.size());
      return;
    case PayloadShape::ShortString:
      Code(code);
      ShortString(bytes);
      return;
    case PayloadShape::Counted:
    case PayloadShape::WideCounted: {
      const size_t unit = info->shape == PayloadShape::WideCounted ? 2 : 1;
      if (bytes.size() % unit != 0) break;
      Code(code);
      Count(bytes.size() / unit);
      Raw(bytes.data(), bytes.size());
      return;
    }
    default:
      break;
  }
  throw EWriteError(msg::kStreamWriteError);
}

namespace {

// Code points of bytes 0x80..0x9F; 0 where the code page leaves the byte
// undefined (Windows maps those to the same C1 code point).
const uint16_t kHighControls[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char AnsiOf(uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<char>(codePoint);
  if (codePoint >= 0x80 && codePoint <= 0x9F && kHighControls[codePoint - 0x80] == 0)
    return static_cast<char>(codePoint);
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] != 0 && kHighControls[i] == codePoint) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string Utf16ToAnsi(const uint8_t* utf16le, size_t units) {
  std::string out;
  out.reserve(units);
  for (size_t i = 0; i < units; ++i) {
    uint32_t unit = static_cast<uint32_t>(LoadLittle(utf16le + 2 * i, 2));
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const uint32_t low = static_cast<uint32_t>(LoadLittle(utf16le + 2 * i + 2, 2));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        ++i;
        out += '?';  // outside the code page by construction
        continue;
      }
    }
    out += AnsiOf(unit);
  }
  return out;
}

std::string Utf8ToAnsi(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const uint8_t lead = static_cast<uint8_t>(utf8[i]);
    size_t extra = 0;
    uint32_t cp = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, cp = lead & 0x07;
    } else {
      out += '?';
      ++i;
      continue;
    }
    bool valid = extra <= utf8.size() - i - 1;
    for (size_t k = 1; valid && k <= extra; ++k) {
      const uint8_t next = static_cast<uint8_t>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      cp = cp << 6 | (next & 0x3F);
    }
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    out += AnsiOf(cp);
    i += extra + 1;
  }
  return out;
}

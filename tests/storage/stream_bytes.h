// Test helper: writes form-stream bytes by hand, value by value, so expected
// streams are spelled out independently of the writer under test.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "storage/mxStorage.h"

struct StreamBytes {
  std::vector<uint8_t> bytes;

  StreamBytes& Raw(const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
  }
  StreamBytes& Raw(const std::vector<uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
  }
  StreamBytes& U8(unsigned v) {
    bytes.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  StreamBytes& U16(unsigned v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
  StreamBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  StreamBytes& Short(const std::string& text) { return U8(static_cast<unsigned>(text.size())).Raw(text); }

  // Property records: a name, then one value.
  StreamBytes& Int(const std::string& name, int32_t v) {
    Short(name);
    if (v >= -128 && v <= 127) return U8(2).U8(static_cast<uint8_t>(v));
    if (v >= -32768 && v <= 32767) return U8(3).U16(static_cast<uint16_t>(v));
    return U8(4).U32(static_cast<uint32_t>(v));
  }
  StreamBytes& Str(const std::string& name, const std::string& v) { return Short(name).U8(6).Short(v); }
  StreamBytes& Ident(const std::string& name, const std::string& v) { return Short(name).U8(7).Short(v); }
  StreamBytes& Block(const std::string& name, const std::vector<uint8_t>& v) {
    return Short(name).U8(10).U32(static_cast<uint32_t>(v.size())).Raw(v);
  }
};

inline std::vector<uint8_t> Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

// The "StoredItem" value of a file encoded at a zlib level (the default
// unless told): count, then one zlib stream of the length-prefixed file. Made
// with zlib directly.
inline std::vector<uint8_t> StoredItemValue(const std::string& file, int level = Z_DEFAULT_COMPRESSION) {
  std::vector<uint8_t> plain(4 + file.size());
  const std::vector<uint8_t> length = Le32(static_cast<uint32_t>(file.size()));
  std::copy(length.begin(), length.end(), plain.begin());
  std::copy(file.begin(), file.end(), plain.begin() + 4);
  uLongf packedSize = compressBound(static_cast<uLong>(plain.size()));
  std::vector<uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, plain.data(), static_cast<uLong>(plain.size()), level);
  packed.resize(packedSize);
  std::vector<uint8_t> value(4 + packed.size());
  const std::vector<uint8_t> count = Le32(static_cast<uint32_t>(packed.size()));
  std::copy(count.begin(), count.end(), value.begin());
  std::copy(packed.begin(), packed.end(), value.begin() + 4);
  return value;
}

inline std::string RatioOf(size_t size, size_t fileSize) {
  if (fileSize == 0) return "100%";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%", static_cast<double>(size) / static_cast<double>(fileSize) * 100);
  return text;
}

struct PayloadFile {
  std::string name, fileName, content;
};

// The payload stream the encoding rules prescribe for these files, stored at
// `level`: a level other than the default is named ahead of Tag; clNone keeps
// the raw bytes and leaves FileSize 0; an empty file stores no StoredItem.
inline std::vector<uint8_t> ExpectedPayload(const std::vector<PayloadFile>& files,
                                            TCompressionLevel level = TCompressionLevel::clDefault) {
  static const char* const kIdents[] = {"clNone", "clFastest", nullptr, "clMax"};
  static const int kZlibLevels[] = {0, 1, Z_DEFAULT_COMPRESSION, 9};
  const int at = static_cast<int>(level);
  const bool raw = level == TCompressionLevel::clNone;
  StreamBytes s;
  s.Raw("TPF0").Short("TFormExe").Short("FormExe");
  s.Int("Left", 893).Int("Top", 109).Int("Width", 208).Int("Height", 111).Ident("Color", "clBtnFace");
  s.Ident("Font.Charset", "DEFAULT_CHARSET").Ident("Font.Color", "clWindowText").Int("Font.Height", -11);
  s.Str("Font.Name", "MS Sans Serif").Short("Font.Style").U8(11).U8(0);
  s.Short("OldCreateOrder").U8(8).Int("PixelsPerInch", 96).Int("TextHeight", 13).U8(0);
  size_t total = 0, stored = 0;
  std::vector<std::vector<uint8_t>> values;
  std::vector<size_t> fileSizes;
  for (const PayloadFile& f : files) {
    std::vector<uint8_t> value;
    if (!f.content.empty() && raw) {
      value = Le32(static_cast<uint32_t>(f.content.size()));
      value.insert(value.end(), f.content.begin(), f.content.end());
    } else if (!f.content.empty()) {
      value = StoredItemValue(f.content, kZlibLevels[at]);
    }
    values.push_back(value);
    fileSizes.push_back(raw ? 0 : f.content.size());
    total += fileSizes.back();
    stored += value.empty() ? 0 : value.size() - 4;
  }
  s.Short("TmxStorage").Short("mxStorageFiles");
  s.Int("OriginalSize", static_cast<int32_t>(total)).Str("Ratio", RatioOf(stored, total));
  s.Int("Size", static_cast<int32_t>(stored)).Short("StoredItems").U8(14);
  for (size_t i = 0; i < files.size(); ++i) {
    const PayloadFile& f = files[i];
    const size_t size = values[i].empty() ? 0 : values[i].size() - 4;
    s.U8(1);
    if (kIdents[at]) s.Ident("Compression", kIdents[at]);
    s.Int("Tag", 0).Str("Name", f.name).Str("FileName", f.fileName);
    s.Int("FileSize", static_cast<int32_t>(fileSizes[i])).Int("Size", static_cast<int32_t>(size));
    s.Str("Ratio", RatioOf(size, fileSizes[i]));
    if (!values[i].empty()) s.Block("StoredItem", values[i]);
    s.U8(0);
  }
  s.U8(0).Str("Version", "1.0").Int("Left", 32).Int("Top", 16).U8(0).U8(0).U8(0);
  return s.bytes;
}

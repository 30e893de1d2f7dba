// What the storage tests share: file contents, items loaded and decoded, zlib
// streams made by hand, and a folder for extraction.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "storage/mxStorage.h"
#include "tests/support/host_files.h"

namespace storage_test {

inline std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

inline std::vector<uint8_t> Content(size_t size, bool compressible, unsigned seed = 7) {
  std::vector<uint8_t> bytes(size);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < size; ++i)
    bytes[i] =
        compressible ? static_cast<uint8_t>("Tramidex = (DESCRIPTION)\r\n"[i % 26]) : static_cast<uint8_t>(rng());
  return bytes;
}

inline std::vector<uint8_t> Decode(TmxStoredItem& item) {
  TMemoryStream out;
  item.SaveToStream(&out);
  return std::vector<uint8_t>(out.Memory(), out.Memory() + out.Size());
}

inline std::vector<uint8_t> StoredBytes(const TmxStoredItem& item) {
  return std::vector<uint8_t>(item.StoredData().Memory(), item.StoredData().Memory() + item.Size());
}

inline void Load(TmxStoredItem& item, const std::vector<uint8_t>& bytes) {
  TMemoryStream source;
  source.Assign(bytes.data(), bytes.size());
  item.LoadFromStream(&source);
}

// A storage that can be put into its loading state, as the form reader does.
struct StorageFixture : ::testing::Test {
  TmxStorage storage{nullptr};
  TmxStoredItem& AddItem(const std::string& name = "") {
    TmxStoredItem* item = storage.StoredItems().Add();
    if (!name.empty()) item->SetName(name);
    return *item;
  }
};

inline std::vector<uint8_t> Zlib(const std::vector<uint8_t>& inflated) {
  uLongf size = compressBound(inflated.size());
  std::vector<uint8_t> out(size);
  compress2(out.data(), &size, inflated.data(), inflated.size(), Z_DEFAULT_COMPRESSION);
  out.resize(size);
  return out;
}

inline std::vector<uint8_t> WithLength(int32_t length, const std::vector<uint8_t>& file) {
  std::vector<uint8_t> v(4 + file.size());
  for (int i = 0; i < 4; ++i) v[i] = static_cast<uint8_t>(static_cast<uint32_t>(length) >> (8 * i));
  std::copy(file.begin(), file.end(), v.begin() + 4);
  return v;
}

// Builds an item whose stored bytes are `zlib` (compressed at the default level).
inline void SetStored(TmxStoredItem& item, const std::vector<uint8_t>& zlib) {
  const std::vector<uint8_t> value = WithLength(static_cast<int32_t>(zlib.size()), zlib);
  TMemoryStream stream;
  stream.Assign(value.data(), value.size());
  item.ReadStoredItem(stream);
}

class ExtractToFile : public ::testing::Test {
 protected:
  TempFolder folder_;
  const std::filesystem::path& dir_ = folder_.Path();
  TmxStorage storage_{nullptr};
};

}  // namespace storage_test

// The stored-item codec: encoding at every level, the "StoredItem" value,
// damaged streams, the check before an install, events and extraction to files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>

#include "framework/errors.h"
#include "framework/native_files.h"
#include "storage/mxStorage.h"
#include "tests/storage/storage_test_support.h"
#include "tests/support/error_matcher.h"
#include "tests/support/row_name.h"

namespace {

using namespace storage_test;

struct LevelCase {
  TCompressionLevel level;
  uint8_t secondHeaderByte;  // zlib's header tells the level class
};

class RoundTrip : public ::testing::TestWithParam<std::tuple<LevelCase, size_t, bool>> {};

TEST_P(RoundTrip, RestoresTheFileExactly) {
  const auto [level, size, compressible] = GetParam();
  const std::vector<uint8_t> file = Content(size, compressible);
  TmxStorage storage(nullptr);
  TmxStoredItem& item = *storage.StoredItems().Add();
  item.SetCompression(level.level);
  Load(item, file);
  if (size == 0) {
    EXPECT_EQ(item.Size(), 0);  // an empty source leaves the item empty
  } else if (level.level == TCompressionLevel::clNone) {
    EXPECT_EQ(StoredBytes(item), file);
    EXPECT_EQ(item.FileSize(), 0);
  } else {
    EXPECT_EQ(item.FileSize(), static_cast<int32_t>(size));
    ASSERT_GE(item.Size(), 2);
    EXPECT_EQ(item.StoredData().Memory()[0], 0x78);
    EXPECT_EQ(item.StoredData().Memory()[1], level.secondHeaderByte);
  }
  EXPECT_EQ(Decode(item), file);

  // Through the "StoredItem" value into a fresh item.
  TMemoryStream value;
  item.WriteStoredItem(value);
  EXPECT_EQ(value.Size(), item.Size() + 4);
  TmxStoredItem& copy = *storage.StoredItems().Add();
  storage.BeginLoading();
  copy.SetCompression(level.level);
  storage.EndLoading();
  value.SetPosition(0);
  copy.ReadStoredItem(value);
  EXPECT_EQ(Decode(copy), file);
}

INSTANTIATE_TEST_SUITE_P(Levels, RoundTrip,
                         ::testing::Combine(::testing::Values(LevelCase{TCompressionLevel::clNone, 0},
                                                              LevelCase{TCompressionLevel::clFastest, 0x01},
                                                              LevelCase{TCompressionLevel::clDefault, 0x9C},
                                                              LevelCase{TCompressionLevel::clMax, 0xDA}),
                                            ::testing::Values(size_t{0}, size_t{1}, size_t{147}, size_t{200000}),
                                            ::testing::Bool()));

TEST(StoredItemValue, FramingOfTheNetServiceItem) {
  // A 147-byte file like the carried tnsnames.ora.
  std::string line =
      "Tramidex = (DESCRIPTION = (ADDRESS_LIST = (ADDRESS = (PROTOCOL = TCP)(HOST = 192.0.2.10)"
      "(PORT = 1521)) ) (CONNECT_DATA = (SID = vardo) ) )\r\n";
  line.resize(147, ' ');
  TmxStorage storage(nullptr);
  TmxStoredItem& item = *storage.StoredItems().Add();
  Load(item, Bytes(line));
  TMemoryStream value;
  item.WriteStoredItem(value);
  const uint8_t* v = value.Memory();
  const uint32_t n = static_cast<uint32_t>(item.Size());
  EXPECT_EQ(v[0] | v[1] << 8 | v[2] << 16 | v[3] << 24, n);
  EXPECT_EQ(v[4], 0x78);
  EXPECT_EQ(v[5], 0x9C);
  // Inflated: the length 147 (93 00 00 00), then the file.
  std::vector<uint8_t> inflated(151);
  uLongf inflatedSize = inflated.size();
  ASSERT_EQ(uncompress(inflated.data(), &inflatedSize, v + 4, n), Z_OK);
  ASSERT_EQ(inflatedSize, 151u);
  EXPECT_EQ(std::vector<uint8_t>(inflated.begin(), inflated.begin() + 4), (std::vector<uint8_t>{0x93, 0, 0, 0}));
  EXPECT_EQ(std::string(inflated.begin() + 4, inflated.end()), line);
}

const std::vector<uint8_t> kFile = Content(100000, false, 3);

// The file behind a length (its own, or one that disagrees with it), in one
// zlib stream, which `change` then damages when given.
struct DamageCase {
  const char* name;
  int32_t length;
  void (*change)(std::vector<uint8_t>& zlib);
  const char* message;
};
void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

class DamagedStream : public ExtractToFile, public ::testing::WithParamInterface<DamageCase> {};

// Decoding, the check before an install and an extraction over an existing
// file meet the same error; the file keeps its old content, and nothing else
// is left beside it.
TEST_P(DamagedStream, FailsWithTheDocumentedError) {
  std::vector<uint8_t> stored = Zlib(WithLength(GetParam().length, kFile));
  if (GetParam().change) GetParam().change(stored);
  TmxStoredItem& item = *storage_.StoredItems().Add();
  SetStored(item, stored);
  TMemoryStream out;
  EXPECT_EQ(ErrorOf<Exception>([&] { item.SaveToStream(&out); }), GetParam().message) << GetParam().name;
  EXPECT_EQ(ErrorOf<Exception>([&] { item.Verify(); }), GetParam().message) << GetParam().name;
  const auto path = dir_ / "Pliegorama.exe";
  std::ofstream(path) << "installed";
  EXPECT_EQ(ErrorOf<Exception>([&] { item.ExtractToFile(path.string(), NativeFileSystem()); }), GetParam().message);
  EXPECT_EQ(ReadHostFile(path), "installed");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedStream,
    ::testing::Values(
        DamageCase{"cut in the deflate data", 100000, [](auto& z) { z.resize(z.size() / 2); }, "Stream read error"},
        DamageCase{"cut before the trailer", 100000, [](auto& z) { z.resize(z.size() - 4); }, "Error"},
        DamageCase{"wrong Adler-32 trailer", 100000, [](auto& z) { z.back() ^= 1; }, "Error"},
        DamageCase{"bad header", 100000, [](auto& z) { z[0] = 0x77; }, "Error"},
        DamageCase{"content shorter than its length", 100001, nullptr, "Stream read error"},
        DamageCase{"content longer than its length", 99999, nullptr, "Error"},
        DamageCase{"negative length", -5, nullptr, "Stream read error"},
        DamageCase{"a flipped byte in the deflate data", 100000, [](auto& z) { z[z.size() / 2] ^= 0x10; }, "Error"},
        DamageCase{"bytes after the zlib stream", 100000, [](auto& z) { z.push_back(0); }, "Error"}),
    RowName());

TEST(StoredItemCodec, ZeroLengthContentExtractsToNothing) {
  TmxStorage storage(nullptr);
  TmxStoredItem& item = *storage.StoredItems().Add();
  SetStored(item, Zlib(WithLength(0, {})));
  EXPECT_TRUE(Decode(item).empty());
}

// What only the check sees: the stored bytes disagree with FileSize.
TEST_F(StorageFixture, VerifyComparesTheContentWithFileSize) {
  struct Case {
    const char* what;
    std::vector<uint8_t> stored;
    TCompressionLevel level;
    int32_t fileSize;
    const char* message;
  };
  const std::vector<uint8_t> file = Content(5000, true);
  for (const Case& c : {Case{"sound", Zlib(WithLength(5000, file)), TCompressionLevel::clDefault, 5000, "<no error>"},
                        Case{"another FileSize", Zlib(WithLength(5000, file)), TCompressionLevel::clDefault, 4999,
                             "The stored file is 5000 bytes long, its FileSize says 4999"},
                        Case{"no data for a file",
                             {},
                             TCompressionLevel::clDefault,
                             7,
                             "The stored item holds no data, its FileSize says 7"},
                        Case{"no data, no file", {}, TCompressionLevel::clDefault, 0, "<no error>"},
                        Case{"raw bytes carry no check", file, TCompressionLevel::clNone, 12, "<no error>"}}) {
    TmxStoredItem& item = AddItem();
    storage.BeginLoading();
    item.SetCompression(c.level);
    item.SetFileSize(c.fileSize);
    storage.EndLoading();
    SetStored(item, c.stored);
    EXPECT_EQ(ErrorOf<Exception>([&] { item.Verify(); }), c.message) << c.what;
  }
}

// A payload read with its owner shares the stored bytes instead of copying
// them; a change of Compression still re-encodes into the item's own store.
TEST(StoredItemValue, SharedBytesStayUntilTheItemChanges) {
  const std::vector<uint8_t> file = Content(3000, true);
  const std::vector<uint8_t> zlib = Zlib(WithLength(3000, file));
  const std::vector<uint8_t> value = WithLength(static_cast<int32_t>(zlib.size()), zlib);
  auto owner = std::make_shared<const std::vector<uint8_t>>(value);
  TmxStorage storage(nullptr);
  TmxStoredItem& item = *storage.StoredItems().Add();
  storage.BeginLoading();
  item.SetFileSize(3000);
  storage.EndLoading();
  TReadOnlyMemoryStream block(owner->data(), owner->size(), owner);
  item.ReadStoredItem(block);
  EXPECT_EQ(item.StoredData().Memory(), owner->data() + 4);
  EXPECT_EQ(item.Size(), static_cast<int32_t>(zlib.size()));
  EXPECT_EQ(Decode(item), file);
  item.SetCompression(TCompressionLevel::clMax);
  EXPECT_NE(item.StoredData().Memory(), owner->data() + 4);
  EXPECT_EQ(*owner, value);
  EXPECT_EQ(Decode(item), file);
}

TEST(StoredItemValue, ReadRejectsBadCounts) {
  struct Case {
    std::vector<uint8_t> value;
    int32_t size;
    const char* message;
  };
  for (const Case& c :
       {Case{{0, 0, 0, 0}, 0, ""}, Case{{3, 0, 0, 0, 1, 2}, -1, "Stream read error"},
        Case{{0xFF, 0xFF, 0xFF, 0xFF, 1}, -1, "Stream read error"},
        Case{{0xFF, 0xFF, 0xFF, 0x7F}, -1, "Stream read error"}, Case{{2, 0}, -1, "Stream read error"}}) {
    TmxStorage storage(nullptr);
    TmxStoredItem& item = *storage.StoredItems().Add();
    TMemoryStream value;
    value.Assign(c.value.data(), c.value.size());
    const std::string message = ErrorOf<EStreamError>([&] { item.ReadStoredItem(value); });
    EXPECT_EQ(message, *c.message ? c.message : "<no error>");
    if (c.size >= 0) {
      EXPECT_EQ(item.Size(), c.size);
    }
  }
}

TEST(StoredItemEvents, CompressionChangeReencodesWithEventsInOrder) {
  TmxStorage storage(nullptr);
  TmxStoredItem& item = *storage.StoredItems().Add();
  const std::vector<uint8_t> file = Content(5000, true);
  Load(item, file);
  std::vector<std::string> events;
  item.OnBeforeSave = [&](TPersistent*, TStream*) { events.push_back("BeforeSave"); };
  item.OnAfterSave = [&](TPersistent*) { events.push_back("AfterSave"); };
  item.OnBeforeLoad = [&](TPersistent*, TStream*) { events.push_back("BeforeLoad"); };
  item.OnAfterLoad = [&](TPersistent*) { events.push_back("AfterLoad"); };
  item.SetCompression(TCompressionLevel::clNone);
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeSave", "AfterSave", "BeforeLoad", "AfterLoad"}));
  EXPECT_EQ(item.Size(), 5000);      // raw bytes now
  EXPECT_EQ(item.FileSize(), 5000);  // kept
  EXPECT_EQ(StoredBytes(item), file);
  item.SetCompression(TCompressionLevel::clDefault);
  EXPECT_LT(item.Size(), 5000);
  EXPECT_EQ(Decode(item), file);
}

TEST(StoredItemEvents, EmptySourceRaisesNothingAndKeepsFileSize) {
  TmxStorage storage(nullptr);
  TmxStoredItem& item = *storage.StoredItems().Add();
  Load(item, Content(10, true));
  int loads = 0;
  item.OnAfterLoad = [&](TPersistent*) { ++loads; };
  TMemoryStream empty;
  item.LoadFromStream(&empty);
  item.LoadFromStream(nullptr);
  EXPECT_EQ(loads, 0);
  EXPECT_EQ(item.Size(), 0);
  EXPECT_EQ(item.FileSize(), 10);
}

TEST_F(ExtractToFile, ReplacesAnExistingLongerFileCompletely) {
  TmxStoredItem& item = *storage_.StoredItems().Add();
  Load(item, Bytes("short"));
  const auto path = dir_ / "out.bin";
  std::ofstream(path) << "a much longer previous content";
  item.ExtractToFile(path.string(), NativeFileSystem());
  item.ExtractToFile(path.string(), NativeFileSystem());  // an item extracts any number of times
  EXPECT_EQ(ReadHostFile(path), "short");
}

TEST_F(ExtractToFile, EmptyItemCreatesAnEmptyFileAndRaisesSaveEvents) {
  TmxStoredItem& item = *storage_.StoredItems().Add();
  int events = 0;
  item.OnBeforeSave = [&](TPersistent*, TStream*) { ++events; };
  item.OnAfterSave = [&](TPersistent*) { ++events; };
  const auto path = dir_ / "empty.bin";
  std::ofstream(path) << "old";
  item.ExtractToFile(path.string(), NativeFileSystem());
  EXPECT_EQ(ReadHostFile(path), "");
  EXPECT_EQ(events, 2);
}

TEST_F(ExtractToFile, MissingFolderFailsAndCreatesNothing) {
  TmxStoredItem& item = *storage_.StoredItems().Add();
  Load(item, Bytes("data"));
  const auto path = dir_ / "missing" / "out.bin";
  const std::string message = ErrorOf<EFCreateError>([&] { item.ExtractToFile(path.string(), NativeFileSystem()); });
  EXPECT_EQ(message.rfind("Cannot create file \"" + path.string() + "\". ", 0), 0u) << message;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
}

}  // namespace

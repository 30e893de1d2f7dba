// Memory streams, buffered reads and writes, block copies, and the native
// file system's replacement files.
#include "framework/streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>

#include "framework/errors.h"
#include "framework/native_files.h"
#include "tests/support/error_matcher.h"
#include "tests/support/host_files.h"

namespace {

TEST(MemoryStream, WriteThenReadRoundTrips) {
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  EXPECT_EQ(stream.Size(), 6);
  stream.SetPosition(2);
  char out[4] = {};
  stream.ReadBuffer(out, 3);
  EXPECT_STREQ(out, "cde");
  EXPECT_EQ(stream.Position(), 5);
}

TEST(MemoryStream, ReadPastEndFailsWithStreamReadError) {
  TMemoryStream stream;
  stream.WriteBuffer("ab", 2);
  stream.SetPosition(1);
  char out[2];
  EXPECT_EQ(ErrorOf<EReadError>([&] { stream.ReadBuffer(out, 2); }), "Stream read error");
}

TEST(MemoryStream, ShrinkingKeepsThePositionInsideTheStream) {
  for (int64_t newSize : {int64_t{2}, int64_t{0}, int64_t{-1}}) {
    TMemoryStream stream;
    stream.WriteBuffer("abcdef", 6);
    stream.SetSize(newSize);
    EXPECT_EQ(stream.Size(), std::max<int64_t>(newSize, 0)) << newSize;
    EXPECT_EQ(stream.Position(), stream.Size()) << newSize;
    char out;
    EXPECT_EQ(stream.Read(&out, 1), 0u) << newSize;
  }
}

TEST(MemoryStream, AssignFromItsOwnBytesKeepsThem) {
  struct Case {
    size_t from, count;
    const char* expected;
  };
  for (const Case& c : {Case{0, 6, "abcdef"}, Case{2, 3, "cde"}, Case{6, 0, ""}}) {
    TMemoryStream stream;
    stream.WriteBuffer("abcdef", 6);
    stream.Assign(stream.Memory() + c.from, c.count);
    EXPECT_EQ(stream.Position(), 0) << c.expected;
    std::string content(static_cast<size_t>(stream.Size()), '\0');
    if (!content.empty()) stream.ReadBuffer(&content[0], content.size());
    EXPECT_EQ(content, c.expected);
  }
}

TEST(ReadOnlyStream, WriteFailsWithStreamWriteError) {
  const uint8_t bytes[] = {1, 2, 3};
  TReadOnlyMemoryStream stream(bytes, sizeof bytes);
  EXPECT_THROW(stream.WriteBuffer("x", 1), EWriteError);
  uint8_t out[3];
  stream.ReadBuffer(out, 3);
  EXPECT_EQ(out[2], 3);
}

struct CopyCase {
  size_t sourceSize;
  int64_t count;  // 0: whole source
  int64_t startPosition;
};

class CopyFrom : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyFrom, CopiesExactlyTheRequestedBytes) {
  const CopyCase& c = GetParam();
  TMemoryStream source;
  std::vector<uint8_t> bytes(c.sourceSize);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  source.WriteBuffer(bytes.data(), bytes.size());
  source.SetPosition(c.startPosition);
  TMemoryStream target;
  target.CopyFrom(source, c.count);
  const size_t from = c.count == 0 ? 0 : static_cast<size_t>(c.startPosition);
  const size_t n = c.count == 0 ? c.sourceSize : static_cast<size_t>(c.count);
  ASSERT_EQ(target.Size(), static_cast<int64_t>(n));
  EXPECT_TRUE(std::equal(bytes.begin() + from, bytes.begin() + from + n, target.Memory()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, CopyFrom,
                         ::testing::Values(CopyCase{10, 0, 5}, CopyCase{61440, 61440, 0}, CopyCase{200000, 0, 0},
                                           CopyCase{200000, 150000, 3}, CopyCase{1, 1, 0}));

TEST(CopyFromShortSource, FailsWithStreamReadError) {
  TMemoryStream source, target;
  source.WriteBuffer("abc", 3);
  source.SetPosition(0);
  EXPECT_THROW(target.CopyFrom(source, 4), EReadError);
}

// In a named folder and, for a bare name, in the current one (whose entries
// are synced after the rename): the new content arrives whole and no
// temporary file stays beside it.
TEST(NativeReplacement, ReplacesTheTargetAndLeavesNothingBeside) {
  namespace fs = std::filesystem;
  const TempFolder folder;
  const fs::path& dir = folder.Path();
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  for (const std::string& target : {(dir / "named.bin").string(), std::string("bare.bin")}) {
    NativeFileSystem().ReplaceContent(target, {'o', 'l', 'd', '!'});
    NativeFileSystem().ReplaceContent(target, {'n', 'e', 'w'});
    std::unique_ptr<TStream> file = NativeFileSystem().OpenFileStream(target);
    EXPECT_EQ(ReadAll(*file), (std::vector<uint8_t>{'n', 'e', 'w'})) << target;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  fs::current_path(previous);
}

}  // namespace

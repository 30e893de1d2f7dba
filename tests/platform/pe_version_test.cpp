// The portable version reader on damaged images: never a crash, never a guess.
#include "storage/pe_image.h"

#include <gtest/gtest.h>

#include "tests/support/pe_builder.h"

namespace {

std::optional<FileVersion> Read(const std::string& image) {
  return ReadFixedFileVersion(reinterpret_cast<const uint8_t*>(image.data()), image.size());
}

TEST(PeVersion, ReadsTheFileVersionNotTheProductVersion) {
  const auto version = Read(BuildPeImage(platform::FileVersion{1, 0, 4, 6}));
  ASSERT_TRUE(version);
  EXPECT_EQ(version->major, 1);
  EXPECT_EQ(version->minor, 0);
  EXPECT_EQ(version->release, 4);
  EXPECT_EQ(version->build, 6);
}

TEST(PeVersion, EveryTruncationFailsCleanly) {
  const std::string image = BuildPeImage(platform::FileVersion{1, 2, 3, 4});
  // The version block ends at 0x200 + 0x58 + 92; everything after is padding.
  const size_t used = 0x200 + 0x58 + 92;
  for (size_t size = 0; size < used; ++size) EXPECT_FALSE(Read(image.substr(0, size))) << size;
  EXPECT_TRUE(Read(image.substr(0, used)));
}

TEST(PeVersion, CorruptFieldsAreRejected) {
  const std::string good = BuildPeImage(platform::FileVersion{1, 2, 3, 4});
  const struct {
    const char* what;
    size_t offset;
    uint32_t value;
    size_t width;
  } cases[] = {
      {"DOS signature", 0x00, 0x5A4E, 2},
      {"PE offset beyond the file", 0x3C, 0xFFFFFFF0, 4},
      {"optional header magic", 0x58, 0x0107, 2},
      {"too few data directories", 0x58 + 92, 2, 4},
      {"section count above the limit", 0x46, 200, 2},
      {"section raw offset beyond the file", 0x138 + 20, 0xFFFFFF00, 4},
      {"resource rva outside every section", 0x58 + 112, 0x9000, 4},
      {"no RT_VERSION entry", 0x200 + 16, 10, 4},
      {"type entry points at data", 0x200 + 20, 0x18, 4},
      {"subdirectory offset wraps", 0x200 + 20, 0xFFFFFFF8, 4},
      {"entry count beyond the section", 0x200 + 14, 0xFFFF, 2},
      {"data size beyond the section", 0x248 + 4, 0x10000, 4},
      {"version key", 0x258 + 6, 'W', 2},
      {"fixed info signature", 0x258 + 40, 0xFEEF04BC, 4},
      {"block length too small", 0x258, 20, 2},
  };
  for (const auto& c : cases) {
    std::string image = good;
    for (size_t i = 0; i < c.width; ++i) image[c.offset + i] = static_cast<char>(c.value >> (8 * i));
    EXPECT_FALSE(Read(image)) << c.what;
  }
}

}  // namespace

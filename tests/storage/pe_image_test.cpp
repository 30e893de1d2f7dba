// The PE resource reader: finding form streams and file versions in 32-bit
// and 64-bit images, and refusing malformed ones without reading outside.
#include "storage/pe_image.h"

#include <gtest/gtest.h>

#include "framework/errors.h"
#include "tests/support/pe_builder.h"

namespace {

const std::vector<uint8_t> kForm = {'T', 'P', 'F', '0', 1, 2, 3};
const std::vector<uint8_t> kOther = {'o', 't', 'h', 'e', 'r'};

std::vector<PeResourceDef> SampleResources() {
  return {{kRtRcData, "TFORMINSTALADOR", 0, 0, kOther},
          {kRtRcData, "TFORMEXE", 0, 0x0C0A, kOther},  // Spanish first: the neutral one must still win
          {kRtRcData, "TFORMEXE", 0, 0, kForm},
          {kRtRcData, "", 7, 0, kOther},
          {kRtVersion, "", 1, 0x0409, VersionInfo(1, 2, 3, 4)}};
}

std::vector<uint8_t> Found(const std::vector<uint8_t>& image, const std::string& name) {
  std::optional<ByteRange> r = FindRcDataResource(image.data(), image.size(), name);
  if (!r) return {};
  return std::vector<uint8_t>(r->data, r->data + r->size);
}

// A signing tool appends a certificate table past the last section: a signed
// image must read exactly as the unsigned one.
struct PeShape {
  bool pe64;
  bool signedImage;
};

void PrintTo(const PeShape& shape, std::ostream* out) {
  *out << (shape.pe64 ? "PE64" : "PE32") << (shape.signedImage ? ", signed" : "");
}

// Bytes a careless reader could take for something: a form signature, an MZ header.
const std::vector<uint8_t> kCertificate = {0x30, 0x82, 0x00, 0x0C, 'T', 'P', 'F', '0', 'M', 'Z', 0, 0, 0x40, 0, 0, 0};

class PeImageTest : public ::testing::TestWithParam<PeShape> {
 protected:
  static std::vector<uint8_t> Image(const std::vector<PeResourceDef>& resources) {
    std::vector<uint8_t> image = BuildPe(GetParam().pe64, resources).image;
    if (GetParam().signedImage) AppendCertificateTable(image, GetParam().pe64, kCertificate);
    return image;
  }
};

TEST_P(PeImageTest, FindsTheNamedResourceInTheNeutralLanguage) {
  const std::vector<uint8_t> image = Image(SampleResources());
  EXPECT_EQ(Found(image, "TFORMEXE"), kForm);
  EXPECT_EQ(Found(image, "TFormExe"), kForm);
  EXPECT_EQ(Found(image, "TFORMINSTALADOR"), kOther);
  EXPECT_FALSE(FindRcDataResource(image.data(), image.size(), "TFORMEX"));
  EXPECT_FALSE(FindPeResource(image.data(), image.size(), 3, "TFORMEXE"));
}

TEST_P(PeImageTest, TakesTheOnlyLanguageWhenNotNeutral) {
  const std::vector<uint8_t> image = Image({{kRtRcData, "TFORMEXE", 0, 0x0409, kForm}});
  EXPECT_EQ(Found(image, "TFORMEXE"), kForm);
}

TEST_P(PeImageTest, ReadsTheFixedFileVersion) {
  const std::vector<uint8_t> image = Image(SampleResources());
  const std::optional<FileVersion> v = ReadFixedFileVersion(image.data(), image.size());
  ASSERT_TRUE(v);
  EXPECT_EQ(v->major, 1);
  EXPECT_EQ(v->minor, 2);
  EXPECT_EQ(v->release, 3);
  EXPECT_EQ(v->build, 4);
  const std::vector<uint8_t> none = Image({{kRtRcData, "X", 0, 0, kForm}});
  EXPECT_FALSE(ReadFixedFileVersion(none.data(), none.size()));
}

// Every prefix of an image: a clean error or a clean "not found", never a read outside.
TEST_P(PeImageTest, EveryTruncationIsHandled) {
  const std::vector<uint8_t> image = Image(SampleResources());
  for (size_t cut = 0; cut < image.size(); cut += (cut < 0x300 ? 1 : 7)) {
    const std::vector<uint8_t> part(image.begin(), image.begin() + cut);
    try {
      std::optional<ByteRange> r = FindRcDataResource(part.data(), part.size(), "TFORMEXE");
      if (r) {
        EXPECT_LE(r->data + r->size, part.data() + part.size());
      }
    } catch (const EFormatError& error) {
      EXPECT_EQ(error.Message().rfind("Malformed executable: ", 0), 0u) << error.Message();
    }
    ReadFixedFileVersion(part.data(), part.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, PeImageTest,
                         ::testing::Values(PeShape{false, false}, PeShape{true, false}, PeShape{false, true},
                                           PeShape{true, true}),
                         [](const ::testing::TestParamInfo<PeShape>& info) {
                           return std::string(info.param.pe64 ? "PE64" : "PE32") +
                                  (info.param.signedImage ? "Signed" : "");
                         });

struct Damage {
  const char* expected;
  size_t offset;  // from the resource section's start, or the file's when `inHeaders`
  bool inHeaders;
  uint32_t value;
  int width;
  size_t cut = 0;  // when not 0, where the file ends, from the same start as `offset`
};

TEST(PeImageDamage, PointersOutsideTheImageAreReported) {
  const Damage cases[] = {
      {"Malformed executable: no MZ header", 0, true, 0x5A4E, 2},
      {"Malformed executable: no PE header", 0x3C, true, 0xFFFFFFF0u, 4},
      {"Malformed executable: no PE header", 0x40, true, 0x00004551, 4},
      {"Malformed executable: unknown optional header", 0x58, true, 0x10C, 2},
      {"Malformed executable: too many sections", 0x46, true, 0xFFFF, 2},
      {"Malformed executable: section table outside the file", 0x46, true, 200, 2},
      {"Malformed executable: too many resource entries", 14, false, 0xFFFF, 2},
      {"Malformed executable: resource directory outside the file", 20, false, 0x80FFFFF0u, 4},
      {"Malformed executable: resource tree shallower than three levels", 20, false, 0x40, 4},
      // Files that end inside a field: the directory count, a section header, a directory's entries.
      {"Malformed executable: optional header cut short", 0x58, true, pe::kPe32Magic, 2, 0xB6},
      {"Malformed executable: section table outside the file", 0x46, true, 1, 2, 0x138 + 20},
      {"Malformed executable: resource directory outside the file", 0, false, 0, 4, 20},
  };
  for (const Damage& d : cases) {
    PeLayout pe = BuildPe(false, SampleResources());
    const size_t start = d.inHeaders ? 0 : pe.resourceOffset;
    PutLe(pe.image, start + d.offset, d.value, d.width);
    if (d.cut) pe.image.resize(start + d.cut);
    try {
      FindRcDataResource(pe.image.data(), pe.image.size(), "TFORMEXE");
      ADD_FAILURE() << d.expected;
    } catch (const EFormatError& error) {
      EXPECT_EQ(error.Message(), d.expected);
    }
    if (d.inHeaders) {
      EXPECT_FALSE(ReadFixedFileVersion(pe.image.data(), pe.image.size())) << d.expected;
    }
  }
}

TEST(PeImageDamage, DataBeyondTheSectionIsReported) {
  PeLayout pe = BuildPe(true, {{kRtRcData, "TFORMEXE", 0, 0, kForm}});
  std::optional<ByteRange> r = FindRcDataResource(pe.image.data(), pe.image.size(), "TFORMEXE");
  ASSERT_TRUE(r);
  // The data entry's size field sits 4 bytes after its RVA, 16 bytes before the data.
  const size_t sizeField = static_cast<size_t>(r->data - pe.image.data()) - 16 + 4;
  PutLe(pe.image, sizeField, 0xFFFFFFF0u, 4);
  EXPECT_THROW(FindRcDataResource(pe.image.data(), pe.image.size(), "TFORMEXE"), EFormatError);
}

}  // namespace

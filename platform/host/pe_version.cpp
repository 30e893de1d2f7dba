// Walks DOS header, PE headers, section table and the three levels of the
// resource tree to the VS_FIXEDFILEINFO of the first RT_VERSION resource.
#include "platform/host/pe_version.h"

namespace platform {
namespace {

// Bounded reads over the whole file; every read past the end fails.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t size() const { return size_; }
  bool Has(size_t off, size_t len) const { return off <= size_ && len <= size_ - off; }
  std::optional<uint16_t> U16(size_t off) const {
    if (!Has(off, 2)) return std::nullopt;
    return static_cast<uint16_t>(data_[off] | data_[off + 1] << 8);
  }
  std::optional<uint32_t> U32(size_t off) const {
    if (!Has(off, 4)) return std::nullopt;
    return static_cast<uint32_t>(data_[off]) | static_cast<uint32_t>(data_[off + 1]) << 8 |
           static_cast<uint32_t>(data_[off + 2]) << 16 | static_cast<uint32_t>(data_[off + 3]) << 24;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr size_t kFixedInfoSize = 52;

struct Section {
  uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

class PeImage {
 public:
  explicit PeImage(Cursor file) : file_(file) {}

  bool ReadHeaders() {
    if (file_.U16(0) != 0x5A4D) return false;  // "MZ"
    const auto peOffset = file_.U32(0x3C);
    if (!peOffset || file_.U32(*peOffset) != 0x00004550) return false;  // "PE\0\0"
    const size_t coff = *peOffset + size_t{4};
    const auto sectionCount = file_.U16(coff + 2);
    const auto optionalSize = file_.U16(coff + 16);
    if (!sectionCount || !optionalSize) return false;
    const size_t optional = coff + 20;
    const auto magic = file_.U16(optional);
    size_t directories;
    std::optional<uint32_t> directoryCount;
    if (magic == 0x10B) {
      directoryCount = file_.U32(optional + 92);
      directories = optional + 96;
    } else if (magic == 0x20B) {
      directoryCount = file_.U32(optional + 108);
      directories = optional + 112;
    } else {
      return false;
    }
    if (!directoryCount || *directoryCount < 3) return false;
    const auto resourceRva = file_.U32(directories + 2 * 8);
    if (!resourceRva || *resourceRva == 0) return false;
    resourceRva_ = *resourceRva;

    if (*sectionCount > kMaxSections) return false;  // the loader's own limit
    const size_t table = optional + *optionalSize;
    for (size_t i = 0; i < *sectionCount; ++i) {
      const size_t entry = table + i * 40;
      const auto virtualSize = file_.U32(entry + 8), virtualAddress = file_.U32(entry + 12);
      const auto rawSize = file_.U32(entry + 16), rawOffset = file_.U32(entry + 20);
      if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) return false;
      sections_[sectionCount_++] = Section{*virtualAddress, *virtualSize, *rawOffset, *rawSize};
    }
    return true;
  }

  // File offset of `len` bytes at `rva`, when they lie in one section's raw data.
  std::optional<size_t> Offset(uint32_t rva, size_t len) const {
    for (size_t i = 0; i < sectionCount_; ++i) {
      const Section& s = sections_[i];
      if (rva < s.virtualAddress) continue;
      const uint32_t delta = rva - s.virtualAddress;
      if (delta >= s.rawSize) continue;
      if (len > s.rawSize - delta) return std::nullopt;
      const size_t offset = size_t{s.rawOffset} + delta;
      if (!file_.Has(offset, len)) return std::nullopt;
      return offset;
    }
    return std::nullopt;
  }

  // The entry of a resource directory (at `dirOffset` within the resource
  // section) whose id matches, or the first entry when `id` is empty.
  std::optional<uint32_t> Entry(uint32_t dirOffset, std::optional<uint32_t> id) const {
    const auto dir = Offset(resourceRva_ + dirOffset, 16);
    if (!dir || resourceRva_ + dirOffset < resourceRva_) return std::nullopt;
    const auto named = file_.U16(*dir + 12), ids = file_.U16(*dir + 14);
    const size_t count = size_t{*named} + *ids;
    const auto entries = Offset(resourceRva_ + dirOffset + 16, count * 8);
    if (!entries) return std::nullopt;
    for (size_t i = 0; i < count; ++i) {
      const uint32_t name = *file_.U32(*entries + i * 8);
      const uint32_t target = *file_.U32(*entries + i * 8 + 4);
      if (!id || (name == *id && i >= *named)) return target;
    }
    return std::nullopt;
  }

  uint32_t ResourceRva() const { return resourceRva_; }
  const Cursor& File() const { return file_; }

 private:
  static constexpr size_t kMaxSections = 96;
  Cursor file_;
  uint32_t resourceRva_ = 0;
  Section sections_[kMaxSections] = {};
  size_t sectionCount_ = 0;
};

}  // namespace

std::optional<FileVersion> ReadPeFileVersion(const uint8_t* data, size_t size) {
  PeImage image(Cursor(data, size));
  if (!image.ReadHeaders()) return std::nullopt;

  // Type, then name, then language: exactly three levels, the first two
  // pointing at subdirectories and the last at a data entry.
  const auto type = image.Entry(0, kRtVersion);
  if (!type || !(*type & kSubdirectoryFlag)) return std::nullopt;
  const auto name = image.Entry(*type & ~kSubdirectoryFlag, std::nullopt);
  if (!name || !(*name & kSubdirectoryFlag)) return std::nullopt;
  const auto language = image.Entry(*name & ~kSubdirectoryFlag, std::nullopt);
  if (!language || (*language & kSubdirectoryFlag)) return std::nullopt;

  const auto entry = image.Offset(image.ResourceRva() + *language, 16);
  if (!entry || image.ResourceRva() + *language < image.ResourceRva()) return std::nullopt;
  const Cursor& file = image.File();
  const uint32_t dataRva = *file.U32(*entry);
  const uint32_t dataSize = *file.U32(*entry + 4);
  const auto block = image.Offset(dataRva, dataSize);
  if (!block) return std::nullopt;

  // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding
  // to 32 bits, then the fixed block.
  static const char kKey[] = "VS_VERSION_INFO";
  const size_t keyLength = sizeof kKey;  // with its NUL
  const size_t valueOffset = (6 + keyLength * 2 + 3) & ~size_t{3};
  if (dataSize < valueOffset + kFixedInfoSize) return std::nullopt;
  const uint16_t length = *file.U16(*block);
  const uint16_t valueLength = *file.U16(*block + 2);
  if (length > dataSize || length < valueOffset + kFixedInfoSize || valueLength < kFixedInfoSize)
    return std::nullopt;
  for (size_t i = 0; i < keyLength; ++i) {
    if (*file.U16(*block + 6 + i * 2) != static_cast<uint8_t>(kKey[i])) return std::nullopt;
  }
  const size_t fixed = *block + valueOffset;
  if (*file.U32(fixed) != kFixedInfoSignature) return std::nullopt;
  const uint32_t high = *file.U32(fixed + 8), low = *file.U32(fixed + 12);
  FileVersion version;
  version.major = static_cast<uint16_t>(high >> 16);
  version.minor = static_cast<uint16_t>(high & 0xFFFF);
  version.release = static_cast<uint16_t>(low >> 16);
  version.build = static_cast<uint16_t>(low & 0xFFFF);
  return version;
}

}  // namespace platform

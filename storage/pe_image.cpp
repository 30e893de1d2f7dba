// PE headers, section table and the three-level resource tree, every offset
// checked against the image before it is followed.
#include "storage/pe_image.h"

#include <vector>

#include "framework/errors.h"
#include "framework/text_case.h"
#include "storage/byte_cursor.h"
#include "storage/payload_messages.h"

namespace {

constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kNamedEntryFlag = 0x80000000u;
// More entries than any real executable has in one resource directory.
constexpr uint32_t kMaxDirectoryEntries = 4096;
constexpr uint16_t kMaxSections = 1024;
constexpr uint16_t kMaxResourceNameLength = 255;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;

[[noreturn]] void Malformed(const char* what) { throw EFormatError(Format(msg::kMalformedExecutable, what)); }

struct Section {
  uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

struct DirectoryEntry {
  uint32_t name;  // an ID, or kNamedEntryFlag | offset of a counted UTF-16 name
  uint32_t data;  // kSubdirectoryFlag | offset of a directory, or offset of a data entry
};

class PeImage {
 public:
  PeImage(const uint8_t* data, size_t size) : data_(data), size_(size) {
    uint16_t mz = 0;
    uint32_t peOffset = 0, peSignature = 0;
    if (!ReadU16At(data, size, 0, mz) || mz != 0x5A4D) Malformed("no MZ header");
    if (!ReadU32At(data, size, 0x3C, peOffset) || !ReadU32At(data, size, peOffset, peSignature) ||
        peSignature != 0x00004550u)
      Malformed("no PE header");
    const size_t coff = size_t{peOffset} + 4;
    uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!ReadU16At(data, size, coff + 2, sectionCount) || !ReadU16At(data, size, coff + 16, optionalSize))
      Malformed("file header cut short");
    const size_t optional = coff + 20;
    if (!ReadU16At(data, size, optional, magic)) Malformed("optional header cut short");
    size_t directories = 0, countAt = 0;
    if (magic == 0x10B) {
      countAt = 92, directories = 96;
    } else if (magic == 0x20B) {
      countAt = 108, directories = 112;
    } else {
      Malformed("unknown optional header");
    }
    uint32_t directoryCount = 0;
    if (!ReadU32At(data, size, optional + countAt, directoryCount)) Malformed("optional header cut short");
    const size_t resourceEntry = directories + 2 * 8;  // data directory 2: resources
    if (directoryCount > 2 && resourceEntry + 8 <= optionalSize) {
      if (!ReadU32At(data, size, optional + resourceEntry, resourceRva_) ||
          !ReadU32At(data, size, optional + resourceEntry + 4, resourceSize_))
        Malformed("optional header cut short");
    }
    if (sectionCount > kMaxSections) Malformed("too many sections");
    const size_t table = optional + optionalSize;
    if (table > size || !(size_t{sectionCount} * 40 <= size - table)) Malformed("section table outside the file");
    for (uint16_t i = 0; i < sectionCount; ++i) {
      const size_t at = table + size_t{i} * 40;
      Section s{};
      ReadU32At(data, size, at + 8, s.virtualSize);
      ReadU32At(data, size, at + 12, s.virtualAddress);
      ReadU32At(data, size, at + 16, s.rawSize);
      ReadU32At(data, size, at + 20, s.rawOffset);
      sections_.push_back(s);
    }
  }

  bool HasResources() const { return resourceRva_ != 0 && resourceSize_ != 0; }

  // File offset of `len` bytes at `rva`, all inside one section's file data.
  size_t Locate(uint64_t rva, uint64_t len, const char* what) const {
    for (const Section& s : sections_) {
      const uint64_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
      if (rva < s.virtualAddress || !(rva - s.virtualAddress < span)) continue;
      const uint64_t delta = rva - s.virtualAddress;
      // Bytes past the section's file data are zeros in memory, not in the file.
      if (!(delta <= s.rawSize) || !(len <= s.rawSize - delta)) Malformed(what);
      const uint64_t offset = uint64_t{s.rawOffset} + delta;
      if (!(offset <= size_) || !(len <= size_ - offset)) Malformed(what);
      return static_cast<size_t>(offset);
    }
    Malformed(what);
  }

  // A resource-tree offset (relative to the tree's start) as a file offset.
  size_t LocateInTree(uint32_t relative, uint64_t len, const char* what) const {
    if (!(relative < resourceSize_)) Malformed(what);
    return Locate(uint64_t{resourceRva_} + relative, len, what);
  }

  std::vector<DirectoryEntry> Directory(uint32_t relative) const {
    const size_t at = LocateInTree(relative, 16, "resource directory outside the file");
    uint16_t named = 0, ids = 0;
    ReadU16At(data_, size_, at + 12, named);
    ReadU16At(data_, size_, at + 14, ids);
    const uint32_t count = uint32_t{named} + ids;
    if (count > kMaxDirectoryEntries) Malformed("too many resource entries");
    const size_t entries = LocateInTree(relative, 16 + uint64_t{count} * 8, "resource directory outside the file");
    std::vector<DirectoryEntry> result(count);
    for (uint32_t i = 0; i < count; ++i) {
      ReadU32At(data_, size_, entries + 16 + size_t{i} * 8, result[i].name);
      ReadU32At(data_, size_, entries + 20 + size_t{i} * 8, result[i].data);
    }
    return result;
  }

  bool NameMatches(uint32_t nameField, const std::string& wanted) const {
    if (!(nameField & kNamedEntryFlag)) return false;
    const uint32_t relative = nameField & ~kNamedEntryFlag;
    const size_t at = LocateInTree(relative, 2, "resource name outside the file");
    uint16_t length = 0;
    ReadU16At(data_, size_, at, length);
    if (length > kMaxResourceNameLength || length != wanted.size()) return false;
    const size_t chars = LocateInTree(relative, 2 + uint64_t{length} * 2, "resource name outside the file") + 2;
    for (uint16_t i = 0; i < length; ++i) {
      uint16_t unit = 0;
      ReadU16At(data_, size_, chars + size_t{i} * 2, unit);
      if (unit > 0x7F || AsciiUpper(static_cast<char>(unit)) != AsciiUpper(wanted[i])) return false;
    }
    return true;
  }

  PeResource Data(uint32_t relative) const {
    const size_t at = LocateInTree(relative, 16, "resource data entry outside the file");
    uint32_t rva = 0, length = 0;
    ReadU32At(data_, size_, at, rva);
    ReadU32At(data_, size_, at + 4, length);
    const size_t offset = Locate(rva, length, "resource data outside the file");
    return {data_ + offset, length};
  }

  // Type, then name (any when `name` is null), then language.
  std::optional<PeResource> Find(uint32_t type, const std::string* name) const {
    if (!HasResources()) return std::nullopt;
    const DirectoryEntry* typeEntry = nullptr;
    const std::vector<DirectoryEntry> types = Directory(0);
    for (const DirectoryEntry& e : types)
      if (!(e.name & kNamedEntryFlag) && e.name == type) typeEntry = &e;
    if (!typeEntry) return std::nullopt;
    const std::vector<DirectoryEntry> names = Directory(Subdirectory(*typeEntry));
    const DirectoryEntry* nameEntry = nullptr;
    for (const DirectoryEntry& e : names) {
      if (!name || NameMatches(e.name, *name)) {
        nameEntry = &e;
        break;
      }
    }
    if (!nameEntry) return std::nullopt;
    const std::vector<DirectoryEntry> languages = Directory(Subdirectory(*nameEntry));
    if (languages.empty()) return std::nullopt;
    const DirectoryEntry* chosen = &languages.front();
    for (const DirectoryEntry& e : languages)
      if (e.name == 0) chosen = &e;  // the neutral language wins
    if (chosen->data & kSubdirectoryFlag) Malformed("resource tree deeper than three levels");
    return Data(chosen->data);
  }

 private:
  static uint32_t Subdirectory(const DirectoryEntry& e) {
    if (!(e.data & kSubdirectoryFlag)) Malformed("resource tree shallower than three levels");
    return e.data & ~kSubdirectoryFlag;
  }

  const uint8_t* data_;
  size_t size_;
  uint32_t resourceRva_ = 0, resourceSize_ = 0;
  std::vector<Section> sections_;
};

}  // namespace

std::optional<PeResource> FindPeResource(const uint8_t* image, size_t size, uint32_t type, const std::string& name) {
  return PeImage(image, size).Find(type, &name);
}

std::optional<FileVersion> ReadFixedFileVersion(const uint8_t* data, size_t size) {
  std::optional<PeResource> resource;
  try {
    resource = PeImage(data, size).Find(kRtVersion, nullptr);
  } catch (const EFormatError&) {
    return std::nullopt;
  }
  if (!resource) return std::nullopt;
  return ReadVersionBlock(resource->data, resource->size);
}

std::optional<FileVersion> ReadVersionBlock(const uint8_t* p, size_t n) {
  // VS_VERSIONINFO: wLength, wValueLength, wType, the key "VS_VERSION_INFO"
  // with its NUL in UTF-16, padding to 32 bits, then VS_FIXEDFILEINFO.
  uint16_t valueLength = 0;
  if (!ReadU16At(p, n, 2, valueLength) || valueLength < 52) return std::nullopt;
  // The key must be "VS_VERSION_INFO": anything else is not a version block.
  static const char kKey[] = "VS_VERSION_INFO";
  size_t at = 6;
  for (size_t i = 0; i < sizeof kKey; ++i, at += 2) {
    uint16_t unit = 0;
    if (!ReadU16At(p, n, at, unit) || unit != static_cast<uint8_t>(kKey[i])) return std::nullopt;
  }
  at = (at + 3) & ~size_t{3};
  // The block's own length must cover the fixed information it claims to hold.
  uint16_t blockLength = 0;
  if (!ReadU16At(p, n, 0, blockLength) || blockLength > n || blockLength < at || blockLength - at < 52)
    return std::nullopt;
  uint32_t signature = 0, fileMs = 0, fileLs = 0;
  if (!ReadU32At(p, n, at, signature) || signature != kFixedFileInfoSignature) return std::nullopt;
  if (!ReadU32At(p, n, at + 8, fileMs) || !ReadU32At(p, n, at + 12, fileLs)) return std::nullopt;
  FileVersion version;
  version.major = static_cast<uint16_t>(fileMs >> 16);
  version.minor = static_cast<uint16_t>(fileMs);
  version.release = static_cast<uint16_t>(fileLs >> 16);
  version.build = static_cast<uint16_t>(fileLs);
  return version;
}

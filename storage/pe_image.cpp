// PE headers, section table and the three-level resource tree, every offset
// checked against the image before it is followed.
#include "storage/pe_image.h"

#include <vector>

#include "framework/errors.h"
#include "framework/text_case.h"
#include "storage/byte_cursor.h"
#include "storage/payload_messages.h"
#include "storage/pe_format.h"

namespace {

// More entries than any real executable has in one resource directory.
constexpr uint32_t kMaxDirectoryEntries = 4096;
constexpr uint16_t kMaxSections = 1024;
constexpr uint16_t kMaxResourceNameLength = 255;

[[noreturn]] void Malformed(const char* what) { throw EFormatError(Format(msg::kMalformedExecutable, what)); }

struct Section {
  uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

struct DirectoryEntry {
  uint32_t name;  // an ID, or pe::kNamedEntryFlag | offset of a counted UTF-16 name
  uint32_t data;  // pe::kSubdirectoryFlag | offset of a directory, or offset of a data entry
};

class PeImage {
 public:
  PeImage(const uint8_t* data, size_t size) : data_(data), size_(size) {
    if (U16(0, "no MZ header") != pe::kMzSignature) Malformed("no MZ header");
    const uint32_t peOffset = U32(pe::kPeHeaderOffsetField, "no PE header");
    if (U32(peOffset, "no PE header") != pe::kPeSignature) Malformed("no PE header");
    const size_t coff = size_t{peOffset} + pe::kPeSignatureSize;
    const uint16_t sectionCount = U16(coff + pe::kSectionCountField, "file header cut short");
    const uint16_t optionalSize = U16(coff + pe::kOptionalHeaderSizeField, "file header cut short");
    const size_t optional = coff + pe::kFileHeaderSize;
    const uint16_t magic = U16(optional + pe::kMagicField, "optional header cut short");
    size_t directories = 0, countAt = 0;
    if (magic == pe::kPe32Magic) {
      countAt = pe::kPe32DirectoryCountField, directories = pe::kPe32DirectoriesField;
    } else if (magic == pe::kPe64Magic) {
      countAt = pe::kPe64DirectoryCountField, directories = pe::kPe64DirectoriesField;
    } else {
      Malformed("unknown optional header");
    }
    const uint32_t directoryCount = U32(optional + countAt, "optional header cut short");
    const size_t resourceEntry = directories + pe::kResourceDirectoryIndex * pe::kDataDirectorySize;
    if (directoryCount > pe::kResourceDirectoryIndex && resourceEntry + pe::kDataDirectorySize <= optionalSize) {
      resourceRva_ = U32(optional + resourceEntry, "optional header cut short");
      resourceSize_ = U32(optional + resourceEntry + pe::kDataDirectorySizeField, "optional header cut short");
    }
    if (sectionCount > kMaxSections) Malformed("too many sections");
    const size_t table = optional + optionalSize;
    const char* const outside = "section table outside the file";
    if (table > size || !(size_t{sectionCount} * pe::kSectionHeaderSize <= size - table)) Malformed(outside);
    for (uint16_t i = 0; i < sectionCount; ++i) {
      const size_t at = table + size_t{i} * pe::kSectionHeaderSize;
      sections_.push_back({U32(at + pe::kSectionVirtualAddressField, outside),
                           U32(at + pe::kSectionVirtualSizeField, outside), U32(at + pe::kSectionRawSizeField, outside),
                           U32(at + pe::kSectionRawOffsetField, outside)});
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
    const char* const outside = "resource directory outside the file";
    const size_t at = LocateInTree(relative, pe::kResourceDirectoryHeaderSize, outside);
    const uint32_t count =
        uint32_t{U16(at + pe::kNamedEntryCountField, outside)} + U16(at + pe::kIdEntryCountField, outside);
    if (count > kMaxDirectoryEntries) Malformed("too many resource entries");
    const size_t entries =
        LocateInTree(relative, pe::kResourceDirectoryHeaderSize + uint64_t{count} * pe::kResourceEntrySize, outside) +
        pe::kResourceDirectoryHeaderSize;
    std::vector<DirectoryEntry> result(count);
    for (uint32_t i = 0; i < count; ++i) {
      const size_t entry = entries + size_t{i} * pe::kResourceEntrySize;
      result[i] = {U32(entry, outside), U32(entry + pe::kResourceEntryDataField, outside)};
    }
    return result;
  }

  bool NameMatches(uint32_t nameField, const std::string& wanted) const {
    if (!(nameField & pe::kNamedEntryFlag)) return false;
    const uint32_t relative = nameField & ~pe::kNamedEntryFlag;
    const char* const outside = "resource name outside the file";
    const uint16_t length = U16(LocateInTree(relative, 2, outside), outside);
    if (length > kMaxResourceNameLength || length != wanted.size()) return false;
    const size_t chars = LocateInTree(relative, 2 + uint64_t{length} * 2, outside) + 2;
    for (uint16_t i = 0; i < length; ++i) {
      const uint16_t unit = U16(chars + size_t{i} * 2, outside);
      if (unit > 0x7F || AsciiUpper(static_cast<char>(unit)) != AsciiUpper(wanted[i])) return false;
    }
    return true;
  }

  ByteRange Data(uint32_t relative) const {
    const char* const outside = "resource data entry outside the file";
    const size_t at = LocateInTree(relative, pe::kResourceDataEntrySize, outside);
    const uint32_t rva = U32(at, outside), length = U32(at + pe::kResourceDataSizeField, outside);
    const size_t offset = Locate(rva, length, "resource data outside the file");
    return {data_ + offset, length};
  }

  // Type, then name (any when `name` is null), then language.
  std::optional<ByteRange> Find(uint32_t type, const std::string* name) const {
    if (!HasResources()) return std::nullopt;
    const DirectoryEntry* typeEntry = nullptr;
    const std::vector<DirectoryEntry> types = Directory(0);
    for (const DirectoryEntry& e : types)
      if (!(e.name & pe::kNamedEntryFlag) && e.name == type) typeEntry = &e;
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
    if (chosen->data & pe::kSubdirectoryFlag) Malformed("resource tree deeper than three levels");
    return Data(chosen->data);
  }

 private:
  static uint32_t Subdirectory(const DirectoryEntry& e) {
    if (!(e.data & pe::kSubdirectoryFlag)) Malformed("resource tree shallower than three levels");
    return e.data & ~pe::kSubdirectoryFlag;
  }

  // Every field is read through these: one the file does not hold fails, naming `what`.
  uint16_t U16(size_t at, const char* what) const {
    uint16_t value = 0;
    if (!ReadU16At(data_, size_, at, value)) Malformed(what);
    return value;
  }
  uint32_t U32(size_t at, const char* what) const {
    uint32_t value = 0;
    if (!ReadU32At(data_, size_, at, value)) Malformed(what);
    return value;
  }

  const uint8_t* data_;
  size_t size_;
  uint32_t resourceRva_ = 0, resourceSize_ = 0;
  std::vector<Section> sections_;
};

}  // namespace

std::optional<ByteRange> FindPeResource(const uint8_t* image, size_t size, uint32_t type, const std::string& name) {
  return PeImage(image, size).Find(type, &name);
}

std::optional<FileVersion> ReadFixedFileVersion(const uint8_t* data, size_t size) {
  std::optional<ByteRange> resource;
  try {
    resource = PeImage(data, size).Find(kRtVersion, nullptr);
  } catch (const EFormatError&) {
    return std::nullopt;
  }
  if (!resource) return std::nullopt;
  return ReadVersionBlock(resource->data, resource->size);
}

std::optional<FileVersion> ReadVersionBlock(const uint8_t* p, size_t n) {
  uint16_t valueLength = 0;
  if (!ReadU16At(p, n, pe::kVersionValueLengthField, valueLength) || valueLength < pe::kFixedFileInfoSize)
    return std::nullopt;
  // The key must be "VS_VERSION_INFO": anything else is not a version block.
  static const char kKey[] = "VS_VERSION_INFO";
  size_t at = pe::kVersionKeyField;
  for (size_t i = 0; i < sizeof kKey; ++i, at += 2) {
    uint16_t unit = 0;
    if (!ReadU16At(p, n, at, unit) || unit != static_cast<uint8_t>(kKey[i])) return std::nullopt;
  }
  at = (at + 3) & ~size_t{3};
  // The block's own length must cover the fixed information it claims to hold.
  uint16_t blockLength = 0;
  if (!ReadU16At(p, n, pe::kVersionLengthField, blockLength) || blockLength > n || blockLength < at ||
      blockLength - at < pe::kFixedFileInfoSize)
    return std::nullopt;
  uint32_t signature = 0, fileMs = 0, fileLs = 0;
  if (!ReadU32At(p, n, at, signature) || signature != pe::kFixedFileInfoSignature) return std::nullopt;
  if (!ReadU32At(p, n, at + pe::kFileVersionHighField, fileMs) ||
      !ReadU32At(p, n, at + pe::kFileVersionLowField, fileLs))
    return std::nullopt;
  FileVersion version;
  version.major = static_cast<uint16_t>(fileMs >> 16);
  version.minor = static_cast<uint16_t>(fileMs);
  version.release = static_cast<uint16_t>(fileLs >> 16);
  version.build = static_cast<uint16_t>(fileLs);
  return version;
}

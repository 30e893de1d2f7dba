// The tests' one PE builder: minimal 32-bit and 64-bit images with one
// resource section, so the resource reader can be exercised (and broken) byte
// by byte, signed ones, and executables carrying a file version.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "storage/pe_format.h"

struct PeResourceDef {
  uint32_t type;
  std::string name;  // empty: the entry is named by `id`
  uint16_t id;
  uint16_t language;
  std::vector<uint8_t> data;
};

struct PeLayout {
  std::vector<uint8_t> image;
  size_t resourceOffset = 0;  // file offset of the resource section
};

inline void PutLe(std::vector<uint8_t>& b, size_t at, uint64_t v, int width) {
  if (b.size() < at + width) b.resize(at + width);
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Where BuildPe puts the PE header.
inline constexpr size_t kBuiltPeHeader = 0x40;

// File offset of data directory `index` in an image made by BuildPe.
inline size_t PeDataDirectoryOffset(bool pe64, size_t index) {
  return kBuiltPeHeader + pe::kPeSignatureSize + pe::kFileHeaderSize +
         (pe64 ? pe::kPe64DirectoriesField : pe::kPe32DirectoriesField) + pe::kDataDirectorySize * index;
}

inline PeLayout BuildPe(bool pe64, const std::vector<PeResourceDef>& resources) {
  constexpr uint32_t kSectionRva = 0x1000, kRawOffset = 0x200;
  // Group type -> name -> languages, in first-seen order.
  struct Name {
    const PeResourceDef* key;
    std::vector<const PeResourceDef*> languages;
  };
  struct Type {
    uint32_t id;
    std::vector<Name> names;
  };
  std::vector<Type> types;
  for (const PeResourceDef& r : resources) {
    Type* type = nullptr;
    for (Type& t : types)
      if (t.id == r.type) type = &t;
    if (!type) {
      types.push_back({r.type, {}});
      type = &types.back();
    }
    Name* name = nullptr;
    for (Name& n : type->names)
      if (n.key->name == r.name && n.key->id == r.id) name = &n;
    if (!name) {
      type->names.push_back({&r, {}});
      name = &type->names.back();
    }
    name->languages.push_back(&r);
  }
  std::vector<uint8_t> sec;
  auto directory = [&sec](size_t named, size_t ids) {
    const size_t at = sec.size();
    sec.resize(at + pe::kResourceDirectoryHeaderSize + pe::kResourceEntrySize * (named + ids));
    PutLe(sec, at + pe::kNamedEntryCountField, named, 2);
    PutLe(sec, at + pe::kIdEntryCountField, ids, 2);
    return at;
  };
  // Entry `i` of the directory at `dir`: its name (or ID) field, then where it leads.
  auto entry = [](size_t dir, size_t i) { return dir + pe::kResourceDirectoryHeaderSize + pe::kResourceEntrySize * i; };
  constexpr size_t kLeads = pe::kResourceEntryDataField;
  struct Patch {
    size_t at;
    const PeResourceDef* def;
  };
  std::vector<Patch> namePatches, dataPatches;
  const size_t root = directory(0, types.size());
  for (size_t i = 0; i < types.size(); ++i) {
    size_t named = 0;
    for (const Name& n : types[i].names) named += n.key->name.empty() ? 0 : 1;
    const size_t typeDir = directory(named, types[i].names.size() - named);
    PutLe(sec, entry(root, i), types[i].id, 4);
    PutLe(sec, entry(root, i) + kLeads, pe::kSubdirectoryFlag | typeDir, 4);
    for (size_t j = 0; j < types[i].names.size(); ++j) {
      const Name& n = types[i].names[j];
      const size_t nameDir = directory(0, n.languages.size());
      if (n.key->name.empty())
        PutLe(sec, entry(typeDir, j), n.key->id, 4);
      else
        namePatches.push_back({entry(typeDir, j), n.key});
      PutLe(sec, entry(typeDir, j) + kLeads, pe::kSubdirectoryFlag | nameDir, 4);
      for (size_t k = 0; k < n.languages.size(); ++k) {
        PutLe(sec, entry(nameDir, k), n.languages[k]->language, 4);
        dataPatches.push_back({entry(nameDir, k) + kLeads, n.languages[k]});
      }
    }
  }
  for (const Patch& p : namePatches) {
    PutLe(sec, p.at, pe::kNamedEntryFlag | sec.size(), 4);
    const size_t at = sec.size();
    PutLe(sec, at, p.def->name.size(), 2);
    for (size_t c = 0; c < p.def->name.size(); ++c) PutLe(sec, at + 2 + 2 * c, p.def->name[c], 2);
    sec.resize((sec.size() + 3) & ~size_t{3});
  }
  std::vector<size_t> entries;
  for (const Patch& p : dataPatches) {
    PutLe(sec, p.at, sec.size(), 4);
    entries.push_back(sec.size());
    sec.resize(sec.size() + pe::kResourceDataEntrySize);
  }
  for (size_t i = 0; i < dataPatches.size(); ++i) {
    const std::vector<uint8_t>& data = dataPatches[i].def->data;
    PutLe(sec, entries[i], kSectionRva + sec.size(), 4);
    PutLe(sec, entries[i] + pe::kResourceDataSizeField, data.size(), 4);
    sec.insert(sec.end(), data.begin(), data.end());
    sec.resize((sec.size() + 3) & ~size_t{3});
  }

  std::vector<uint8_t> image(kRawOffset, 0);
  PutLe(image, 0, pe::kMzSignature, 2);
  PutLe(image, pe::kPeHeaderOffsetField, kBuiltPeHeader, 4);
  PutLe(image, kBuiltPeHeader, pe::kPeSignature, 4);
  const size_t coff = kBuiltPeHeader + pe::kPeSignatureSize;
  const uint16_t optionalSize = pe64 ? 240 : 224;  // with all 16 data directories
  PutLe(image, coff + pe::kMachineField, pe64 ? 0x8664 : 0x14C, 2);
  PutLe(image, coff + pe::kSectionCountField, 1, 2);
  PutLe(image, coff + pe::kOptionalHeaderSizeField, optionalSize, 2);
  const size_t optional = coff + pe::kFileHeaderSize;
  PutLe(image, optional + pe::kMagicField, pe64 ? pe::kPe64Magic : pe::kPe32Magic, 2);
  PutLe(image, optional + (pe64 ? pe::kPe64DirectoryCountField : pe::kPe32DirectoryCountField), 16, 4);
  const size_t resourceDirectory = PeDataDirectoryOffset(pe64, pe::kResourceDirectoryIndex);
  PutLe(image, resourceDirectory, kSectionRva, 4);
  PutLe(image, resourceDirectory + pe::kDataDirectorySizeField, sec.size(), 4);
  const size_t section = optional + optionalSize;
  const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  for (int i = 0; i < 8; ++i) image[section + i] = static_cast<uint8_t>(name[i]);
  const size_t raw = (sec.size() + 0x1FF) & ~size_t{0x1FF};
  PutLe(image, section + pe::kSectionVirtualSizeField, sec.size(), 4);
  PutLe(image, section + pe::kSectionVirtualAddressField, kSectionRva, 4);
  PutLe(image, section + pe::kSectionRawSizeField, raw, 4);
  PutLe(image, section + pe::kSectionRawOffsetField, kRawOffset, 4);
  image.resize(image.size() + raw, 0);
  std::copy(sec.begin(), sec.end(), image.begin() + kRawOffset);
  return {image, kRawOffset};
}

// Signs an image as a signing tool lays it out: a certificate table (one
// WIN_CERTIFICATE holding `certificate`) past the last section, 8-byte aligned,
// named by the security data directory (entry 4), which holds a file offset
// rather than an RVA and is not mapped by the loader.
inline void AppendCertificateTable(std::vector<uint8_t>& image, bool pe64, const std::vector<uint8_t>& certificate) {
  const size_t at = (image.size() + 7) & ~size_t{7};
  image.resize(at, 0);
  PutLe(image, at, 8 + certificate.size(), 4);  // dwLength
  PutLe(image, at + 4, 0x0200, 2);              // WIN_CERT_REVISION_2_0
  PutLe(image, at + 6, 0x0002, 2);              // WIN_CERT_TYPE_PKCS_SIGNED_DATA
  image.insert(image.end(), certificate.begin(), certificate.end());
  image.resize((image.size() + 7) & ~size_t{7}, 0);
  const size_t security = PeDataDirectoryOffset(pe64, pe::kSecurityDirectoryIndex);
  PutLe(image, security, at, 4);
  PutLe(image, security + pe::kDataDirectorySizeField, image.size() - at, 4);
}

// A VS_VERSIONINFO block holding only the fixed file information, with a
// product version of 99.0.0.0 (never the one a reader should report).
inline std::vector<uint8_t> VersionInfo(uint16_t major, uint16_t minor, uint16_t release, uint16_t build) {
  std::vector<uint8_t> b;
  const std::string key = "VS_VERSION_INFO";
  PutLe(b, pe::kVersionValueLengthField, pe::kFixedFileInfoSize, 2);
  for (size_t i = 0; i < key.size(); ++i) PutLe(b, pe::kVersionKeyField + 2 * i, key[i], 2);
  PutLe(b, pe::kVersionKeyField + 2 * key.size(), 0, 2);  // NUL; the fixed information starts at 40
  constexpr size_t kFixed = 40;
  PutLe(b, kFixed, pe::kFixedFileInfoSignature, 4);
  PutLe(b, kFixed + 4, 0x00010000, 4);  // the structure's version
  PutLe(b, kFixed + pe::kFileVersionHighField, uint32_t{major} << 16 | minor, 4);
  PutLe(b, kFixed + pe::kFileVersionLowField, uint32_t{release} << 16 | build, 4);
  PutLe(b, kFixed + 16, 0x00630000, 4);  // the product version's high half
  b.resize(kFixed + pe::kFixedFileInfoSize, 0);
  PutLe(b, pe::kVersionLengthField, b.size(), 2);
  return b;
}

// An executable with this file version in its resources (language 0x080A, as
// the installer's own), or with no resources at all.
inline std::string BuildPeImage(std::optional<platform::FileVersion> version) {
  std::vector<PeResourceDef> resources;
  if (version)
    resources.push_back(
        {16, "", 1, 0x080A, VersionInfo(version->major, version->minor, version->release, version->build)});
  const std::vector<uint8_t> image = BuildPe(false, resources).image;
  return std::string(image.begin(), image.end());
}

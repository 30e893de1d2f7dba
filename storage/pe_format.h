// The fields of a Windows executable that the resource reader follows and the
// tests' image builder writes: one set of numbers for both, so that the two
// cannot drift apart. Offsets are in bytes from the start of their structure.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pe {

// The DOS header: its signature, and where it keeps the PE header's file offset.
inline constexpr uint16_t kMzSignature = 0x5A4D;  // "MZ"
inline constexpr size_t kPeHeaderOffsetField = 0x3C;

// The PE header: a signature, then the COFF file header.
inline constexpr uint32_t kPeSignature = 0x00004550u;  // "PE\0\0"
inline constexpr size_t kPeSignatureSize = 4;
inline constexpr size_t kMachineField = 0;
inline constexpr size_t kSectionCountField = 2;
inline constexpr size_t kOptionalHeaderSizeField = 16;
inline constexpr size_t kFileHeaderSize = 20;  // the optional header follows

// The optional header: its magic tells the two layouts apart, which differ in
// where the count of data directories and the directories themselves start.
inline constexpr size_t kMagicField = 0;
inline constexpr uint16_t kPe32Magic = 0x10B;
inline constexpr uint16_t kPe64Magic = 0x20B;
inline constexpr size_t kPe32DirectoryCountField = 92;
inline constexpr size_t kPe32DirectoriesField = 96;
inline constexpr size_t kPe64DirectoryCountField = 108;
inline constexpr size_t kPe64DirectoriesField = 112;
// A data directory is an RVA and a size; the security directory's "RVA" is a
// file offset, as the loader never maps the certificate table.
inline constexpr size_t kDataDirectorySize = 8;
inline constexpr size_t kDataDirectorySizeField = 4;
inline constexpr size_t kResourceDirectoryIndex = 2;
inline constexpr size_t kSecurityDirectoryIndex = 4;

// A section header, one after another right after the optional header.
inline constexpr size_t kSectionHeaderSize = 40;
inline constexpr size_t kSectionVirtualSizeField = 8;
inline constexpr size_t kSectionVirtualAddressField = 12;
inline constexpr size_t kSectionRawSizeField = 16;
inline constexpr size_t kSectionRawOffsetField = 20;

// A resource directory: a fixed header with its two entry counts, then its
// entries, named ones first; each entry a name (or ID) and where it leads.
inline constexpr size_t kResourceDirectoryHeaderSize = 16;
inline constexpr size_t kNamedEntryCountField = 12;
inline constexpr size_t kIdEntryCountField = 14;
inline constexpr size_t kResourceEntrySize = 8;
inline constexpr size_t kResourceEntryDataField = 4;
inline constexpr uint32_t kNamedEntryFlag = 0x80000000u;    // in the name: an offset to a counted UTF-16 name
inline constexpr uint32_t kSubdirectoryFlag = 0x80000000u;  // in the data: an offset to a directory
// A resource data entry: the data's RVA and size, then two unused fields.
inline constexpr size_t kResourceDataEntrySize = 16;
inline constexpr size_t kResourceDataSizeField = 4;

// A VS_VERSIONINFO block: its length, its value's length, its type, the key
// "VS_VERSION_INFO" in UTF-16, padding to 32 bits, then VS_FIXEDFILEINFO.
inline constexpr size_t kVersionLengthField = 0;
inline constexpr size_t kVersionValueLengthField = 2;
inline constexpr size_t kVersionKeyField = 6;
inline constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;
inline constexpr size_t kFixedFileInfoSize = 52;
inline constexpr size_t kFileVersionHighField = 8;  // in VS_FIXEDFILEINFO: major and minor
inline constexpr size_t kFileVersionLowField = 12;  // release and build

}  // namespace pe

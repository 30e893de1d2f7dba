// Reads resources out of a 32-bit or 64-bit Windows executable held in
// memory, without the Windows loader: defensively, every offset checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "framework/byte_range.h"

inline constexpr uint32_t kRtRcData = 10;
inline constexpr uint32_t kRtVersion = 16;

// The fixed file version (VS_FIXEDFILEINFO): major and minor are the high and
// low words of its upper half, release and build of its lower half.
struct FileVersion {
  uint16_t major = 0, minor = 0, release = 0, build = 0;
};

// The resource of `type` whose name matches `name` without regard to ASCII
// case, in the neutral language, else in the first language it has. nullopt
// when the image has no such resource. Raises EFormatError "Malformed
// executable: ..." when the image is not a PE file or its headers or
// resource tree point outside it.
std::optional<ByteRange> FindPeResource(const uint8_t* image, size_t size, uint32_t type, const std::string& name);

// The RT_RCDATA resource of that name (form streams are stored so).
inline std::optional<ByteRange> FindRcDataResource(const uint8_t* image, size_t size, const std::string& name) {
  return FindPeResource(image, size, kRtRcData, name);
}

// The file version of the first RT_VERSION resource; nullopt when the file
// has none, or is not a well-formed PE image (never raises).
std::optional<FileVersion> ReadFixedFileVersion(const uint8_t* data, size_t size);

// The file version of a VS_VERSIONINFO block (an RT_VERSION resource's
// bytes, as the loader maps them too); nullopt when it is not a well-formed
// one (never raises).
std::optional<FileVersion> ReadVersionBlock(const uint8_t* block, size_t size);

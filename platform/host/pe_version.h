// The fixed file version of a PE image, read portably from its version resource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace platform {

// nullopt when the bytes are not a PE image or carry no usable version
// resource, as GetFileVersionInfoSizeA answers 0 for such files.
std::optional<FileVersion> ReadPeFileVersion(const uint8_t* data, size_t size);

}  // namespace platform

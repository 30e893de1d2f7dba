// Builds small but loadable PE32 images for tests that need a real executable.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

// A one-section image whose resources hold a version resource with this file
// version (and a different product version), or no resources at all.
std::string BuildPeImage(std::optional<platform::FileVersion> fileVersion);

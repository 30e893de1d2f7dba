// Environment blocks as Windows hands them out (GetEnvironmentStringsW,
// CreateEnvironmentBlock) and takes them (CreateProcess with
// CREATE_UNICODE_ENVIRONMENT): "name=value" strings of UTF-16 units, each
// ended by a NUL, the block by one more. Wide, so that no character of a
// value is lost to an ANSI code page.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform {

// The "name=value" strings of a block, in its order; reading stops at the
// empty string that ends it (or at the end of the text).
std::vector<std::u16string> EnvironmentEntries(const std::u16string& block);

// `base` with `variables` (name, value) set over it: an entry of the same
// name, compared without regard to case, is replaced. Sorted as Windows
// expects a block: by name, upper-cased, unit by unit, without regard to
// locale (so the hidden "=C:" entries come first).
std::u16string WithVariables(const std::u16string& base,
                             const std::vector<std::pair<std::u16string, std::u16string>>& variables);

}  // namespace platform

// Windows path rules the callers of the platform share.
#pragma once

#include <string>

namespace platform {

// A full path: a drive letter, ":" and "\", or a UNC path ("\\server\share").
// A folder read from the registry or the environment that is not one would be
// taken from the current drive or folder, which another user may have
// prepared: such a folder is not used. Nor is a device path ("\\?\" or
// "\\.\", whose server part is "?" or "."): through \\?\GLOBALROOT and the
// object manager's links it can name any place, with no reparse point on the
// way to check.
inline bool IsFullPath(const std::string& path) {
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
  if (path.size() <= 2 || path[0] != '\\' || path[1] != '\\' || path[2] == '\\') return false;
  const std::string server = path.substr(2, path.find_first_of("\\/", 2) - 2);
  return server != "?" && server != ".";
}

}  // namespace platform

// Windows path rules, in one place for the installer, its platform and the
// tools: which paths are full ones, where one lies, and a path's folder and name.
#pragma once

#include <string>

#include "framework/text_case.h"

// A path split at its last separator ("\\" or "/"): the folder with that
// separator (empty when there is none) and the name after it.
struct PathParts {
  std::string folder;
  std::string name;
};
inline PathParts SplitPath(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return {std::string(), path};
  return {path.substr(0, separator + 1), path.substr(separator + 1)};
}

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

// A full path on a network share ("\\server\share...").
inline bool IsNetworkPath(const std::string& path) { return IsFullPath(path) && path[0] == '\\'; }

// Whether `path` is `folder` or lies inside it: both full paths, compared
// without regard to case, and nothing after the folder ("." or "..") that
// would lead back out of it.
inline bool IsInside(const std::string& path, const std::string& folder) {
  std::string base = folder;
  while (base.size() > 3 && (base.back() == '\\' || base.back() == '/')) base.pop_back();
  if (!IsFullPath(path) || !IsFullPath(base) || path.size() < base.size() ||
      !SameAnsiText(path.substr(0, base.size()), base))
    return false;
  if (path.size() > base.size() && path[base.size()] != '\\' && path[base.size()] != '/' && base.back() != '\\')
    return false;
  for (size_t at = base.size(); at < path.size();) {
    size_t end = path.find_first_of("\\/", at);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(at, end - at);
    if (name == "." || name == "..") return false;
    at = end + 1;
  }
  return true;
}

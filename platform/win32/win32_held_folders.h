// The walk every checked act makes: from the volume root down, each folder
// opened by its one name through the handle of the one above, its tag read
// from its own handle, and held open without delete sharing until the act is
// done. A link on the way is followed only when an administrator, the system
// or the installer service made it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include "platform/win32/handles.h"

namespace platform {

class HeldFolders {
 public:
  enum class Result { Held, Refused, Failed };

  // Walks to the folder that holds `path`'s last name, which is not opened.
  Result Hold(const std::string& path);

  // After Held: the last folder, held, and the last name, to be acted on
  // inside it by that name alone.
  HANDLE Folder() const { return folders_.back().get(); }
  const std::u16string& Name() const { return name_; }
  // After Failed: why (ERROR_PATH_NOT_FOUND for a folder on the way that is
  // missing or a file).
  DWORD Error() const { return error_; }
  // After Refused for a link on the way: the path as given, up to and
  // including the name that met it (the name itself, or the followed link
  // whose target it lies in). nullopt when no link was refused.
  std::optional<std::string> RefusedAt() const;

 private:
  std::vector<UniqueHandle> folders_;
  std::string path_;
  std::u16string given_;  // the path as given, in UTF-16
  std::u16string name_;
  std::optional<size_t> refusedAt_;
  DWORD error_ = ERROR_ACCESS_DENIED;
};

}  // namespace platform

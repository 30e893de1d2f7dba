// A path's folder and name, split at its last separator of either kind.
#include "framework/paths.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitPath, FolderKeepsItsSeparator) {
  struct Row {
    const char* path;
    const char* folder;
    const char* name;
  };
  const Row rows[] = {
      {"C:\\Program Files\\Vesko\\Pliegorama.exe", "C:\\Program Files\\Vesko\\", "Pliegorama.exe"},
      {"C:\\x", "C:\\", "x"},
      {"dir/sub\\file", "dir/sub\\", "file"},
      {"a\\b/c", "a\\b/", "c"},
      {"\\\\server\\share\\t.ora", "\\\\server\\share\\", "t.ora"},
      {"C:\\folder\\", "C:\\folder\\", ""},
      {"file.exe", "", "file.exe"},
      {"", "", ""},
  };
  for (const Row& row : rows) {
    const PathParts parts = SplitPath(row.path);
    EXPECT_EQ(parts.folder, row.folder) << row.path;
    EXPECT_EQ(parts.name, row.name) << row.path;
  }
}

}  // namespace

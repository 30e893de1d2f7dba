// <windows.h> for code that also sees the platform interface: the ANSI/wide
// macros that share names with its methods are removed, so every file names
// the same members. Call the Win32 functions by their A names.
#pragma once

#include <windows.h>

#undef CreateDirectory
#undef DeleteFile
#undef FindResource
#undef MoveFile
#undef RemoveDirectory
#undef ReplaceFile

// The framework's own message texts, byte for byte: callers and users see them.
#pragma once

namespace msg {
inline constexpr char kOutOfMemory[] = "Out of memory";
inline constexpr char kStreamReadError[] = "Stream read error";
inline constexpr char kStreamWriteError[] = "Stream write error";
inline constexpr char kFCreateError[] = "Cannot create file \"%s\". %s";
inline constexpr char kFOpenError[] = "Cannot open file \"%s\". %s";
inline constexpr char kListIndexError[] = "List index out of bounds (%d)";
inline constexpr char kAssignError[] = "Cannot assign a %s to a %s";
inline constexpr char kZlibError[] = "Error";
inline constexpr char kInvalidStreamFormat[] = "Invalid stream format";
inline constexpr char kResNotFound[] = "Resource %s not found";
inline constexpr char kClassNotFound[] = "Class %s not found";
inline constexpr char kUnknownProperty[] = "Property %s does not exist";
inline constexpr char kInvalidPropertyPath[] = "Invalid property path";
inline constexpr char kInvalidPropertyValue[] = "Invalid property value";
inline constexpr char kReadingError[] = "Error reading %s%s%s: %s";
inline constexpr char kInvalidRegType[] = "Invalid data type for '%s'";
inline constexpr char kInterfaceNotSupported[] = "Interface not supported";
inline constexpr char kOleError[] = "OLE error %.8x";
inline constexpr char kDuplicateItemName[] = "Duplicated stored item name";
}  // namespace msg

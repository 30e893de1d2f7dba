// Messages of the payload checks and of the payload tools, byte for byte.
#pragma once

namespace msg {
inline constexpr char kPayloadWithoutStorage[] = "The payload holds no storage component mxStorageFiles";
inline constexpr char kPayloadTooFewItems[] = "The payload holds %d stored items; it needs at least %d";
inline constexpr char kFileTooLarge[] = "%s is larger than a stored item can hold (2 GiB)";
inline constexpr char kNotFormOrExecutable[] = "%s is neither a form stream nor a Windows executable";
inline constexpr char kMalformedExecutable[] = "Malformed executable: %s";
inline constexpr char kDuplicateFileName[] =
    "Stored item %d: file name \"%s\" is already taken by an earlier item; nothing written for it";
inline constexpr char kDamagedItems[] = "Damaged stored items: %s";
// A stored item whose bytes disagree with its FileSize (a damaged payload).
inline constexpr char kStoredLengthMismatch[] = "The stored file is %d bytes long, its FileSize says %d";
inline constexpr char kStoredItemEmpty[] = "The stored item holds no data, its FileSize says %d";
inline constexpr char kUnsafeFileName[] = "Stored item %d: unsafe file name \"%s\"; nothing written for it";
}  // namespace msg

// What the form-stream reader, writer and parser share: the signature, the
// value codes, and the text conversions the string codes need.
#pragma once

#include <cstdint>
#include <string>

inline constexpr char kFormSignature[] = "TPF0";

enum class ValueCode : uint8_t {
  Null = 0,  // also the end marker of every list
  List = 1,
  Int8 = 2,
  Int16 = 3,
  Int32 = 4,
  Extended = 5,
  String = 6,
  Ident = 7,
  False = 8,
  True = 9,
  Binary = 10,
  Set = 11,
  LString = 12,
  Nil = 13,
  Collection = 14,
  Single = 15,
  Currency = 16,
  Date = 17,
  WString = 18,
  Int64 = 19,
  Utf8String = 20,
};
inline constexpr uint8_t kLastValueCode = 20;

// Prefix byte of an object header: the upper four bits set, flags below.
inline constexpr uint8_t kPrefixMask = 0xF0;
inline constexpr uint8_t kFlagInherited = 1;
inline constexpr uint8_t kFlagChildPos = 2;
inline constexpr uint8_t kFlagInline = 4;

// Nesting the readers accept: objects in objects, and values in values
// (lists, collections). Real streams nest three or four levels.
inline constexpr int kMaxObjectDepth = 32;
inline constexpr int kMaxValueDepth = 64;

// Windows code page 1252 from UTF-16 code units and from UTF-8; characters
// the code page lacks become "?".
std::string Utf16ToAnsi(const uint8_t* utf16le, size_t units);
std::string Utf8ToAnsi(const std::string& utf8);

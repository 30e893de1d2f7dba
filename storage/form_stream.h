// The form-stream encoding in one place: the signature, the value codes and
// the shape of each one's payload, the reads and writes those shapes share,
// and the text conversions the string codes need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/byte_range.h"
#include "storage/byte_cursor.h"

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

// The byte that closes every list: properties, children, list values, set
// elements (an empty short string), collections and their items.
inline constexpr uint8_t kEndMarker = static_cast<uint8_t>(ValueCode::Null);
// The byte that opens a collection item.
inline constexpr uint8_t kItemStart = static_cast<uint8_t>(ValueCode::List);

// What follows a code byte.
enum class PayloadShape : uint8_t {
  None,         // nothing
  Integer,      // `width` bytes, a signed little-endian integer
  Fixed,        // `width` bytes kept as they are (the floating-point codes)
  ShortString,  // one length byte n, then n bytes
  Counted,      // a 32-bit length n, then n bytes
  WideCounted,  // a 32-bit length n in UTF-16 code units, then 2n bytes
  List,         // values up to the end marker, then the marker
  Set,          // short strings up to the empty one
  Collection,   // items up to the end marker, then the marker; an item is an
                // optional integer value, the item start and a property list
};

struct ValueCodeInfo {
  ValueCode code;
  const char* name;
  PayloadShape shape;
  uint8_t width;  // Integer and Fixed: the payload's bytes
};

// Indexed by code.
inline constexpr ValueCodeInfo kValueCodes[] = {
    {ValueCode::Null, "Null", PayloadShape::None, 0},
    {ValueCode::List, "List", PayloadShape::List, 0},
    {ValueCode::Int8, "Int8", PayloadShape::Integer, 1},
    {ValueCode::Int16, "Int16", PayloadShape::Integer, 2},
    {ValueCode::Int32, "Int32", PayloadShape::Integer, 4},
    {ValueCode::Extended, "Extended", PayloadShape::Fixed, 10},
    {ValueCode::String, "String", PayloadShape::ShortString, 0},
    {ValueCode::Ident, "Ident", PayloadShape::ShortString, 0},
    {ValueCode::False, "False", PayloadShape::None, 0},
    {ValueCode::True, "True", PayloadShape::None, 0},
    {ValueCode::Binary, "Binary", PayloadShape::Counted, 0},
    {ValueCode::Set, "Set", PayloadShape::Set, 0},
    {ValueCode::LString, "LString", PayloadShape::Counted, 0},
    {ValueCode::Nil, "Nil", PayloadShape::None, 0},
    {ValueCode::Collection, "Collection", PayloadShape::Collection, 0},
    {ValueCode::Single, "Single", PayloadShape::Fixed, 4},
    {ValueCode::Currency, "Currency", PayloadShape::Fixed, 8},
    {ValueCode::Date, "Date", PayloadShape::Fixed, 8},
    {ValueCode::WString, "WString", PayloadShape::WideCounted, 0},
    {ValueCode::Int64, "Int64", PayloadShape::Integer, 8},
    {ValueCode::Utf8String, "Utf8String", PayloadShape::Counted, 0},
};
static_assert(sizeof kValueCodes / sizeof kValueCodes[0] == kLastValueCode + 1, "one row per code");
constexpr bool RowsFollowTheirCodes() {
  for (uint8_t code = 0; code <= kLastValueCode; ++code)
    if (static_cast<uint8_t>(kValueCodes[code].code) != code) return false;
  return true;
}
static_assert(RowsFollowTheirCodes(), "row n describes code n");

// The row of a code byte; null for a byte that is no value code.
inline const ValueCodeInfo* FindValueCode(uint8_t code) {
  return code <= kLastValueCode ? &kValueCodes[code] : nullptr;
}

// The integer codes of 32 bits or less: what integer properties, child
// positions and collection item indices take.
inline bool IsInt32Code(uint8_t code) {
  const ValueCodeInfo* info = FindValueCode(code);
  return info && info->shape == PayloadShape::Integer && info->width <= 4;
}
// Whether `value` fits the width of an integer code.
bool FitsInteger(ValueCode code, int64_t value);
// The narrowest integer code that holds `value`.
ValueCode NarrowestIntegerCode(int64_t value);
// Byte width of the Fixed codes (Extended 10, Single 4, Currency and Date 8); 0 for the others.
size_t FixedWidth(ValueCode code);

// Prefix byte of an object header: the upper four bits set, flags below.
inline constexpr uint8_t kPrefixMask = 0xF0;
inline constexpr uint8_t kFlagsMask = 0x0F;
inline constexpr uint8_t kFlagInherited = 1;
inline constexpr uint8_t kFlagChildPos = 2;
inline constexpr uint8_t kFlagInline = 4;

// Nesting the readers accept: objects in objects, and values in values
// (lists, collections). Real streams nest three or four levels.
inline constexpr int kMaxObjectDepth = 32;
inline constexpr int kMaxValueDepth = 64;

// The payload of a code whose shape holds no values (None, Integer, Fixed,
// ShortString, Counted, WideCounted) as a range of the cursor's bytes; fails
// as the cursor does when it is cut short.
ByteRange TakeFlatPayload(ByteCursor& in, const ValueCodeInfo& code);

// Form-stream writes shared by the component writer and the generic tree's
// writer. Each raises EWriteError "Stream write error" for what the encoding
// cannot hold: a name or a short string past 255 bytes, a length past 32 bits.
class FormEncoder : public ByteWriter {
 public:
  using ByteWriter::ByteWriter;

  void Signature() { Raw(kFormSignature, 4); }
  void End() { U8(kEndMarker); }
  void Code(ValueCode code) { U8(static_cast<uint8_t>(code)); }
  // An integer code and the low bytes of `value` in its width.
  void IntegerValue(ValueCode code, int64_t value);
  // A code of shape None, Fixed, ShortString, Counted or WideCounted with its
  // payload bytes as stored (WString: UTF-16LE); bytes that do not fit fail.
  void FlatValue(ValueCode code, const std::string& bytes);
};

// Windows code page 1252 from UTF-16 code units and from UTF-8; characters
// the code page lacks become "?".
std::string Utf16ToAnsi(const uint8_t* utf16le, size_t units);
std::string Utf8ToAnsi(const std::string& utf8);

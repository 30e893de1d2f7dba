// A generic form tree: any form stream as classes, names, prefix flags and
// typed property values, parsed without knowing the classes, and written back
// byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/byte_cursor.h"
#include "storage/form_stream.h"

struct FormValue;

struct FormProperty {
  std::string name;
  std::vector<FormValue> value;  // exactly one element; a vector so the type can nest
};

struct FormCollectionItem {
  std::vector<FormValue> index;  // empty, or the one integer value before the item's 01
  std::vector<FormProperty> properties;
};

struct FormValue {
  ValueCode code = ValueCode::Nil;
  int64_t integer = 0;                    // Int8, Int16, Int32, Int64
  std::string bytes;                      // strings and identifiers as stored (WString: UTF-16LE bytes),
                                          // block bytes, the raw bytes of Extended/Single/Currency/Date
  std::vector<std::string> elements;      // Set
  std::vector<FormValue> list;            // List
  std::vector<FormCollectionItem> items;  // Collection

  bool operator==(const FormValue& other) const;
  bool operator!=(const FormValue& other) const { return !(*this == other); }
};

struct FormObject {
  std::optional<uint8_t> flags;     // the prefix's low four bits, when a prefix is present
  std::vector<FormValue> position;  // the child-position integer, when flags carry it
  std::string className;
  std::string name;
  std::vector<FormProperty> properties;
  std::vector<FormObject> children;

  bool operator==(const FormObject& other) const;
  bool operator!=(const FormObject& other) const { return !(*this == other); }
};

bool operator==(const FormProperty& a, const FormProperty& b);
bool operator==(const FormCollectionItem& a, const FormCollectionItem& b);

// Parses a form stream. Raises EReadError "Invalid stream format" (bad
// signature, nesting too deep), "Invalid property value" (see ReadFormValue)
// or "Stream read error" (truncation). Bytes after the stream's end are an
// error too, unless `bytesRead` is given to receive where the stream ended.
FormObject ParseFormTree(const uint8_t* data, size_t size, size_t* bytesRead = nullptr);

// The one walk of the value grammar, for the tree and for the component
// reader's skip alike: takes the value at the cursor, nested in `depth` values
// already, into `value`, or passes over it when `value` is null. Raises
// EReadError "Invalid property value" for a byte that is no value code or a
// collection item without its start byte, "Invalid stream format" past
// kMaxValueDepth values, and the cursor's error when the bytes run out.
void ReadFormValue(ByteCursor& in, int depth, FormValue* value);

// The stream's bytes; what ParseFormTree read gives back the same bytes.
// Raises EWriteError when a name does not fit a short string.
std::vector<uint8_t> WriteFormTree(const FormObject& root);

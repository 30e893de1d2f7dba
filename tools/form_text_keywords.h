// The words of the form text, private to its printer and parser: one table of
// keyword -> what follows it and the value code it gives, which drives the
// parser's values and the printer's prefixes, and names the words a plain
// name must not be.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>

#include "framework/classes.h"
#include "storage/form_stream.h"

namespace form_text {

// What a keyword stands for where a value starts.
enum class ValueWord {
  Constant,    // the word is the whole value: its code, no payload
  Integer,     // a number follows, stored with exactly that code
  String,      // a quoted string follows, stored with that code
  Fixed,       // {hex} follows: the raw bytes of that fixed-width code
  File,        // a quoted file name follows: a byte block holding the file
  Graphic,     // a class name and a file name follow: a picture's byte block
  Identifier,  // a word of an object's first line; as a value, a plain identifier
  NotAValue,   // opens or ends a block; "ident 'end'" names one as a value
};

struct Keyword {
  const char* word;
  ValueWord kind;
  ValueCode code;  // the value's code; for Identifier and NotAValue, Ident
};

inline constexpr Keyword kKeywords[] = {
    {"False", ValueWord::Constant, ValueCode::False},    {"True", ValueWord::Constant, ValueCode::True},
    {"nil", ValueWord::Constant, ValueCode::Nil},        {"null", ValueWord::Constant, ValueCode::Null},
    {"int8", ValueWord::Integer, ValueCode::Int8},       {"int16", ValueWord::Integer, ValueCode::Int16},
    {"int32", ValueWord::Integer, ValueCode::Int32},     {"int64", ValueWord::Integer, ValueCode::Int64},
    {"lstring", ValueWord::String, ValueCode::LString},  {"utf8", ValueWord::String, ValueCode::Utf8String},
    {"wstring", ValueWord::String, ValueCode::WString},  {"ident", ValueWord::String, ValueCode::Ident},
    {"extended", ValueWord::Fixed, ValueCode::Extended}, {"single", ValueWord::Fixed, ValueCode::Single},
    {"currency", ValueWord::Fixed, ValueCode::Currency}, {"date", ValueWord::Fixed, ValueCode::Date},
    {"file", ValueWord::File, ValueCode::Binary},        {"graphic", ValueWord::Graphic, ValueCode::Binary},
    {"flags", ValueWord::Identifier, ValueCode::Ident},  {"index", ValueWord::Identifier, ValueCode::Ident},
    {"object", ValueWord::NotAValue, ValueCode::Ident},  {"item", ValueWord::NotAValue, ValueCode::Ident},
    {"end", ValueWord::NotAValue, ValueCode::Ident},
};

// The keyword `word` is, in any case; nullptr for any other word.
inline const Keyword* FindKeyword(const std::string& word) {
  for (const Keyword& keyword : kKeywords)
    if (SameText(word, keyword.word)) return &keyword;
  return nullptr;
}

// The keyword that writes a value of `code` (a constant, or the prefix of its
// payload); nullptr for codes written without one (short strings, blocks,
// sets, lists, collections).
inline const Keyword* KeywordOf(ValueCode code) {
  for (const Keyword& keyword : kKeywords) {
    const bool writesCode = keyword.kind == ValueWord::Constant || keyword.kind == ValueWord::Integer ||
                            keyword.kind == ValueWord::String || keyword.kind == ValueWord::Fixed;
    if (writesCode && keyword.code == code) return &keyword;
  }
  return nullptr;
}

inline bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
inline bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

}  // namespace form_text

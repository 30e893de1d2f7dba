// The text form of a form tree: what `payload dump` prints and `formc`
// compiles (printed by form_text_print.cpp, compiled by form_text_parse.cpp;
// the keywords and the value codes they give are the table in form_text_keywords.h).
//
// Syntax. "//" starts a comment to the end of the line; layout is free.
//   object NAME: CLASS [flags N] [index VALUE]   an object (N: the prefix's low
//     PROPERTY = VALUE                            four bits; index: its integer)
//     ... child objects ...
//   end
// NAME, CLASS and PROPERTY are identifiers (PROPERTY may be dotted, Font.Name)
// or quoted strings. Values, with the stream code each gives:
//   123, -11            integer, narrowest of codes 2, 3, 4 (19 past 32 bits)
//   int8|int16|int32|int64 N   that integer code exactly
//   'it''s'#13#10'x'    string: quoted parts and #N bytes run together; code 6
//                       below 256 bytes, else 12
//   lstring S, utf8 S, wstring S   codes 12, 20, 18 (for wstring each byte or
//                       #N is one UTF-16 code unit, N up to 65535)
//   clBtnFace           identifier (code 7); ident S for any text
//   False, True, nil, null   codes 8, 9, 13, 0
//   [fsBold, fsItalic]  set;   (V V ...) list
//   < item [INTEGER] PROPERTY = VALUE ... end ... >   collection
//   {0A 1B ...}         byte block (code 10) in hex; "{ N bytes }" is how a
//                       dump shows a block without its bytes, and does not compile
//   file 'x.bin'        byte block holding a file
//   graphic TGIFImage 'banner.gif'   byte block: the class name as a short
//                       string, the file's 32-bit length, then the file
//   extended|single|currency|date {hex}   the fixed-width codes, raw bytes
#pragma once

#include <string>

#include "storage/form_tree.h"

enum class BlockStyle {
  Sizes,  // a byte block shows as "{ N bytes }": readable, not compilable
  Bytes,  // every byte in hex: the text compiles back to the same stream
};

std::string PrintFormTree(const FormObject& root, BlockStyle blocks);

// Compiles the text; `file` and `graphic` paths count from `baseDir`.
// Raises EFormatError "<source>:<line>: <what>" on a syntax error, and the
// file system's error when a referenced file cannot be read.
FormObject ParseFormText(const std::string& text, const std::string& source, const std::string& baseDir);

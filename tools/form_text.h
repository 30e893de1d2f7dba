// The text form of a form tree: what `payload dump` prints and `formc`
// compiles. The syntax is described at the top of form_text.cpp.
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

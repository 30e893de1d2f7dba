// Letter case, in the two ways the system folds it: ASCII letters only (property
// and resource names, the net service alias), and code page 1252 as Windows
// folds file, key and stored-item names (accented letters too).
#pragma once

#include <string>

// 'a'..'z' to 'A'..'Z'; every other byte as it is.
char AsciiUpper(char c);
std::string AsciiUpper(std::string text);
// Equal but for the case of ASCII letters.
bool SameText(const std::string& a, const std::string& b);

// Upper case in code page 1252: ASCII, the accented letters 0xE0..0xFE (not
// 0xF7) and the four of 0x9A, 0x9C, 0x9E and 0xFF.
char AnsiUpper(char c);
std::string AnsiUpper(std::string text);
// Equal but for the case of letters in code page 1252.
bool SameAnsiText(const std::string& a, const std::string& b);

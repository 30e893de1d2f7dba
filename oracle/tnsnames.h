// The product's net service entry and the text editing of a tnsnames.ora file,
// as plain functions over strings so they can be checked without a machine.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tnsnames {

// The alias the product connects through; it carries no domain suffix.
inline constexpr char kAlias[] = "Tramidex";

// The one-line address descriptor for the database server at `host`.
std::string Descriptor(const std::string& host);
// "Tramidex = <descriptor>": added when the alias is nowhere in the file.
std::string AppendedLine(const std::string& host);
// "Tramidex =<descriptor>": written when the alias occurs in the file.
std::string SetByNameLine(const std::string& host);
// The single line the carried tnsnames.ora holds (followed by CR LF there).
std::string StoredFileLine(const std::string& host);

// Splits at CR LF, lone LF and lone CR; reading stops at the first NUL byte.
// A last line without a line end counts; a final line end adds no empty line.
std::vector<std::string> SplitLines(const std::string& text);
// Every line followed by CR LF, the last one included.
std::string JoinLines(const std::vector<std::string>& lines);

// True when something other than NUL bytes follows the first NUL: reading
// would drop it, so such a file must not be rewritten.
bool HasTextAfterNul(const std::string& text);

// The alias anywhere in the text, ASCII letters compared without case (also
// inside a longer name or a comment).
bool MentionsAlias(const std::vector<std::string>& lines);

// The first line whose text before its first "=" is "Tramidex " in any letter
// case, untrimmed; lines.size() when there is none.
size_t FindEntryLine(const std::vector<std::string>& lines);

// One past the last line of the entry whose name line is `first`: the name
// line and the continuation lines of its descriptor, up to the line where its
// parentheses balance. A line that starts a new parameter in the first column
// always ends the entry, so a broken entry never swallows the next one.
size_t EntryEnd(const std::vector<std::string>& lines, size_t first);

// The whole edit of an existing file: the entry set by name when the alias is
// mentioned (replacing an existing entry, all of its lines), appended
// otherwise. Everything else stays as it was, in its order; CR LF line ends.
std::string SetNetServiceEntry(const std::string& fileText, const std::string& host);

}  // namespace tnsnames

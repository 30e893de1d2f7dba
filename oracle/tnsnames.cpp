// Text editing of tnsnames.ora: line splitting, the presence test and the
// replacement of the product's entry, every other byte left as it was.
#include "oracle/tnsnames.h"

#include "framework/text_case.h"

namespace tnsnames {

std::string Descriptor(const std::string& host) {
  return "(DESCRIPTION =(ADDRESS_LIST =(ADDRESS = (PROTOCOL = TCP)(HOST = " + host +
         ")(PORT = 1521)))(CONNECT_DATA = (SID = vardo)))";
}

std::string AppendedLine(const std::string& host) { return std::string(kAlias) + " = " + Descriptor(host); }

std::string SetByNameLine(const std::string& host) { return std::string(kAlias) + " =" + Descriptor(host); }

std::string StoredFileLine(const std::string& host) {
  return std::string(kAlias) + " = (DESCRIPTION = (ADDRESS_LIST = (ADDRESS = (PROTOCOL = TCP)(HOST = " + host +
         ")(PORT = 1521)) ) (CONNECT_DATA = (SID = vardo) ) )";
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;  // a line has started that no line end has closed yet
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\0') break;
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      continue;
    }
    line += c;
    open = true;
  }
  if (open) lines.push_back(line);
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

bool HasTextAfterNul(const std::string& text) {
  const size_t nul = text.find('\0');
  if (nul == std::string::npos) return false;
  return text.find_first_not_of('\0', nul) != std::string::npos;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsBlankLine(const std::string& line) {
  for (char c : line) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

bool IsCommentLine(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t");
  return first != std::string::npos && line[first] == '#';
}

// Parenthesis depth across a line, from `from`; "#" starts a comment.
void CountParentheses(const std::string& line, size_t from, int& depth, bool& opened) {
  for (size_t i = from; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '#') break;
    if (c == '(') {
      ++depth;
      opened = true;
    } else if (c == ')' && depth > 0) {
      --depth;
    }
  }
}

}  // namespace

bool MentionsAlias(const std::vector<std::string>& lines) {
  // The lines joined as they are written back, each with its CR LF.
  return AsciiUpper(JoinLines(lines)).find(AsciiUpper(kAlias)) != std::string::npos;
}

size_t FindEntryLine(const std::vector<std::string>& lines) {
  const std::string name = std::string(kAlias) + " ";
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t equals = lines[i].find('=');
    if (equals != std::string::npos && SameText(lines[i].substr(0, equals), name)) return i;
  }
  return lines.size();
}

size_t EntryEnd(const std::vector<std::string>& lines, size_t first) {
  int depth = 0;
  bool opened = false;
  const size_t equals = lines[first].find('=');
  CountParentheses(lines[first], equals == std::string::npos ? 0 : equals + 1, depth, opened);
  size_t end = first + 1;
  if (opened && depth == 0) return end;
  // Blank and comment lines belong to the entry only when a continuation line
  // follows them; otherwise they stay, with whatever comes next.
  for (size_t i = first + 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (IsBlankLine(line) || IsCommentLine(line)) continue;
    // Only an indented line or one that starts with a parenthesis continues a
    // parameter; anything else in the first column begins a new one.
    const char lead = line[0];
    const bool continues = IsBlank(lead) || lead == '(' || (opened && lead == ')');
    if (!continues) break;
    CountParentheses(line, 0, depth, opened);
    end = i + 1;
    if (opened && depth == 0) break;
  }
  return end;
}

std::string SetNetServiceEntry(const std::string& fileText, const std::string& host) {
  std::vector<std::string> lines = SplitLines(fileText);
  if (!MentionsAlias(lines)) {
    lines.push_back(AppendedLine(host));
    return JoinLines(lines);
  }
  const size_t entry = FindEntryLine(lines);
  if (entry == lines.size()) {
    lines.push_back(SetByNameLine(host));
  } else {
    const size_t end = EntryEnd(lines, entry);
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(entry) + 1,
                lines.begin() + static_cast<std::ptrdiff_t>(end));
    lines[entry] = SetByNameLine(host);
  }
  return JoinLines(lines);
}

}  // namespace tnsnames

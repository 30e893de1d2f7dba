// Environment blocks: their entries, variables set over them, Windows' order.
#include "platform/environment_block.h"

#include <algorithm>

namespace platform {
namespace {

// Upper case as the system folds variable names: ASCII and Latin-1 letters.
char16_t Upper(char16_t unit) {
  if ((unit >= u'a' && unit <= u'z') || (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7))
    return static_cast<char16_t>(unit - 0x20);
  return unit;
}

// The name of an entry: up to its first "=" after the first unit (a hidden
// per-drive entry, "=C:=C:\x", begins with one), upper-cased.
std::u16string Name(const std::u16string& entry) {
  const size_t equals = entry.find(u'=', 1);
  std::u16string name = entry.substr(0, equals);
  std::transform(name.begin(), name.end(), name.begin(), Upper);
  return name;
}

}  // namespace

std::vector<std::u16string> EnvironmentEntries(const std::u16string& block) {
  std::vector<std::u16string> entries;
  for (size_t at = 0; at < block.size();) {
    const size_t end = std::min(block.find(u'\0', at), block.size());
    if (end == at) break;
    entries.push_back(block.substr(at, end - at));
    at = end + 1;
  }
  return entries;
}

std::u16string WithVariables(const std::u16string& base,
                             const std::vector<std::pair<std::u16string, std::u16string>>& variables) {
  std::vector<std::u16string> entries = EnvironmentEntries(base);
  for (const auto& [name, value] : variables) {
    std::u16string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), Upper);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::u16string& entry) { return Name(entry) == folded; }),
                  entries.end());
    entries.push_back(name + u"=" + value);
  }
  std::sort(entries.begin(), entries.end(),
            [](const std::u16string& a, const std::u16string& b) { return Name(a) < Name(b); });
  std::u16string block;
  for (const std::u16string& entry : entries) {
    block += entry;
    block += u'\0';
  }
  // Ended by an empty string; an empty block is that string alone, and its end.
  if (entries.empty()) block += u'\0';
  block += u'\0';
  return block;
}

}  // namespace platform

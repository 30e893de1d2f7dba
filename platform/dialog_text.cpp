// Dialog texts: each line join shown as one break, and the error box's closing period.
#include "platform/dialog_text.h"

namespace platform {

std::string NormalizeLineBreaks(const std::string& text) {
  std::string result;
  result.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      result += c;
      continue;
    }
    // A pair of different break characters is one break, in either order.
    if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n') && text[i + 1] != c) ++i;
    result += "\r\n";
  }
  return result;
}

std::string ApplicationErrorText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
    return message + ".";
  return message;
}

}  // namespace platform

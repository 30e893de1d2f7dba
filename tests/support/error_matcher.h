// The tests' one way to expect an error: the message of the error a call
// raises, compared like any other value.
#pragma once

#include <functional>
#include <string>

#include "framework/errors.h"

// The message of the `E` that `call` raises; "<no error>" when it returns.
// An error of another kind escapes, and fails the test with its message.
template <typename E = Exception>
std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const E& error) {
    return error.Message();
  }
  return "<no error>";
}

// The class name of the error `call` raises; "<no error>" when it returns.
inline std::string ErrorClassOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Exception& error) {
    return error.ClassName();
  }
  return "<no error>";
}

// Whether `text` begins with `prefix` (for messages that end in the system's reason).
inline bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

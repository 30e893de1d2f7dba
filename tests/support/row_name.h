// The name a row of a parameterised test gives its case, from the row's
// `name` field: a failure then names the row, not its bytes. What a test name
// may not hold (blanks, punctuation) becomes "_".
#pragma once

#include <gtest/gtest.h>

#include <string>

struct RowName {
  template <typename Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    std::string name = info.param.name;
    for (char& c : name) {
      const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
      if (!plain) c = '_';
    }
    return name;
  }
};

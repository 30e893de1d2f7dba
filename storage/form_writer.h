// Writes a root component and the components it owns as a binary form
// stream, by the encoding rules the stored streams follow.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/classes.h"

// Integers in the narrowest of codes 2, 3 and 4; strings shorter than 256
// bytes as code 6, longer ones as code 12; collection items without a
// leading integer; each object's properties in the order it emits them.
// The root's owned components follow as its children, in creation order.
// Raises EWriteError when a name or identifier does not fit a short string.
std::vector<uint8_t> WriteFormStream(const TComponent& root);

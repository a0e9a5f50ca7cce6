// The message texts that src/db needs (RunFormat's error texts), without a
// dependency on the application's catalogue: the application installs a
// lookup at start-up; until then DbMessage returns "".
#pragma once

#include <functional>
#include <string>

namespace bramble {

using MessageLookup = std::function<std::string(int row, int col)>;

// Installs the lookup (the application's message catalogue).
void SetDbMessageLookup(MessageLookup lookup);
// Text of message row.col, or "" when no lookup is installed.
std::string DbMessage(int row, int col);

}  // namespace bramble

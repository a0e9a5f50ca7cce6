#include "db/message_source.h"

#include <utility>

namespace bramble {

namespace {
MessageLookup& Lookup() {
  static MessageLookup lookup;
  return lookup;
}
}  // namespace

void SetDbMessageLookup(MessageLookup lookup) { Lookup() = std::move(lookup); }

std::string DbMessage(int row, int col) {
  const MessageLookup& f = Lookup();
  return f ? f(row, col) : std::string();
}

}  // namespace bramble

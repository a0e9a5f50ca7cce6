// TranslatorTables: the three conversion tables of the message translator and
// the rules by which its texts cross between stored bytes and the screen.
//
// The translator has three table boxes.  Each box that names a file puts its
// table in force for its own direction, whatever the start-up configuration;
// a box left empty means the program's own conversion (ToDisplay/ToStorage:
// the start-up tables when they are in force, else the code-page conversion):
//
//   origin table (left box)               origin stored bytes -> screen
//   destination table (upper right box)   destination stored bytes -> screen
//   save table (lower right box)          screen -> destination stored bytes
//
// Every text is converted once, never through a chain.  A cell the person
// did not change is never rewritten.  A text copied from the origin keeps the
// origin's stored bytes when both the origin and the save direction use the
// program's own conversion (a byte with no partner in the display code page
// would otherwise come back as its best fit).
//
// Table files are read with the program's reader (at most 2,000 bytes, one
// decimal number per line, line k giving byte k - 1).  The table starts as
// the identity, and an entry that would turn a byte other than 0 into 0 keeps
// the byte, as the start-up tables do: a short file changes only the bytes it
// names and can never put a NUL into a field.
//
// Thread use: one thread.
#pragma once

#include <optional>
#include <string>

#include "db/text_conversion.h"

namespace bramble {

class TranslatorTables {
 public:
  enum class Which { kOrigin, kDestination, kSave };

  // Path "" takes the table out of force.  false when the file cannot be
  // read (the table is then out of force too).
  bool Load(Which which, const std::string& path);
  bool InForce(Which which) const { return Slot(which).has_value(); }

  std::string OriginToScreen(std::string stored) const;
  std::string DestinationToScreen(std::string stored) const;
  std::string ScreenToDestination(std::string shown) const;
  // The stored bytes a copy of an origin text gives in the destination.
  std::string CopyToDestination(const std::string& origin_stored,
                                const std::string& origin_shown) const;

 private:
  const std::optional<ConversionTable>& Slot(Which which) const;
  std::optional<ConversionTable>& Slot(Which which);

  std::optional<ConversionTable> origin_;
  std::optional<ConversionTable> destination_;
  std::optional<ConversionTable> save_;
};

}  // namespace bramble

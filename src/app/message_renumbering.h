// Message numbers given to roles that cannot share a text with the other
// roles of their original number.
//
// One number once served both a prominent caption and a rarely seen error
// (4.2 was both the "From - To" radio and the error for an unreadable
// storage-table file, so that error read "From - To").  The less visible role
// moved to a free number in row 27.  The table below is the code's record of
// those moves; data/messages/renumbered.tsv is the same table for translators,
// and a test keeps the two equal.
#pragma once

#include <array>

#include "app/message_table.h"

namespace bramble {

struct Renumbering {
  MessageId original;
  MessageId moved_to;
  const char* role;
};

// Translator "OK" (keep the changes and close).
inline constexpr MessageId kMsgTranslatorOk = MessageId{27, 1};
// The display-table file (106=) cannot be opened.
inline constexpr MessageId kMsgDisplayTableMissing = MessageId{27, 2};
// The storage-table file (107=) cannot be opened.
inline constexpr MessageId kMsgStorageTableMissing = MessageId{27, 3};
// The display-table file chosen in the file dialog cannot be opened.
inline constexpr MessageId kMsgChosenTableUnreadable = MessageId{27, 4};
// Confirm dialog: label before the subfield code.
inline constexpr MessageId kMsgSubfieldCodeLabel = MessageId{27, 5};
// Key listing started with no inverted file chosen.
inline constexpr MessageId kMsgNoInvertedFile = MessageId{27, 6};
// A message database's first record cannot be read or its name is empty.
inline constexpr MessageId kMsgBadMessageDatabase = MessageId{27, 7};
// The chosen parameter file has no "2=" line.
inline constexpr MessageId kMsgParFileWithoutDataFolder = MessageId{27, 8};
// Fields log lines: label before the old text.
inline constexpr MessageId kMsgOldTextLabel = MessageId{27, 9};

inline constexpr std::array<Renumbering, 9> kRenumberings = {{
    {MessageId{1, 7}, kMsgTranslatorOk, "translator OK button"},
    {MessageId{4, 1}, kMsgDisplayTableMissing, "display table (106=) cannot be opened"},
    {MessageId{4, 2}, kMsgStorageTableMissing, "storage table (107=) cannot be opened"},
    {MessageId{4, 3}, kMsgChosenTableUnreadable, "chosen display table cannot be opened"},
    {MessageId{8, 7}, kMsgSubfieldCodeLabel, "confirm dialog subfield code label"},
    {MessageId{10, 2}, kMsgNoInvertedFile, "key listing without an inverted file"},
    {MessageId{11, 1}, kMsgBadMessageDatabase, "unreadable message database"},
    {MessageId{12, 1}, kMsgParFileWithoutDataFolder, "parameter file without 2= line"},
    {MessageId{14, 1}, kMsgOldTextLabel, "old text label of the Fields log"},
}};

}  // namespace bramble

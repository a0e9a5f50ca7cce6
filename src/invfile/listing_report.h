// ListingReport: what the inverted-file tools share: how a listing ends, the
// header of their reports and the message numbers of their own failures.
//
// The three listings (keys of an inverted file, generated keys, shared match
// keys of a duplicate base) and the base build only read the open database;
// they show their result in the text display (caption message 15.3) and
// nothing else.  A report starts with label + TAB TAB + path lines (message
// 6.2 before an inverted-file or database path, 19.1 before the inverted file
// of key generation, 6.3 before the date), then two empty lines.
//
// Thread use: the user-interface thread.  Nothing throws.
#pragma once

#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "app/message_table.h"

namespace bramble {

class MessageTable;

// Failures of the inverted-file tools that no older message covers.
// "Type the name of the duplicate base."
inline constexpr MessageId kMsgNoBaseName = MessageId{34, 1};
// Path + LF + "The duplicate base could not be created."
inline constexpr MessageId kMsgBaseNotCreated = MessageId{34, 2};
// Path + LF + "A record could not be written to the duplicate base. The run stops."
inline constexpr MessageId kMsgBaseWriteFailed = MessageId{34, 3};
// "The duplicate base cannot be the open database."
inline constexpr MessageId kMsgBaseIsSource = MessageId{34, 4};
// Path + LF + "The inverted file could not be read."
inline constexpr MessageId kMsgInvertedFileUnreadable = MessageId{34, 5};
// "The duplicate base's keys could not be built..." after its records were written.
inline constexpr MessageId kMsgBaseNotIndexed = MessageId{34, 6};
// Path + LF + "This database is not a duplicate base, so it was left as it is..."
inline constexpr MessageId kMsgTargetNotABase = MessageId{40, 1};
// Path + LF + "This duplicate base was made with the older match keys..."
inline constexpr MessageId kMsgBaseKeysOlder = MessageId{40, 2};
// "The key expression is not a valid format. Error at character" + " " + position.
inline constexpr MessageId kMsgKeyExpressionError = MessageId{40, 3};

inline constexpr const char* kInvfileCaption = "Bramble";

enum class ListingEnd {
  kRefused,    // a guard stopped it; nothing was read or written
  kCompleted,  // the text was shown
  kCancelled,  // Cancel in the progress window: 20.1, nothing shown
  kFailed,     // a file could not be read or written (a message said which)
};

struct ListingOutcome {
  ListingEnd end = ListingEnd::kRefused;
  std::string text;  // the shown report (header + lines), display form
};

// Header lines: each pair is (label, path); then message 6.3 and the date.
// label + "\t\t" + path + CR LF ...; 6.3 + "\t\t" + date + CR LF CR LF;
// CR LF CR LF.
std::string ListingHeader(const MessageTable& messages,
                          const std::vector<std::pair<MessageId, std::string>>& paths,
                          const std::tm& now);

// The local time now.
std::tm LocalTimeNow();

// Path with its last three characters replaced by ext ("x.mst" -> "x.ifp").
std::string ReplaceExtension3(const std::string& path, const std::string& ext);
// Path without its last four characters when they are "." + three characters
// (".ifp", ".mst"); otherwise unchanged.
std::string StripExtension4(const std::string& path);

}  // namespace bramble

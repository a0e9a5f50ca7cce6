// UtilityWalk: the walk of the read-only and no-backup utilities (export,
// deleted-record report, undelete) over the record set.
//
// These runs must see every record's read status (a logically deleted record
// is exported, listed or reactivated), while the batch run frame hands its
// work only records whose read succeeded.  So they walk the set here, with
// the frame's progress behaviour (title 1.8; <= 100 steps: "\n" + 10.7 + " " +
// MFN on every step; more: the 1-based position in "%8.0f", at most once per
// whole percent) and its cancel check, and do their own reads.
//
// Errors: none of its own; the step decides.  Thread use: the user-interface
// thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace bramble {

class AppContext;
class Progress;
class Ui;

// Read statuses the utilities tell apart (the engine's codes).
inline constexpr int32_t kStatusDeletedPending = -602;  // logically deleted, index pending
inline constexpr int32_t kStatusDeleted = -603;         // logically deleted
inline constexpr int32_t kStatusUnused = -604;          // MFN never written
inline constexpr int32_t kStatusPurged = -605;          // physically deleted
inline bool IsLogicallyDeleted(int32_t status) {
  return status == kStatusDeletedPending || status == kStatusDeleted;
}

// Caption of the utilities' message boxes.
inline constexpr const char* kUtilitiesCaption = "Bramble";

// The two guards of every utility: no database open (10.2), no record set
// (5.4).  False (the message shown) when the run must not start.
bool UtilityGuards(const AppContext& ctx, Ui& ui);

enum class WalkEnd { kCompleted, kCancelled, kStopped };

struct WalkResult {
  WalkEnd end = WalkEnd::kCompleted;
  int32_t steps = 0;  // steps made (the MFNs handed to the step)
};

// Walks ctx's record set under progress (shown, then closed before the
// return).  step gets each MFN and answers false to stop the walk.
// Cancel is checked before each step, after the progress update.
WalkResult WalkRecordSet(AppContext& ctx, Ui& ui, Progress& progress,
                         const std::function<bool(int32_t mfn)>& step);

// Message 6.2 TAB master path CR LF, 6.3 TAB date CR LF CR LF: the head of
// the deleted-record and undelete reports, dated now.
std::string UtilityReportHeader(const AppContext& ctx);

}  // namespace bramble

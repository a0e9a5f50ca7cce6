// The writeback thread: every byte asked for is handed to the kernel call, on
// the thread and not the caller's, ranges asked for while it is busy become
// one, and nothing is called after Stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "engine/writeback_starter.h"

namespace vardo {
namespace {

struct Call {
  int fd;
  uint64_t from, to;
  std::thread::id thread;
};

std::mutex g_mu;
std::vector<Call> g_calls;
std::chrono::milliseconds g_delay{0};
std::atomic<int> g_entered{0};

void Record(int fd, uint64_t offset, uint64_t n) {
  ++g_entered;
  std::this_thread::sleep_for(g_delay);
  std::lock_guard<std::mutex> lock(g_mu);
  g_calls.push_back(Call{fd, offset, offset + n, std::this_thread::get_id()});
}

class WritebackStarterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_delay = std::chrono::milliseconds(0);
    g_entered = 0;
  }
  // Polls pred (under the calls' lock) for up to ten seconds: the thread's
  // pace is the machine's, so nothing here waits a fixed time for it.
  template <typename Pred>
  static bool WaitFor(Pred pred) {
    for (int i = 0; i < 2000; ++i) {
      {
        std::lock_guard<std::mutex> lock(g_mu);
        if (pred()) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  // Whether [from, to) lies inside one of the calls made.
  static bool Covered(uint64_t from, uint64_t to) {
    for (const Call& c : g_calls) {
      if (c.from <= from && to <= c.to) return true;
    }
    return false;
  }
};

TEST_F(WritebackStarterTest, EveryRangeReachesTheCallOnTheStartersThread) {
  const std::vector<std::pair<uint64_t, uint64_t>> asked = {
      {4096, 1000}, {5096, 20000}, {25096, 1}, {1 << 20, 4096}, {100, 50}};
  {
    WritebackStarter starter(7, Record);
    for (const auto& [offset, n] : asked) starter.Start(offset, n);
    starter.Start(9, 0);  // nothing to write: no call
    ASSERT_TRUE(WaitFor([&] {
      for (const auto& [offset, n] : asked) {
        if (!Covered(offset, offset + n)) return false;
      }
      return true;
    }));
  }  // the destructor stops the thread
  ASSERT_FALSE(g_calls.empty());
  EXPECT_LE(g_calls.size(), asked.size());
  for (const auto& [offset, n] : asked) {
    EXPECT_TRUE(Covered(offset, offset + n)) << offset << "+" << n;
  }
  for (const Call& c : g_calls) {
    EXPECT_EQ(c.fd, 7);
    EXPECT_NE(c.thread, std::this_thread::get_id());
    EXPECT_GT(c.to, c.from);
  }
}

TEST_F(WritebackStarterTest, RangesAskedWhileTheThreadIsBusyBecomeOne) {
  g_delay = std::chrono::milliseconds(100);
  WritebackStarter starter(3, Record);
  starter.Start(0, 10);
  ASSERT_TRUE(WaitFor([] { return g_entered > 0; }));  // the first call is under way
  for (uint64_t i = 1; i <= 50; ++i) starter.Start(i * 1000, 500);
  ASSERT_TRUE(WaitFor([] { return g_calls.size() >= 2; }));
  starter.Stop();
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].from, 1000u);
  EXPECT_EQ(g_calls[1].to, 50500u);
}

TEST_F(WritebackStarterTest, StopWaitsForTheCallInHandAndEndsTheRequests) {
  g_delay = std::chrono::milliseconds(50);
  WritebackStarter starter(3, Record);
  starter.Start(0, 10);
  ASSERT_TRUE(WaitFor([] { return g_entered > 0; }));
  starter.Stop();  // returns only once the call under way is done
  {
    std::lock_guard<std::mutex> lock(g_mu);
    EXPECT_EQ(g_calls.size(), 1u);
  }
  starter.Start(100, 10);  // after Stop: dropped
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_EQ(g_calls.size(), 1u);
}

}  // namespace
}  // namespace vardo

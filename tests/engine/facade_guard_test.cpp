// Nothing thrown inside the engine leaves the facade: with every allocation
// refused, each entry point gives a negative result, and a write cut short
// leaves no lock behind for the other sessions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "engine/vardo.h"
#include "temp_dir.h"

namespace {
// While set, this thread's allocations fail as they do when the system has
// no memory to give.  Replacing operator new in this test binary is the only
// hook: the engine has none.
thread_local bool g_refuse_allocations = false;
}  // namespace

// GCC cannot see that this file's new and delete are a pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
  if (g_refuse_allocations) throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// The nothrow forms too: a sanitizer's own nothrow new would hand memory to
// the delete below (std::stable_sort's temporary buffer does), a mismatch.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  if (g_refuse_allocations) return nullptr;
  return std::malloc(n ? n : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace vardo {
namespace {

// Whether some open file holds a lock on the master file's header byte (the
// append lock, which a write takes and a second session waits for).
bool HeaderLocked(const std::string& mst) {
  const int fd = open(mst.c_str(), O_RDWR);
  if (fd < 0) return true;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  const bool locked = fcntl(fd, F_OFD_GETLK, &fl) != 0 || fl.l_type != F_UNLCK;
  close(fd);
  return locked;
}

int32_t Refusing(const std::function<int32_t()>& call) {
  g_refuse_allocations = true;
  int32_t r = 0;
  try {
    r = call();
  } catch (...) {
    g_refuse_allocations = false;
    ADD_FAILURE() << "an exception left the facade";
    return 0;
  }
  g_refuse_allocations = false;
  return r;
}

TEST(FacadeGuardTest, EveryEntryPointTurnsAFailedAllocationIntoANegativeResult) {
  testsupport::TempDir dir;
  const std::string db = dir.File("db");
  const std::string iso = dir.File("x.iso");
  const int32_t app = vardo_app_new();
  ASSERT_EQ(vardo_app_set_option(app, VARDO_OPTION_MULTI_USER), 0);
  const int32_t space = vardo_space_new(app);
  ASSERT_GT(space, 0);
  ASSERT_EQ(vardo_set_master_file(space, db.c_str()), VARDO_NO_DATABASE);
  ASSERT_EQ(vardo_create_master_file(space), 0);
  const std::string text(64, 'x');  // longer than any string's inline storage
  const std::string append = "a245\xA6" + text + "\xA6";
  ASSERT_EQ(vardo_new_record(space, 0), 0);
  ASSERT_EQ(vardo_update_fields(space, 0, append.c_str()), 0);
  ASSERT_EQ(vardo_write_record_unlock(space, 0), 0);

  const std::vector<std::pair<const char*, std::function<int32_t()>>> calls = {
      {"space_new", [&] { return vardo_space_new(app); }},
      {"update_fields", [&] { return vardo_update_fields(space, 0, append.c_str()); }},
      {"compile_format", [&] { return vardo_compile_format(space, "v245,v245"); }},
      {"set_export_file", [&] { return vardo_set_export_file(space, iso.c_str()); }},
      {"set_inverted_file", [&] { return vardo_set_inverted_file(space, db.c_str()); }},
      {"set_master_file", [&] { return vardo_set_master_file(space, db.c_str()); }},
      {"read_record", [&] { return vardo_read_record(space, 1, 1); }},
      {"write_record", [&] { return vardo_write_record_unlock(space, 0); }},
  };
  for (const auto& [name, call] : calls) {
    // Each call starts from an attached database with record 1 in buffer 0
    // and a change waiting in it.
    ASSERT_EQ(vardo_set_master_file(space, db.c_str()), 0);
    ASSERT_EQ(vardo_read_record_locked(space, 0, 1), 0);
    ASSERT_EQ(vardo_update_fields(space, 0, "s"), 0);
    EXPECT_LT(Refusing(call), 0) << name;
    // Nothing the call took is left held: another session writes record 1.
    ASSERT_FALSE(HeaderLocked(db + ".mst")) << name;
    ASSERT_EQ(vardo_unlock_record(space, 0), 0) << name;
    const int32_t other = vardo_space_new(app);
    ASSERT_EQ(vardo_set_master_file(other, db.c_str()), 0) << name;
    ASSERT_EQ(vardo_read_record_locked(other, 0, 1), 0) << name;
    EXPECT_EQ(vardo_write_record_unlock(other, 0), 0) << name;
    ASSERT_EQ(vardo_set_master_file(other, ""), 0);
  }
  // The session goes on: the next call reopens what the failed one closed.
  ASSERT_EQ(vardo_read_record(space, 0, 1), 0);
  char out[128];
  EXPECT_EQ(vardo_field_text(space, 0, 245, 1, out, sizeof out), 64);
  EXPECT_EQ(std::string(out), text);
}

}  // namespace
}  // namespace vardo

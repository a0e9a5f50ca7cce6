// FacadeGuarded: the one way a facade entry point (engine/vardo.h) runs its
// body, so that nothing thrown inside the engine (std::bad_alloc for a buffer
// the system cannot give, std::length_error for one no container can hold)
// leaves the facade: the caller, written against integer results, gets
// VARDO_IO instead.
//
// When a space is given, its database is closed on the way out: a body cut
// short by an exception may have left a lock (the master file's header, a
// record's entry) taken, and only closing the descriptors surely releases it.
// The next call that needs the files reopens them, as after
// vardo_release_master_file; record locks taken before are lost with them.
//
// Thread use: as the facade (one thread per space).
#pragma once

#include <cstdint>

#include "engine/space.h"
#include "engine/vardo.h"

namespace vardo {

template <typename Fn>
int32_t FacadeGuarded(int32_t space, Fn body) noexcept {
  try {
    return body();
  } catch (...) {
  }
  if (space > 0) {
    try {
      Space* s = FindSpace(space);
      if (s) {
        const bool was_open = s->db.is_open();
        s->db.Close();  // also when cut short while opening
        if (was_open) s->released = !s->path.empty();
      }
    } catch (...) {
    }
  }
  return VARDO_IO;
}

// For the calls that hold no file of a space (handles, buffers, options).
template <typename Fn>
int32_t FacadeGuarded(Fn body) noexcept {
  return FacadeGuarded(0, body);
}

}  // namespace vardo

// FaultScope: a fault-injecting file system installed for the life of the
// object, so that a test stopped by a failed ASSERT never leaves it installed
// for the tests after it.
#pragma once

#include "engine/file_system.h"

namespace testsupport {

class FaultScope {
 public:
  FaultScope() { previous_ = vardo::InstallFileSystem(&faulty_); }
  ~FaultScope() { vardo::InstallFileSystem(previous_); }
  FaultScope(const FaultScope&) = delete;
  FaultScope& operator=(const FaultScope&) = delete;
  vardo::FaultyFileSystem& fs() { return faulty_; }

 private:
  vardo::FaultyFileSystem faulty_;
  vardo::FileSystem* previous_;
};

}  // namespace testsupport

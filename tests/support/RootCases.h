#pragma once

// Tables of POSIX tests whose cases may need root, since only root can give a
// file to another user. POSIX only.
#include <gtest/gtest.h>
#include <unistd.h>

namespace keystead::test_support {

inline bool RunsAsRoot() { return geteuid() == 0; }

// Runs `run` on each case of `cases` (each with `name` and `needsRoot`) under
// a trace of its name, leaving out those that need root unless the tests run
// as root. True when it left any out, for the test to report itself skipped.
template <typename Cases, typename Run>
bool RunCasesWithinReach(const Cases& cases, Run run) {
  bool leftOut = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && !RunsAsRoot()) {
      leftOut = true;
      continue;
    }
    run(c);
  }
  return leftOut;
}

}  // namespace keystead::test_support

#pragma once
// Cases that feed the program a file made to hurt it run in a child process of their own, bounded in
// memory and time, so that a fault shows as a failed test and not as a machine that runs out of
// memory or a suite that hangs.

#include <cstdint>

namespace folvane::test {

struct ChildLimits {
    int seconds = 10;                ///< wall-clock time the child may take (three times that under
                                     ///< AddressSanitizer, whose code runs several times slower)
    std::int64_t bytes = 1LL << 30;  ///< resident memory the child may reach
};

/// Call first in such a test body:
///
///     if (test::RanWithinLimits()) return;
///
/// Starts this test binary again, filtered to the current test, and waits for it; answers true. The
/// test fails unless the child ran the test and passed, within the time, its peak resident memory
/// (as the kernel counts it) within the limit. The child is killed at either limit: its resident
/// memory is watched while it runs, and its address space is capped as well (four times the limit;
/// not under AddressSanitizer, which reserves terabytes of it). Inside the child, answers false and
/// the test goes on there.
bool RanWithinLimits(const ChildLimits &limits = {});

}  // namespace folvane::test

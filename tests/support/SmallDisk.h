#pragma once
// A real full disk for a test: a small tmpfs in a mount namespace of the test's own. Writes then
// fail the way they fail on a user's full disk (part way through, at a flush or at the close), not at
// the first byte as under a file-size limit.

#include <QString>

namespace folvane::test {

/// Call first in a test body whose writes must meet a full disk:
///
///     if (test::RanOnSmallDisk(2 << 20)) return;
///     const QString disk = test::SmallDisk();
///
/// Starts this test binary again, filtered to the current test, in a mount namespace of its own
/// (`unshare`; a user namespace too when not root) where a tmpfs of `bytes` is mounted on a fresh
/// folder; waits for it and answers true. The test fails unless the child found its file system in
/// place, ran the test and passed. Inside the child it answers false and the test goes on there.
bool RanOnSmallDisk(long long bytes);

/// Inside the child: the folder the small file system is mounted on.
QString SmallDisk();

/// Writes a file named filler into folder until its file system has no room left; answers the
/// file's path. Removing it frees the room again.
QString FillDisk(const QString &folder);

}  // namespace folvane::test

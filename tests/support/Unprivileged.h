#pragma once
// Permission cases as an ordinary user. Folder and file modes do not stop root, and the suite runs as
// root in CI, so such a case runs its test again in a child process with root's privileges dropped.

namespace folvane::test {

/// The user and group the child runs as (nobody/nogroup).
inline constexpr int kUnprivilegedId = 65534;

/// Call first in a test body whose assertions need permissions to apply:
///
///     if (test::RanUnprivileged()) return;
///
/// As root, starts this test binary again under `setpriv --reuid=65534 --regid=65534 --clear-groups`,
/// filtered to the current test, with a home and temporary folder of its own that the user owns; waits
/// for it and answers true. The test fails unless the child started, ran the test, and passed: a child
/// that cannot start (no setpriv, a binary that user cannot reach), one that skips, and one still root
/// are failures too. Otherwise (not root, or inside the child) answers false and the test goes on here.
bool RanUnprivileged();

}  // namespace folvane::test

#pragma once
// Runs the current test again in a child process (under a launcher that changes who or where it
// runs) and judges the child's run.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace folvane::test {

/// "Suite.Name" of the test that is running.
QString CurrentTestName();

/// Starts launcher with launcherArgs, then exe filtered to the current test, in env; waits for it.
/// Adds a failure, described as happening `where` ("as uid 65534"), unless the child named the test
/// as passed and exited normally with 0: a child that could not start, ran no test or skipped it fails.
void RunCurrentTestInChild(const QString &launcher, const QStringList &launcherArgs, const QString &exe,
                           const QProcessEnvironment &env, const QString &where);

}  // namespace folvane::test

#include "support/ChildRun.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cstdio>

namespace folvane::test {

namespace {
constexpr int kChildTimeoutMs = 240000;  // below CTest's 300 s, so the child's own output still shows
}

QString CurrentTestName()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    return QString::fromUtf8(info->test_suite_name()) + QLatin1Char('.') + QString::fromUtf8(info->name());
}

void RunCurrentTestInChild(const QString &launcher, const QStringList &launcherArgs, const QString &exe,
                           const QProcessEnvironment &env, const QString &where)
{
    const QString name = CurrentTestName();
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(launcher, launcherArgs + QStringList{exe, QStringLiteral("--gtest_filter=") + name,
                                                     QStringLiteral("--gtest_color=no")});
    if (!child.waitForStarted(10000)) {
        ADD_FAILURE() << "the child " << where.toStdString() << " did not start: " << child.errorString().toStdString();
        return;
    }
    if (!child.waitForFinished(kChildTimeoutMs)) {
        child.kill();
        child.waitForFinished(5000);
        ADD_FAILURE() << "the child " << where.toStdString() << " did not finish:\n" << child.readAll().toStdString();
        return;
    }
    const QString output = QString::fromUtf8(child.readAll());
    // Only a run that names the test as passed counts.
    const bool passed = output.contains(QStringLiteral("[       OK ] ") + name + QLatin1Char(' '));
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || !passed) {
        ADD_FAILURE() << where.toStdString() << ", " << name.toStdString() << " did not pass (exit code "
                      << child.exitCode() << "):\n" << output.toStdString();
        return;
    }
    std::printf("[ %s ] %s passed\n", qPrintable(where), qPrintable(name));
}

}  // namespace folvane::test

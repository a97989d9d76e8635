#include "support/Unprivileged.h"

#include "support/ChildRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace folvane::test {

namespace {

constexpr char kChildMark[] = "FOLVANE_UNPRIVILEGED_CHILD";

/// Whether the user the child runs as (no groups but its own) gets the access the bits stand for: the
/// owner's bits when it owns the entry, else the group's when the group is its own, else the others'.
bool Allows(const struct stat &st, mode_t owner, mode_t group, mode_t others)
{
    if (st.st_uid == static_cast<uid_t>(kUnprivilegedId))
        return (st.st_mode & owner) != 0;
    if (st.st_gid == static_cast<gid_t>(kUnprivilegedId))
        return (st.st_mode & group) != 0;
    return (st.st_mode & others) != 0;
}

/// Why the child's user cannot reach path (each folder on the way searchable, the entry itself with
/// the access given); empty when it can.
QString WhyUnreachable(const QString &path, mode_t owner, mode_t group, mode_t others)
{
    const QStringList parts = QDir::cleanPath(QFileInfo(path).absoluteFilePath()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString at = QStringLiteral("/");
    for (qsizetype i = 0; i < parts.size(); ++i) {
        struct stat st {};
        if (::stat(QFile::encodeName(at).constData(), &st) != 0)
            return at + QStringLiteral(" cannot be read");
        if (!Allows(st, S_IXUSR, S_IXGRP, S_IXOTH))
            return at + QStringLiteral(" is not searchable by uid %1").arg(kUnprivilegedId);
        at += (i == 0 ? QString() : QStringLiteral("/")) + parts[i];
    }
    struct stat st {};
    if (::stat(QFile::encodeName(at).constData(), &st) != 0)
        return at + QStringLiteral(" cannot be read");
    if (!Allows(st, owner, group, others))
        return at + QStringLiteral(" does not give uid %1 the access it needs").arg(kUnprivilegedId);
    return {};
}

bool GiveToChild(const QString &path)
{
    return ::chown(QFile::encodeName(path).constData(), kUnprivilegedId, kUnprivilegedId) == 0
           && ::chmod(QFile::encodeName(path).constData(), 0700) == 0;
}

}  // namespace

bool RanUnprivileged()
{
    if (qEnvironmentVariableIsSet(kChildMark)) {
        if (::geteuid() == 0 || ::getegid() == 0) {
            ADD_FAILURE() << "the child meant to run without privileges still runs as root";
            return true;
        }
        return false;
    }
    if (::geteuid() != 0)
        return false;

    const QString name = CurrentTestName();

    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) {
        ADD_FAILURE() << "setpriv (util-linux) is needed to run " << name.toStdString() << " without root's privileges";
        return true;
    }
    // The child's home, temporary and runtime folders: its own, so everything it makes is its user's.
    QTemporaryDir scratch;
    const QString runtime = scratch.filePath(QStringLiteral("runtime"));
    if (!scratch.isValid() || !QDir().mkpath(runtime) || !GiveToChild(scratch.path()) || !GiveToChild(runtime)) {
        ADD_FAILURE() << "no folder for the unprivileged child under " << QDir::tempPath().toStdString();
        return true;
    }
    if (const QString why = WhyUnreachable(runtime, S_IXUSR, S_IXGRP, S_IXOTH); !why.isEmpty()) {
        ADD_FAILURE() << "the child's folder cannot be reached as uid " << kUnprivilegedId << ": " << why.toStdString();
        return true;
    }

    // A build tree under a folder that user cannot enter (root's home): the binary, which needs no
    // file of the tree, runs from a copy in the child's own folder.
    QString exe = QCoreApplication::applicationFilePath();
    if (!WhyUnreachable(exe, S_IXUSR, S_IXGRP, S_IXOTH).isEmpty()) {
        const QString copy = scratch.filePath(QFileInfo(exe).fileName());
        if (!QFile::copy(exe, copy) || !GiveToChild(copy)) {
            ADD_FAILURE() << "the test binary cannot be started as uid " << kUnprivilegedId << ": "
                          << WhyUnreachable(exe, S_IXUSR, S_IXGRP, S_IXOTH).toStdString() << ", and copying it failed";
            return true;
        }
        exe = copy;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildMark), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), scratch.path());
    env.insert(QStringLiteral("TMPDIR"), scratch.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    for (const char *rootsOwn : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XAUTHORITY"})
        env.remove(QString::fromLatin1(rootsOwn));

    const QString id = QString::number(kUnprivilegedId);
    RunCurrentTestInChild(setpriv, {QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                                    QStringLiteral("--clear-groups")},
                          exe, env, QStringLiteral("as uid %1").arg(kUnprivilegedId));
    return true;
}

}  // namespace folvane::test

#pragma once
// Test helpers: a throw-away storage folder, a temporary folder with file helpers, a scripted
// message box and a recorder of shell requests.

#include "platform/MsgBox.h"
#include "platform/Shell.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <vector>

namespace folvane::test {

/// Called once by the test main: points the storage folder at a fresh temporary folder and makes
/// every message box answer OK (recorded) unless a test scripts it.
void InstallTestEnvironment();

/// The storage folder of this test binary (State().StorageFolderPath).
QString StorageFolder();
/// Lines of Errors.Log so far (without line ends); ClearErrorLog() empties it.
QStringList ErrorLogLines();
void ClearErrorLog();

/// Whether Errors.Log holds a line of the procedure, with the unit's closing piece (" of Class
/// Module X at time") and the text part.
bool LoggedFor(const QString &procedure, const QString &closingPiece, const QString &part);

/// The file's bytes; empty when it cannot be read.
QByteArray FileBytes(const QString &path);
/// The names in the folder, hidden ones and subfolders too (a leftover temporary file shows), sorted.
QStringList FolderEntries(const QString &folder);
/// Random bytes, the same for the same seed: data that no compression makes smaller.
QByteArray NoiseBytes(qsizetype size, quint32 seed);

/// Points the storage folder (State().StorageFolderPath) at folder while it lives.
class StorageAt {
public:
    explicit StorageAt(const QString &folder);
    ~StorageAt();
    StorageAt(const StorageAt &) = delete;
    StorageAt &operator=(const StorageAt &) = delete;

private:
    QString savedPath_;
    QString savedFolder_;
};

/// While it lives, the storage folder is a fresh folder in memory (/dev/shm where there is one):
/// each settings write syncs its file, and a test that writes the settings thousands of times
/// would otherwise wait on the disk for minutes.
class StorageInMemory {
public:
    StorageInMemory();

private:
    QTemporaryDir dir_;
    StorageAt at_;
};

/// A temporary folder; files are created relative to it.
class TempDir {
public:
    TempDir();
    QString path() const { return dir_.path(); }
    QString filePath(const QString &rel) const { return dir_.filePath(rel); }
    /// Creates the file (and its folders) with the bytes; a valid mtime is set as modification time.
    QString createFile(const QString &rel, const QByteArray &bytes = {}, const QDateTime &mtime = {}) const;
    QString createFolder(const QString &rel) const;

private:
    QTemporaryDir dir_;
};

/// Catches everything written to the process's stderr (file descriptor 2) while it lives.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    /// What was written so far.
    QByteArray text() const;

private:
    QTemporaryDir dir_;
    QString path_;
    int saved_ = -1;
};

/// Answers message boxes from a queue (OK when the queue is empty) and records every call.
class ScriptedMsgBox {
public:
    ScriptedMsgBox();
    ~ScriptedMsgBox();
    ScriptedMsgBox &answer(MsgResult r)
    {
        answers_.push_back(r);
        return *this;
    }
    const std::vector<MsgBoxCall> &calls() const { return calls_; }
    QStringList texts() const;

private:
    std::deque<MsgResult> answers_;
    std::vector<MsgBoxCall> calls_;
};

/// Records shell requests instead of starting programs.
class ShellRecorder {
public:
    ShellRecorder();
    ~ShellRecorder();
    const std::vector<Shell::Request> &requests() const { return requests_; }

private:
    std::vector<Shell::Request> requests_;
};

/// Sets (or, with nullopt, unsets) an environment variable for the object's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::optional<QString> &value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    QByteArray name_;
    std::optional<QByteArray> saved_;
};

/// Makes every write that would take a file past `bytes` fail, as on a full disk (also for root,
/// whom folder permissions do not stop). Undone when the object goes.
class DiskFullAfter {
public:
    explicit DiskFullAfter(long long bytes);
    ~DiskFullAfter();
    DiskFullAfter(const DiskFullAfter &) = delete;
    DiskFullAfter &operator=(const DiskFullAfter &) = delete;

private:
    unsigned long long savedLimit_;
    void (*savedHandler_)(int);
};

}  // namespace folvane::test

#pragma once
// The one way the program writes a file. The bytes go to an unnamed temporary file in the target's
// folder (O_TMPFILE; a hidden named one where the file system lacks it); every write is checked, and
// Commit() syncs the file and only then gives it its name and renames it over the target. An output
// that is never committed, or whose writing failed, leaves nothing behind and the file at the target
// path untouched; a process killed at any moment leaves the old file or the complete new one.
//
// What may stand at the target path: nothing, a regular file (replaced; its permissions, and its
// owner where the process may set it, are kept), or a link that leads to a regular file (written
// through: the file it leads to is replaced in its own folder and the link stays a link). Anything
// else (a folder, FIFO, socket, device, a dangling link or a link to one of those) is refused and left
// exactly as it is.

#include "platform/Outcome.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

#include <sys/types.h>

namespace folvane {

class AtomicOutput {
public:
    explicit AtomicOutput(const QString &targetPath);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput &) = delete;
    AtomicOutput &operator=(const AtomicOutput &) = delete;

    /// Whether the temporary file could be made (the target may be written and its folder takes a
    /// new file).
    const Outcome &Opened() const noexcept { return opened_; }
    /// The temporary file's descriptor, open for reading and writing; -1 when not opened.
    int Handle() const noexcept { return fd_; }
    /// A name that opens the temporary file again, for writers that only take a path.
    QString TempPath() const;
    /// The target as given, made absolute.
    const QString &TargetPath() const noexcept { return target_; }
    /// The file the commit replaces or creates: the target with its links followed.
    const QString &FinalPath() const noexcept { return final_; }

    /// Appends every byte at the descriptor's offset, or fails with the reason. A failed write is
    /// remembered: Commit() then refuses to put the file in place.
    Outcome Write(const char *data, qint64 size);
    Outcome Write(const QByteArray &bytes) { return Write(bytes.constData(), bytes.size()); }
    /// Marks the output as failed, for writers that found their own error; Commit() then refuses.
    void Abandon(const QString &reason);
    /// Done while every write went through and nobody abandoned the output; else the first reason.
    const Outcome &Written() const noexcept { return written_; }

    /// Gives the file the replaced file's permissions (else those of any new file) and syncs it,
    /// without naming it yet: for outputs that appear together (CommitTogether). A failure discards
    /// the temporary file.
    Outcome Seal();
    /// Seals the file unless that was done, and puts it in place. The temporary file is gone
    /// afterwards, whatever the answer.
    Outcome Commit();

private:
    void OpenTemporary(const QString &folder);
    void Discard();

    QString target_;
    QString final_;
    QByteArray folder_;     // the final path's folder, encoded
    QByteArray finalName_;  // the final path's file name, encoded
    QByteArray tempName_;   // the named temporary file's path, when O_TMPFILE is not offered
    int fd_ = -1;
    bool sealed_ = false;
    Outcome opened_;
    Outcome written_ = Outcome::Done();
};

/// Puts several outputs in place only once every one of them is written and synced, so a failure
/// of any leaves none of them (a process killed while they are named leaves each one old or new).
Outcome CommitTogether(const std::vector<std::unique_ptr<AtomicOutput>> &outputs);

/// Writes bytes to target through an AtomicOutput.
Outcome WriteFileAtomically(const QString &target, const QByteArray &bytes);

/// Copies source to target through an AtomicOutput.
Outcome CopyFileAtomically(const QString &source, const QString &target);

/// Creates one folder whose parent exists; an existing folder of that name is fine.
Outcome CreateOneFolder(const QString &path);

/// The permissions a new file gets under the process's umask (0666 less the mask).
mode_t NewFileMode();

}  // namespace folvane

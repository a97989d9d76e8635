#pragma once
// Writing an output file so that it appears only when complete: the writer fills a temporary file
// in the target's folder, and Commit() renames it over the target in one step. An output that is
// never committed leaves nothing behind and the file at the target path untouched.

#include "platform/Outcome.h"

#include <QString>

#include <memory>

class QTemporaryFile;

namespace folvane {

class AtomicOutput {
public:
    explicit AtomicOutput(const QString &targetPath);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput &) = delete;
    AtomicOutput &operator=(const AtomicOutput &) = delete;

    /// Whether the temporary file could be made (the folder exists and can be written).
    const Outcome &Opened() const noexcept { return opened_; }
    /// Where the writer writes; the file exists and is empty.
    QString TempPath() const;
    const QString &TargetPath() const noexcept { return target_; }
    /// Gives the file the permissions of any new file and renames it over the target.
    Outcome Commit();

private:
    QString target_;
    std::unique_ptr<QTemporaryFile> temp_;
    Outcome opened_;
};

/// Copies source to target through an AtomicOutput.
Outcome CopyFileAtomically(const QString &source, const QString &target);

/// Creates one folder whose parent exists; an existing folder of that name is fine.
Outcome CreateOneFolder(const QString &path);

}  // namespace folvane

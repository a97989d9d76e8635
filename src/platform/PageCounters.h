#pragma once
// Page counters for PDF and TIFF files. Neither ever throws, blocks on a special file, or writes to
// stderr: an unreadable file simply gives a count that callers read as "damaged".

#include <QString>

#include <cstdint>

namespace folvane {

class PdfPageCounter {
public:
    /// Pages of the PDF at path; below 1 when it cannot be read (damaged, wrong password, not a
    /// regular file, missing).
    std::int32_t PageCount(const QString &path) const;
    /// The counter keeps the last passwords it was given and tries each one that is set.
    void SetOwnerPassword(const QString &password) { owner_ = password; }
    void SetUserPassword(const QString &password) { user_ = password; }
    const QString &OwnerPassword() const noexcept { return owner_; }
    const QString &UserPassword() const noexcept { return user_; }

private:
    QString owner_;
    QString user_;
};

class TiffPageCounter {
public:
    /// Pages of the TIFF at path (0 is a valid count); below 0 when it cannot be read.
    std::int32_t PageCount(const QString &path) const;
};

}  // namespace folvane

#pragma once
// The record of one document chosen for a combine or append run: the values of its result-grid row
// and its page range. A document's full path is never stored; it is ValidateDir(FileLocation)
// followed by filename.

#include <QString>

#include <cstdint>
#include <vector>

namespace folvane {

struct clsColSetOrderGrid {
    QString filename;      ///< file name without folder ("Name")
    QString Range;         ///< page range in a combine run; empty until the combine dialog sets it
    QString FileLocation;  ///< the file's folder ("Location")
    QString FileSize;      ///< "Size (In KB)" text
    QString FileType;      ///< "Type" text
    QString FileCreDate;   ///< "Created Date" text
    QString FileModDate;   ///< "Modified Date" text
    QString FileExt;
    std::int32_t PageCount = 0;  ///< "Pages"
};

/// An ordered collection of records, in insertion order.
using SetOrderRecords = std::vector<clsColSetOrderGrid>;

}  // namespace folvane

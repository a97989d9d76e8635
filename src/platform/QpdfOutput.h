#pragma once
// How the platform units write a PDF with qpdf: into an AtomicOutput, every byte checked. qpdf's
// writer given a file name writes through stdio and drops the error of the last flush and close,
// so on a full disk it returns normally with a truncated file. Private to src/platform.

#include "platform/Outcome.h"
#include "platform/QpdfBudget.h"

#include <QString>

#include <functional>

class QPDF;
class QPDFWriter;

namespace folvane {

class AtomicOutput;

namespace qpdfoutput {

/// What a write may decode in all: the object streams of its objects, and streams it decodes only to
/// compress them again; no sound document comes near it.
inline constexpr qpdfbudget::Limits WriteLimits{.decodedBytes = 1LL << 30};

/// Writes pdf into output through a writer that configure sets up (it may be empty). A write that
/// failed answers the output's reason as it is; any other failure of qpdf (damaged stream data,
/// say) answers "<what>: <qpdf's message>" and marks the output failed. Nothing is committed here.
Outcome WritePdf(QPDF &pdf, AtomicOutput &output, const QString &what,
                 const std::function<void(QPDFWriter &)> &configure = {});

}  // namespace qpdfoutput
}  // namespace folvane

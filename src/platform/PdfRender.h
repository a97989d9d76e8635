#pragma once
// PDF pages rendered to images. poppler renders them in a child process (PdfRenderChild.h) under a
// memory limit, which is stopped at a deadline: a hostile file that would hang it or grow without
// bound fails with a reason instead, and the program goes on.

#include "platform/Outcome.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

namespace folvane {

/// How long a render child may take before it is stopped.
struct PdfRenderDeadlines {
    /// To open a document: a real one, even damaged, opens within a second or two.
    double openSeconds = 10;
    /// To render a page, and a second more for each pixelsPerExtraSecond, since large pages at
    /// high resolution cost time in the pixels alone. Pages are rendered for conversions that
    /// no window waits on, so a page of hundreds of thousands of strokes, which takes a minute,
    /// still renders; one that never ends still fails.
    double pageSeconds = 120;
    double pixelsPerExtraSecond = 10e6;
};

class PdfRenderDocument {
public:
    /// Why a document did not open.
    enum class OpenFailure { None, NotReadable, Damaged, Password, NoPages };

    /// Opens the PDF at path with the owner password, else the user password, else none. A document
    /// that passes the child's time or memory limit while it opens is Damaged. The child is
    /// folvane-render beside the program, or the program FOLVANE_RENDER_HELPER names (tests and
    /// benchmarks are built elsewhere).
    PdfRenderDocument(const QString &path, const QString &ownerPassword = {}, const QString &userPassword = {},
                      const PdfRenderDeadlines &deadlines = {});
    ~PdfRenderDocument();
    PdfRenderDocument(const PdfRenderDocument &) = delete;
    PdfRenderDocument &operator=(const PdfRenderDocument &) = delete;

    /// Whether the document opened, and why not.
    const Outcome &Opened() const noexcept { return opened_; }
    OpenFailure Failure() const noexcept { return failure_; }

    std::int32_t Pages() const;
    /// Page (from 1) at the resolution given, white where the page paints nothing; the image
    /// carries the resolution. The reason when it cannot be rendered, also when rendering passed a
    /// limit; once the child was stopped, no later page renders.
    Expected<QImage> Render(std::int32_t page, double dpiX, double dpiY) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    PdfRenderDeadlines deadlines_;
    OpenFailure failure_ = OpenFailure::None;
    Outcome opened_ = Outcome::Done();
};

}  // namespace folvane

#pragma once
// The component "PdfPages.Counter.1": GetNumberOfPages(path, password) gives the page count of a
// PDF as a whole number; a file that cannot be read is an error.

#include "platform/AutomationComponent.h"

#include <cstdint>

namespace folvane {

class PdfPagesCounter final : public AutomationComponent {
public:
    /// Pages of the PDF, opened with password when it needs one; nothing, with the reason, when it
    /// cannot be read (missing, damaged, wrong password, no pages).
    Expected<std::int32_t> GetNumberOfPages(const QString &path, const QString &password) const;
    CallResult Invoke(const QString &method, const QVariantList &args) override;
};

}  // namespace folvane

#pragma once
// How a PDF-to-image conversion reports its progress: a bar with the percentage done, the name of
// the file being converted and the percentage as text. No window of the program shows one; a
// caller that wants the figures hands ApPdfToImage a receiver (SetProgress), which must outlive the
// conversion or be withdrawn (SetProgress(nullptr)) before it goes.

#include <QString>

#include <cstdint>

namespace folvane {

class ConversionProgress {
public:
    /// The bar's value: the percentage done, 0 when the conversion ends.
    virtual void SetProgressBarValue(std::int32_t percent) = 0;
    /// The file being converted; empty when the conversion ends.
    virtual void SetFileNameCaption(const QString &name) = 0;
    /// The percentage as text; "0" when the conversion ends.
    virtual void SetProgressNumberCaption(const QString &text) = 0;

protected:
    ~ConversionProgress() = default;
};

}  // namespace folvane

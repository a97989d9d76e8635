#include "platform/QpdfOutput.h"

#include "platform/AtomicOutput.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <stdexcept>
#include <vector>

namespace folvane::qpdfoutput {

namespace {

// qpdf hands its pipeline many small pieces; a write of each would cost a system call apiece.
constexpr std::size_t BufferBytes = 256 * 1024;

/// The end of the writer's pipeline: buffers what it is handed and writes it to the output,
/// throwing when a write fails, so the writer stops at once.
class OutputPipeline final : public Pipeline {
public:
    explicit OutputPipeline(AtomicOutput &output) : Pipeline("output", nullptr), output_(output)
    {
        buffer_.reserve(BufferBytes);
    }

    void write(const unsigned char *data, size_t length) override
    {
        if (buffer_.size() + length > BufferBytes) {
            Flush();
            if (length >= BufferBytes) {
                Put(data, length);
                return;
            }
        }
        buffer_.insert(buffer_.end(), data, data + length);
    }

    void finish() override { Flush(); }

    /// Why a write failed; empty while none did.
    const QString &Failure() const noexcept { return failure_; }

private:
    void Flush()
    {
        if (buffer_.empty())
            return;
        Put(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

    void Put(const unsigned char *data, size_t length)
    {
        const Outcome written = output_.Write(reinterpret_cast<const char *>(data), static_cast<qint64>(length));
        if (!written) {
            failure_ = written.reason;
            throw std::runtime_error(failure_.toStdString());
        }
    }

    AtomicOutput &output_;
    std::vector<unsigned char> buffer_;
    QString failure_;
};

}  // namespace

Outcome WritePdf(QPDF &pdf, AtomicOutput &output, const QString &what, const std::function<void(QPDFWriter &)> &configure)
{
    if (!output.Opened())
        return output.Opened();
    OutputPipeline pipeline(output);
    try {
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&pipeline);
        if (configure)
            configure(writer);
        writer.write();
    } catch (const std::exception &e) {
        if (!pipeline.Failure().isEmpty())
            return Outcome::Failed(pipeline.Failure());
        const Outcome failed = Outcome::Failed(QStringLiteral("%1: %2").arg(what, QString::fromStdString(e.what())));
        output.Abandon(failed.reason);
        return failed;
    }
    return Outcome::Done();
}

}  // namespace folvane::qpdfoutput

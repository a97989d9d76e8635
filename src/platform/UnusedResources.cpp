#include "platform/UnusedResources.h"

#include <qpdf/Pipeline.hh>

#include <algorithm>
#include <list>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace folvane::PdfEngine {

namespace {

/// Whether pages or their form XObjects share resource dictionaries, as qpdf decides it for its own
/// page selection.
bool SharesResources(QPDF &pdf)
{
    std::set<QPDFObjGen> resourcesSeen, nodesSeen;
    std::list<QPDFObjectHandle> queue{pdf.getRoot().getKey("/Pages")};
    while (!queue.empty()) {
        QPDFObjectHandle node = queue.front();
        queue.pop_front();
        if (!nodesSeen.insert(node.getObjGen()).second)
            continue;
        QPDFObjectHandle dict = node.isStream() ? node.getDict() : node;
        QPDFObjectHandle kids = dict.getKey("/Kids");
        if (kids.isArray()) {
            if (dict.hasKey("/Resources"))
                return true;
            for (const QPDFObjectHandle &kid : kids.aitems())
                queue.push_back(kid);
            continue;
        }
        QPDFObjectHandle resources = dict.getKey("/Resources");
        if (resources.isIndirect() && !resourcesSeen.insert(resources.getObjGen()).second)
            return true;
        QPDFObjectHandle xobject = resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull();
        if (xobject.isIndirect() && !resourcesSeen.insert(xobject.getObjGen()).second)
            return true;
        if (xobject.isDictionary())
            for (const std::string &key : xobject.getKeys())
                if (QPDFObjectHandle x = xobject.getKey(key); x.isFormXObject())
                    queue.push_back(x);
    }
    return false;
}

/// Counts what flows into it and stops the flow past a size.
class Measure final : public Pipeline {
public:
    explicit Measure(std::int64_t limit) : Pipeline("measure", nullptr), limit_(limit) {}
    void write(unsigned char const *, size_t len) override
    {
        bytes_ += static_cast<std::int64_t>(len);
        if (bytes_ > limit_)
            throw std::runtime_error("more content than is parsed");
    }
    void finish() override {}
    std::int64_t Bytes() const noexcept { return bytes_; }

private:
    const std::int64_t limit_;
    std::int64_t bytes_ = 0;
};

/// Whether the content that removing the page's unused resources parses (the page's content
/// streams and those of every form it draws, as qpdf finds them) fits in bytesLeft, which it then
/// takes from. Measuring decodes the streams without parsing them, and counts too.
bool ContentFits(QPDFPageObjectHelper page, std::int64_t &bytesLeft)
{
    std::vector<QPDFObjectHandle> streams;
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    if (contents.isStream())
        streams.push_back(contents);
    else if (contents.isArray())
        for (QPDFObjectHandle item : contents.aitems())
            if (item.isStream())
                streams.push_back(item);
    std::set<QPDFObjGen> seen;
    std::list<QPDFPageObjectHelper> queue{page};
    while (!queue.empty()) {
        QPDFPageObjectHelper ph = queue.front();
        queue.pop_front();
        if (!seen.insert(ph.getObjectHandle().getObjGen()).second)
            continue;
        QPDFObjectHandle resources = ph.getAttribute("/Resources", false);
        QPDFObjectHandle xobjects = resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull();
        if (!xobjects.isDictionary())
            continue;
        for (const std::string &key : xobjects.getKeys())
            if (QPDFObjectHandle x = xobjects.getKey(key); x.isFormXObject()) {
                streams.push_back(x);
                queue.emplace_back(x);
            }
    }
    Measure measure(bytesLeft);
    bool fits = true;
    for (std::size_t i = 0; fits && i < streams.size(); ++i)
        fits = streams[i].pipeStreamData(&measure, 0, qpdf_dl_specialized, true);
    bytesLeft = std::max<std::int64_t>(0, bytesLeft - measure.Bytes());
    return fits;
}

}  // namespace

UnusedResources::UnusedResources(QPDF &document) : worthIt_(SharesResources(document)) {}

void UnusedResources::DropFrom(QPDFPageObjectHelper &page)
{
    if (worthIt_ && ContentFits(page, bytesLeft_))
        page.removeUnreferencedResources();
}

}  // namespace folvane::PdfEngine

#pragma once
// Links between the pages of a merge. Copying a page into another document cuts its references to
// other pages (a link to a page not copied yet would otherwise drag that page in); qpdf turns them
// into null. Before a page is copied, the destination of each of its links is rewritten in the
// source to name its target page by a mark; once every page is in, each mark is replaced by the
// target's first copy in the output, or by null when the target was left out. Private to
// src/platform (it includes qpdf).

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstddef>
#include <map>
#include <set>
#include <utility>

namespace folvane::PdfEngine {

class LinkMender {
public:
    /// Marks the targets of the links on a page of the source (sourceId names the source, pages are
    /// all of its pages) before the page's first copy.
    void MarkLinks(QPDF &source, std::size_t sourceId, const std::set<QPDFObjGen> &pages, QPDFObjectHandle page);
    /// Notes the first copy of a source's page in the output: where links to that page lead.
    void FirstCopy(std::size_t sourceId, QPDFObjGen page, QPDFObjectHandle copy);
    /// Puts the first copy of each marked target page in place of its mark in the output's links, or
    /// null.
    void Resolve(QPDFPageDocumentHelper &outputPages);

private:
    std::map<std::pair<std::size_t, QPDFObjGen>, QPDFObjectHandle> firstCopy_;
    bool anyMarked_ = false;
};

}  // namespace folvane::PdfEngine

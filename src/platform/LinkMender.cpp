#include "platform/LinkMender.h"

#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <string>
#include <vector>

namespace folvane::PdfEngine {

namespace {

const char *const LinkTargetKey = "/FolvaneLinkTarget";

/// A named destination of the source resolved to its array, or null.
QPDFObjectHandle NamedDestination(QPDF &pdf, QPDFObjectHandle name)
{
    QPDFObjectHandle found = QPDFObjectHandle::newNull();
    QPDFObjectHandle root = pdf.getRoot();
    if (name.isString()) {
        QPDFObjectHandle tree = root.getKey("/Names").getKey("/Dests");
        if (tree.isDictionary())
            QPDFNameTreeObjectHelper(tree, pdf).findObject(name.getUTF8Value(), found);
    }
    if (found.isNull() && (name.isName() || name.isString())) {
        QPDFObjectHandle dests = root.getKey("/Dests");
        const std::string key = name.isName() ? name.getName() : "/" + name.getUTF8Value();
        if (dests.isDictionary())
            found = dests.getKey(key);
    }
    if (found.isDictionary())
        found = found.getKey("/D");
    return found.isArray() ? found : QPDFObjectHandle::newNull();
}

/// The destination with its page replaced by a mark, or null when it leads to no page of the source.
QPDFObjectHandle MarkDestination(QPDF &source, std::size_t sourceId, const std::set<QPDFObjGen> &pages,
                                 QPDFObjectHandle dest)
{
    if (dest.isName() || dest.isString())
        dest = NamedDestination(source, dest);
    if (!dest.isArray() || dest.getArrayNItems() < 1)
        return QPDFObjectHandle::newNull();
    QPDFObjectHandle page = dest.getArrayItem(0);
    if (!page.isIndirect() || !pages.count(page.getObjGen()))
        return QPDFObjectHandle::newNull();
    const QPDFObjGen og = page.getObjGen();
    QPDFObjectHandle mark = QPDFObjectHandle::newDictionary();
    mark.replaceKey(LinkTargetKey, QPDFObjectHandle::newArray({QPDFObjectHandle::newInteger(static_cast<long long>(sourceId)),
                                                               QPDFObjectHandle::newInteger(og.getObj()),
                                                               QPDFObjectHandle::newInteger(og.getGen())}));
    std::vector<QPDFObjectHandle> items = dest.getArrayAsVector();
    items[0] = mark;
    return QPDFObjectHandle::newArray(items);
}

}  // namespace

void LinkMender::MarkLinks(QPDF &source, std::size_t sourceId, const std::set<QPDFObjGen> &pages, QPDFObjectHandle page)
{
    QPDFObjectHandle annots = page.getKey("/Annots");
    if (!annots.isArray())
        return;
    for (QPDFObjectHandle annot : annots.aitems()) {
        // A link that cannot be read is copied as it is, as qpdf copies it: it never fails a merge.
        try {
            if (!annot.isDictionary() || !annot.getKey("/Subtype").isNameAndEquals("/Link"))
                continue;
            QPDFObjectHandle holder = annot;
            std::string key = "/Dest";
            if (!annot.hasKey(key)) {
                QPDFObjectHandle action = annot.getKey("/A");
                if (!action.isDictionary() || !action.getKey("/S").isNameAndEquals("/GoTo"))
                    continue;
                holder = action;
                key = "/D";
            }
            QPDFObjectHandle marked = MarkDestination(source, sourceId, pages, holder.getKey(key));
            if (!marked.isNull()) {
                holder.replaceKey(key, marked);
                anyMarked_ = true;
            }
        } catch (const std::exception &) {
        }
    }
}

void LinkMender::FirstCopy(std::size_t sourceId, QPDFObjGen page, QPDFObjectHandle copy)
{
    firstCopy_.emplace(std::make_pair(sourceId, page), copy);
}

void LinkMender::Resolve(QPDFPageDocumentHelper &outputPages)
{
    if (!anyMarked_)
        return;
    auto resolve = [&](QPDFObjectHandle dest) {
        if (!dest.isArray() || dest.getArrayNItems() < 1)
            return;
        QPDFObjectHandle mark = dest.getArrayItem(0);
        if (!mark.isDictionary() || !mark.hasKey(LinkTargetKey))
            return;
        QPDFObjectHandle t = mark.getKey(LinkTargetKey);
        const auto it = firstCopy_.find({static_cast<std::size_t>(t.getArrayItem(0).getIntValue()),
                                         QPDFObjGen(t.getArrayItem(1).getIntValueAsInt(), t.getArrayItem(2).getIntValueAsInt())});
        dest.setArrayItem(0, it == firstCopy_.end() ? QPDFObjectHandle::newNull() : it->second);
    };
    for (QPDFPageObjectHelper &page : outputPages.getAllPages()) {
        QPDFObjectHandle annots = page.getObjectHandle().getKey("/Annots");
        if (!annots.isArray())
            continue;
        for (QPDFObjectHandle annot : annots.aitems()) {
            if (!annot.isDictionary() || !annot.getKey("/Subtype").isNameAndEquals("/Link"))
                continue;
            resolve(annot.getKey("/Dest"));
            if (QPDFObjectHandle action = annot.getKey("/A"); action.isDictionary())
                resolve(action.getKey("/D"));
        }
    }
}

}  // namespace folvane::PdfEngine

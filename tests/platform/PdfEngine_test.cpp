#include "platform/PdfEngine.h"

#include "support/ChildRun.h"
#include "support/HostilePdfs.h"
#include "support/PdfFixtures.h"
#include "support/RenderHazards.h"
#include "support/TestEnv.h"
#include "support/Unprivileged.h"
#include "support/WithinLimits.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QRegularExpression>

#include <functional>
#include <map>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace folvane;
using namespace folvane::PdfEngine;
using folvane::test::MakePdf;
using folvane::test::MakeTaggedPdf;
using folvane::test::Markers;
using folvane::test::PageMarkers;
using folvane::test::PdfSpec;

namespace {

struct Doc {
    QString path;
    QString range;
};

/// Merges docs into out; the result of the first failing step, or of the close.
Outcome MergeAll(const QString &out, const std::vector<Doc> &docs, const Passwords &passwords = {})
{
    PdfMerge merge(out, passwords);
    if (!merge.Opened())
        return merge.Opened();
    for (const Doc &d : docs)
        if (Outcome r = merge.Add(d.path, d.range); !r)
            return r;
    return merge.Close();
}

QStringList FilesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

int QpdfCheck(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    p.waitForFinished(60000);
    return p.exitCode();
}

/// One page with a link and a filled-in text field.
QString MakeFormPdf(const test::TempDir &dir, const QString &tag)
{
    const QString plain = MakeTaggedPdf(dir.path(), tag + "-plain", 1);
    QPDF pdf;
    pdf.processFile(plain.toLocal8Bit().constData());
    QPDFObjectHandle page = QPDFPageDocumentHelper(pdf).getAllPages().at(0).getObjectHandle();
    QPDFObjectHandle link = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Annot /Subtype /Link /Rect [72 600 200 620] /Border [0 0 0]"
        " /A << /S /URI /URI (https://example.org/) >> >>"));
    QPDFObjectHandle field = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (value) /F 4 /Rect [72 500 300 520]"
        " /DA (/Helv 12 Tf 0 g) >>"));
    field.replaceKey("/P", page);
    page.replaceKey("/Annots", QPDFObjectHandle::newArray({link, field}));
    QPDFObjectHandle form = QPDFObjectHandle::parse(
        "<< /DA (/Helv 12 Tf 0 g) /DR << /Font << /Helv << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>");
    form.replaceKey("/Fields", QPDFObjectHandle::newArray({field}));
    pdf.getRoot().replaceKey("/AcroForm", pdf.makeIndirectObject(form));
    const QString out = dir.filePath(tag + ".pdf");
    const QByteArray file = out.toLocal8Bit(); // the writer keeps the name until it has written
    QPDFWriter w(pdf, file.constData());
    w.write();
    return out;
}

struct FormInfo {
    std::vector<std::string> fieldNames;
    std::vector<std::string> annotationTypes;  // per page, joined
    bool operator==(const FormInfo &) const = default;
};

FormInfo ReadForm(const QString &path)
{
    FormInfo info;
    QPDF pdf;
    pdf.processFile(path.toLocal8Bit().constData());
    QPDFAcroFormDocumentHelper afdh(pdf);
    for (auto &f : afdh.getFormFields())
        info.fieldNames.push_back(f.getFullyQualifiedName() + "=" + f.getValueAsString());
    for (auto &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        std::string types;
        for (auto &a : page.getAnnotations())
            types += a.getSubtype() + " ";
        info.annotationTypes.push_back(types);
    }
    return info;
}

/// Five pages "l p1".."l p5" with links: p1 to p3 by a destination, p2 to p4 by a named destination,
/// p3 back to p1 by a GoTo action, p4 to p2; p5 has a link to a name that is not there.
QString MakeLinkedPdf(const test::TempDir &dir)
{
    const QString plain = MakeTaggedPdf(dir.path(), "l-plain", 5);
    QPDF pdf;
    pdf.processFile(plain.toLocal8Bit().constData());
    std::vector<QPDFObjectHandle> pages;
    for (auto &p : QPDFPageDocumentHelper(pdf).getAllPages())
        pages.push_back(p.getObjectHandle());
    auto link = [&](int from, QPDFObjectHandle key, QPDFObjectHandle value) {
        QPDFObjectHandle annot = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Link /Rect [72 600 200 620] /Border [0 0 0] >>"));
        annot.replaceKey(key.getName(), value);
        pages[from - 1].replaceKey("/Annots", QPDFObjectHandle::newArray({annot}));
    };
    auto dest = [&](int to) {
        return QPDFObjectHandle::newArray({pages[to - 1], QPDFObjectHandle::newName("/Fit")});
    };
    link(1, QPDFObjectHandle::newName("/Dest"), dest(3));
    link(2, QPDFObjectHandle::newName("/Dest"), QPDFObjectHandle::newString("chapter"));
    QPDFObjectHandle action = QPDFObjectHandle::parse("<< /S /GoTo >>");
    action.replaceKey("/D", dest(1));
    link(3, QPDFObjectHandle::newName("/A"), action);
    link(4, QPDFObjectHandle::newName("/Dest"), dest(2));
    link(5, QPDFObjectHandle::newName("/Dest"), QPDFObjectHandle::newString("nowhere"));
    QPDFObjectHandle names = QPDFObjectHandle::newDictionary();
    names.replaceKey("/Dests", pdf.makeIndirectObject(QPDFObjectHandle::newDictionary()));
    names.getKey("/Dests").replaceKey("/Names", QPDFObjectHandle::newArray({QPDFObjectHandle::newString("chapter"), dest(4)}));
    pdf.getRoot().replaceKey("/Names", names);
    const QString out = dir.filePath("linked.pdf");
    const QByteArray file = out.toLocal8Bit();
    QPDFWriter w(pdf, file.constData());
    w.write();
    return out;
}

/// For each page of the file, the output page (1-based) its first link leads to: 0 when the link
/// leads nowhere (null), -1 when the page has no link or the target is not a page of the file.
std::vector<int> LinkTargets(const QString &path)
{
    QPDF pdf;
    pdf.processFile(path.toLocal8Bit().constData());
    std::map<QPDFObjGen, int> number;
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    for (std::size_t i = 0; i < pages.size(); ++i)
        number[pages[i].getObjectHandle().getObjGen()] = static_cast<int>(i + 1);
    std::vector<int> targets;
    for (auto &page : pages) {
        int target = -1;
        for (auto &annot : page.getAnnotations("/Link")) {
            QPDFObjectHandle d = annot.getObjectHandle().getKey("/Dest");
            if (d.isNull())
                d = annot.getObjectHandle().getKey("/A").getKey("/D");
            if (d.isArray() && d.getArrayNItems() > 0) {
                QPDFObjectHandle p = d.getArrayItem(0);
                target = p.isNull() ? 0 : (number.count(p.getObjGen()) && p.isIndirect() ? number[p.getObjGen()] : -1);
            }
            break;
        }
        targets.push_back(target);
    }
    return targets;
}

/// Three pages labelled "i", "ii", then "A-1".
QString MakeLabelledPdf(const test::TempDir &dir)
{
    const QString plain = MakeTaggedPdf(dir.path(), "labelled-plain", 3);
    QPDF pdf;
    pdf.processFile(plain.toLocal8Bit().constData());
    pdf.getRoot().replaceKey("/PageLabels", QPDFObjectHandle::parse("<< /Nums [0 << /S /r >> 2 << /S /D /P (A-) >>] >>"));
    const QString out = dir.filePath("labelled.pdf");
    const QByteArray file = out.toLocal8Bit();
    QPDFWriter w(pdf, file.constData());
    w.write();
    return out;
}

std::string PageLabels(const QString &path)
{
    QPDF pdf;
    pdf.processFile(path.toLocal8Bit().constData());
    return pdf.getRoot().getKey("/PageLabels").unparseResolved();
}

}  // namespace

TEST(PdfEngine, PagesLandInTheOrderAddedWithTheirRanges)
{
    test::TempDir dir;
    const QString a = MakeTaggedPdf(dir.path(), "a", 3), b = MakeTaggedPdf(dir.path(), "b", 5), c = MakeTaggedPdf(dir.path(), "c", 2);
    struct Case {
        const char *name;
        std::vector<Doc> docs;
        QStringList expected;
    } cases[] = {
        {"all, range, all", {{a, "0"}, {b, "2-4"}, {c, "0"}},
         Markers("a", {1, 2, 3}) + Markers("b", {2, 3, 4}) + Markers("c", {1, 2})},
        {"empty items skipped", {{b, "1;;3"}}, Markers("b", {1, 3})},
        {"list order kept", {{b, "5;1-2"}, {a, "2;"}}, Markers("b", {5, 1, 2}) + Markers("a", {2})},
        {"single-page range and last page", {{b, "4-4;5"}, {c, " 1 "}}, Markers("b", {4, 5}) + Markers("c", {1})},
        {"same document twice", {{a, "1"}, {c, "0"}, {a, "1"}}, Markers("a", {1}) + Markers("c", {1, 2}) + Markers("a", {1})},
    };
    for (const Case &c : cases) {
        const QString out = dir.filePath("out.pdf");
        const Outcome r = MergeAll(out, c.docs);
        ASSERT_TRUE(r) << c.name << ": " << r.reason.toStdString();
        EXPECT_EQ(PageMarkers(out), c.expected) << c.name;
    }
    EXPECT_EQ(QpdfCheck(dir.filePath("out.pdf")), 0);
}

TEST(PdfEngine, BadRangesAndInputsFailTheAddAndTheWholeMerge)
{
    test::TempDir dir;
    const QString b = MakeTaggedPdf(dir.path(), "b", 5);
    const QString fifo = dir.filePath("fifo.pdf");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    struct Case {
        const char *name;
        Doc doc;
    } cases[] = {
        {"backwards", {b, "3-2"}},
        {"page 0 first in a list", {b, "0;2"}},
        {"page 0 later in a list", {b, "2;0"}},
        {"page 0 as a bound", {b, "0-2"}},
        {"past the end", {b, "6"}},
        {"range past the end", {b, "2-9"}},
        {"huge number", {b, "99999999999999999999"}},
        {"letters", {b, "abc"}},
        {"comma list", {b, "1,2"}},
        {"open range", {b, "-3"}},
        {"two dashes", {b, "1-2-3"}},
        {"no pages at all", {b, ";;"}},
        {"empty text", {b, ""}},
        {"damaged input", {dir.createFile("bad.pdf", "%PDF-1.4\nnot really\n"), "0"}},
        {"missing input", {dir.filePath("missing.pdf"), "0"}},
        {"folder input", {dir.createFolder("sub.pdf"), "0"}},
        {"FIFO input", {fifo, "0"}},
    };
    test::StderrCapture err;
    for (const Case &c : cases) {
        const QString out = dir.filePath("out.pdf");
        PdfMerge merge(out);
        ASSERT_TRUE(merge.Opened()) << merge.Opened().reason.toStdString();
        ASSERT_TRUE(merge.Add(b, "1")) << c.name;
        const Outcome add = merge.Add(c.doc.path, c.doc.range);
        EXPECT_FALSE(add) << c.name;
        EXPECT_FALSE(add.reason.isEmpty()) << c.name;
        const Outcome close = merge.Close();
        EXPECT_FALSE(close) << c.name;
        EXPECT_TRUE(close.reason.contains(add.reason)) << c.name << ": " << close.reason.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << c.name;
    }
    EXPECT_TRUE(err.text().isEmpty()) << err.text().toStdString();
    EXPECT_FALSE(FilesIn(dir.path()).join(' ').contains(".part"));
}

TEST(PdfEngine, EncryptedInputsOpenWithThePreferencePasswords)
{
    test::TempDir dir;
    PdfSpec aes;
    aes.pages = 2;
    aes.tag = "aes";
    aes.userPassword = "user-pw";
    aes.ownerPassword = "owner-pw";
    const QString aesFile = MakePdf(dir.filePath("aes.pdf"), aes);
    PdfSpec rc4;
    rc4.pages = 1;
    rc4.tag = "rc4";
    rc4.userPassword = QStringLiteral("grüße");
    rc4.ownerPassword = QStringLiteral("öwner");
    rc4.rc4 = true;
    const QString rc4File = MakePdf(dir.filePath("rc4.pdf"), rc4);
    const QString out = dir.filePath("out.pdf");

    const Outcome ok = MergeAll(out, {{aesFile, "0"}, {rc4File, "0"}}, {"owner-pw", QStringLiteral("grüße")});
    ASSERT_TRUE(ok) << ok.reason.toStdString();
    EXPECT_EQ(PageMarkers(out), Markers("aes", {1, 2}) + Markers("rc4", {1}));

    QFile::remove(out);
    const Outcome wrong = MergeAll(out, {{aesFile, "0"}}, {"nope", "nope either"});
    EXPECT_FALSE(wrong);
    EXPECT_TRUE(wrong.reason.contains("password")) << wrong.reason.toStdString();
    EXPECT_FALSE(MergeAll(out, {{rc4File, "0"}}));
    EXPECT_FALSE(QFile::exists(out));
}

TEST(PdfEngine, OutputPassesCheckAndTakesTheHighestInputVersion)
{
    test::TempDir dir;
    const QString v14 = MakeTaggedPdf(dir.path(), "v14", 2, "1.4"), v17 = MakeTaggedPdf(dir.path(), "v17", 1, "1.7");
    const QString v15 = MakeTaggedPdf(dir.path(), "v15", 1, "1.5");
    const QString out = dir.filePath("out.pdf");
    ASSERT_TRUE(MergeAll(out, {{v14, "0"}, {v17, "0"}, {v15, "1"}}));
    EXPECT_EQ(test::PdfHeaderVersion(out), "1.7");
    EXPECT_EQ(QpdfCheck(out), 0);
    ASSERT_TRUE(MergeAll(out, {{v14, "0"}}));
    EXPECT_EQ(test::PdfHeaderVersion(out), "1.4");
}

TEST(PdfEngine, AnnotationsLinksAndFieldsAreKeptAsQpdfKeepsThem)
{
    test::TempDir dir;
    const QString form = MakeFormPdf(dir, "form"), other = MakeFormPdf(dir, "other");
    const QString plain = MakeTaggedPdf(dir.path(), "plain", 1);
    const QString out = dir.filePath("out.pdf"), ref = dir.filePath("ref.pdf");
    struct Case {
        const char *name;
        std::vector<Doc> docs;
        QStringList qpdfPages;  // the same selection in qpdf's --pages syntax
    } cases[] = {
        {"same form twice", {{form, "0"}, {plain, "0"}, {form, "0"}}, {form, plain, form}},
        {"same page twice in one add", {{form, "1;1"}}, {form, "1,1"}},
        {"two forms with the same field name", {{form, "0"}, {other, "0"}, {form, "1"}}, {form, other, form, "1"}},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(MergeAll(out, c.docs)) << c.name;
        QProcess qpdf;
        qpdf.start("qpdf", QStringList{"--empty", "--pages"} + c.qpdfPages + QStringList{"--", ref});
        ASSERT_TRUE(qpdf.waitForFinished(60000));
        ASSERT_EQ(qpdf.exitCode(), 0) << c.name;
        EXPECT_EQ(ReadForm(out), ReadForm(ref)) << c.name;
        EXPECT_EQ(QpdfCheck(out), 0) << c.name;
    }
    // Page labels are renumbered as qpdf renumbers them.
    const QString labelled = MakeLabelledPdf(dir);
    ASSERT_TRUE(MergeAll(out, {{plain, "0"}, {labelled, "0"}, {form, "0"}, {plain, "0"}, {labelled, "3;1"}}));
    QProcess qpdf;
    qpdf.start("qpdf", {"--empty", "--pages", plain, labelled, form, plain, labelled, "3,1", "--", ref});
    ASSERT_TRUE(qpdf.waitForFinished(60000));
    EXPECT_EQ(PageLabels(out), PageLabels(ref));
    EXPECT_NE(PageLabels(out), "null");
    // Two working fields (the second copy renamed), both links, nothing on the plain page.
    ASSERT_TRUE(MergeAll(out, cases[0].docs));
    const FormInfo got = ReadForm(out);
    ASSERT_EQ(got.fieldNames.size(), 2u);
    EXPECT_EQ(got.fieldNames[0], "name=value");
    EXPECT_NE(got.fieldNames[1], got.fieldNames[0]);
    EXPECT_EQ(got.annotationTypes, (std::vector<std::string>{"/Link /Widget ", "", "/Link /Widget "}));
}

TEST(PdfEngine, PageLabelsKeepWhatTheyNameIndirectly)
{
    // The label's prefix is an object of its own in the source, which the merge lets go of before
    // the output is written.
    test::TempDir dir;
    QPDF pdf;
    pdf.processFile(MakeTaggedPdf(dir.path(), "plain", 2).toLocal8Bit().constData());
    QPDFObjectHandle label = QPDFObjectHandle::parse("<< /S /D >>");
    label.replaceKey("/P", pdf.makeIndirectObject(QPDFObjectHandle::newString("Chapter-")));
    pdf.getRoot().replaceKey("/PageLabels", QPDFObjectHandle::parse("<< /Nums [0] >>"));
    pdf.getRoot().getKey("/PageLabels").getKey("/Nums").appendItem(label);
    const QString labelled = dir.filePath("labelled.pdf");
    const QByteArray file = labelled.toLocal8Bit();
    QPDFWriter w(pdf, file.constData());
    w.write();

    const QString out = dir.filePath("out.pdf");
    ASSERT_TRUE(MergeAll(out, {{labelled, "2"}, {labelled, "1"}}));
    EXPECT_EQ(PageLabels(out), "<< /Nums [ 0 << /P (Chapter-) /S /D /St 2 >> 1 << /P (Chapter-) /S /D /St 1 >> ] >>");
}

TEST(PdfEngine, LinksKeepLeadingToTheirPagesInTheOutput)
{
    test::TempDir dir;
    const QString linked = MakeLinkedPdf(dir);
    const QString plain = MakeTaggedPdf(dir.path(), "plain", 1);
    const QString out = dir.filePath("out.pdf");
    // Source links: p1 -> p3, p2 -> p4 (named), p3 -> p1 (GoTo action), p4 -> p2, p5 -> unknown name.
    struct Case {
        const char *name;
        std::vector<Doc> docs;
        std::vector<int> targets;  // per output page: the page its link leads to, 0 for none
    } cases[] = {
        {"whole document", {{linked, "0"}}, {3, 4, 1, 2, -1}},
        {"reordered: a backward link becomes forward", {{linked, "3-4;1"}}, {3, 0, 1}},
        {"target left out", {{linked, "1-2"}}, {0, 0}},
        {"repeated page: its first copy", {{linked, "1;3;1;3"}}, {2, 1, 2, 1}},
        {"across adds of the same document", {{linked, "1"}, {plain, "0"}, {linked, "3-4"}}, {3, -1, 1, 0}},
        {"target added later", {{linked, "2"}, {linked, "4"}}, {2, 1}},
    };
    for (const Case &c : cases) {
        const Outcome r = MergeAll(out, c.docs);
        ASSERT_TRUE(r) << c.name << ": " << r.reason.toStdString();
        EXPECT_EQ(LinkTargets(out), c.targets) << c.name;
        EXPECT_EQ(QpdfCheck(out), 0) << c.name;
    }
}

TEST(PdfEngine, NothingIsLostWhenAMergeFailsOrHasNoDocuments)
{
    test::TempDir dir;
    const QString a = MakeTaggedPdf(dir.path(), "a", 2);
    const QString out = dir.createFile("out.pdf", "OLD");
    const QStringList before = FilesIn(dir.path());

    EXPECT_FALSE(MergeAll(out, {{a, "0"}, {a, "7"}}));
    {
        PdfMerge abandoned(out);
        ASSERT_TRUE(abandoned.Add(a, "0"));
    }  // never closed: discarded
    const Outcome empty = MergeAll(dir.filePath("empty.pdf"), {});
    EXPECT_FALSE(empty);
    EXPECT_TRUE(empty.reason.contains("no documents")) << empty.reason.toStdString();

    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "OLD");
    EXPECT_EQ(FilesIn(dir.path()), before);
}

TEST(PdfEngine, OutputMayReplaceOneOfItsInputs)
{
    test::TempDir dir;
    const QString a = MakeTaggedPdf(dir.path(), "a", 2), b = MakeTaggedPdf(dir.path(), "b", 3);
    ASSERT_TRUE(MergeAll(a, {{a, "0"}, {b, "3"}, {a, "1"}}));
    EXPECT_EQ(PageMarkers(a), Markers("a", {1, 2}) + Markers("b", {3}) + Markers("a", {1}));
    // A new file gets the permissions of any new file, not the temporary file's private ones.
    const mode_t mask = ::umask(022);
    const QString fresh = dir.filePath("fresh.pdf");
    ASSERT_TRUE(MergeAll(fresh, {{b, "0"}}));
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(fresh.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // A file that is replaced keeps its own permissions: a private document stays private.
    ASSERT_EQ(::chmod(b.toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(MergeAll(b, {{b, "1"}, {fresh, "0"}}));
    EXPECT_EQ(PageMarkers(b), Markers("b", {1}) + Markers("b", {1, 2, 3}));
    ASSERT_EQ(::stat(b.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // An output named by a link is written through: the file it leads to is replaced, the link stays.
    const QString link = dir.filePath("latest.pdf");
    ASSERT_TRUE(QFile::link(fresh, link));
    ASSERT_TRUE(MergeAll(link, {{a, "2"}}));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), fresh);
    EXPECT_EQ(PageMarkers(fresh), Markers("a", {2}));
}

namespace {

/// The size of the file that process pid holds open in folder (its unnamed output), or -1 while it
/// holds none there.
qint64 OpenFileSizeIn(qint64 pid, const QString &folder)
{
    const QByteArray fds = "/proc/" + QByteArray::number(pid) + "/fd";
    DIR *dir = ::opendir(fds.constData());
    if (!dir)
        return -1;
    qint64 size = -1;
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray fd = fds + '/' + entry->d_name;
        char link[4096];
        const ssize_t n = ::readlink(fd.constData(), link, sizeof link);
        struct stat st {};
        if (n > 0 && QByteArray(link, n).startsWith(prefix) && ::stat(fd.constData(), &st) == 0) {
            size = st.st_size;
            break;
        }
    }
    ::closedir(dir);
    return size;
}

constexpr char kMergeToKill[] = "FOLVANE_MERGE_TO_KILL";

}  // namespace

// A merge killed at any moment of its write leaves the folder holding the old file, byte for byte,
// or the whole new one, and nothing else. The child is this test run again; the parent watches the
// file it writes and kills it once that file has grown past each point.
TEST(PdfEngine, AMergeKilledAtAnyMomentLeavesTheOldFileOrTheWholeNewOne)
{
    if (qEnvironmentVariableIsSet(kMergeToKill)) {
        const QStringList paths = qEnvironmentVariable(kMergeToKill).split(QLatin1Char('\n'));
        std::vector<Doc> docs;
        for (const QString &path : paths.mid(1))
            docs.push_back({path, "0"});
        const Outcome merged = MergeAll(paths[0], docs);
        ASSERT_TRUE(merged) << merged.reason.toStdString();
        return;
    }
    test::TempDir inputs, out, scratch;
    const QString target = out.filePath("report.pdf");
    QStringList paths{target}, expected;
    for (const QString tag : {"n1", "n2", "n3"}) {
        paths << test::MakeNoisePdf(inputs.path(), tag, 1, 2000, 2000);  // 12 MB each
        expected += Markers(tag, {1});
    }
    const qint64 whole = 3 * 2000LL * 2000 * 3;
    const QByteArray old = test::FileBytes(MakeTaggedPdf(inputs.path(), "old", 2));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kMergeToKill), paths.join(QLatin1Char('\n')));
    env.insert(QStringLiteral("TMPDIR"), scratch.path());  // what a killed child leaves goes with scratch

    // As soon as the unnamed output exists, then past these sizes; the last run is left to finish.
    const std::vector<qint64> points = {0, 1 << 20, whole / 3, whole * 2 / 3, whole * 19 / 20, -1};
    int killedBeforeTheNewFile = 0;
    for (const qint64 point : points) {
        SCOPED_TRACE(point);
        {
            QFile reset(target);
            ASSERT_TRUE(reset.open(QIODevice::WriteOnly) && reset.write(old) == old.size());
        }
        QProcess child;
        child.setProcessEnvironment(env);
        child.setStandardOutputFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=" + test::CurrentTestName()});
        ASSERT_TRUE(child.waitForStarted(10000));
        const qint64 pid = child.processId();
        if (point >= 0) {
            const QDeadlineTimer deadline(120000);
            while (!deadline.hasExpired() && !child.waitForFinished(0)) {
                if (OpenFileSizeIn(pid, out.path()) >= point) {
                    ::kill(static_cast<pid_t>(pid), SIGKILL);
                    break;
                }
            }
        }
        ASSERT_TRUE(child.waitForFinished(120000));
        const bool killed = child.exitStatus() == QProcess::CrashExit;
        if (!killed) {
            EXPECT_EQ(child.exitCode(), 0);
        }

        EXPECT_EQ(test::FolderEntries(out.path()), QStringList{"report.pdf"});
        if (test::FileBytes(target) == old) {
            EXPECT_TRUE(killed) << "a merge that ran to its end left the old file";
            killedBeforeTheNewFile += killed;
        } else {
            EXPECT_EQ(PageMarkers(target), expected);
            EXPECT_EQ(QpdfCheck(target), 0);
        }
    }
    EXPECT_NE(test::FileBytes(target), old) << "the last merge was not killed";
    // The early points come long before the end of a 36 MB write: those kills did land in it.
    EXPECT_GE(killedBeforeTheNewFile, 2);
}

TEST(PdfEngine, NoMergeOpensWhereTheOutputCannotBeWritten)
{
    if (test::RanUnprivileged()) // a read-only folder does not stop root
        return;
    test::TempDir dir;
    const QString file = dir.createFile("plain.txt", "x");
    const QString fifo = dir.filePath("fifo.pdf"), toFifo = dir.filePath("to-fifo.pdf"), dangling = dir.filePath("gone.pdf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(fifo, toFifo));
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere/x.pdf"), dangling));
    struct Case {
        const char *name;
        QString out;
    } cases[] = {
        {"missing folder", dir.filePath("no/such/out.pdf")},
        {"folder is a file", file + "/out.pdf"},
        {"output is a folder", dir.createFolder("out.pdf")},
        {"empty path", QString()},
        {"a FIFO", fifo},
        {"a link to a FIFO", toFifo},
        {"a link that leads nowhere", dangling},
    };
    for (const Case &c : cases) {
        const std::int32_t handle = apCreateMerge(c.out);
        EXPECT_LE(handle, 0) << c.name;
        EXPECT_FALSE(apLastError().isEmpty()) << c.name;
    }
    // What stood there is left as it was.
    EXPECT_EQ(QFileInfo(toFifo).symLinkTarget(), fifo);
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    struct stat st {};
    EXPECT_TRUE(::lstat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    const QString locked = dir.createFolder("locked");
    ASSERT_EQ(::chmod(locked.toLocal8Bit().constData(), 0555), 0);
    EXPECT_LE(apCreateMerge(locked + "/out.pdf"), 0);
    ::chmod(locked.toLocal8Bit().constData(), 0755);
}

TEST(PdfEngine, ManyInputsWorkUnderASmallOpenFileLimit)
{
    test::TempDir dir;
    // Light inputs are read at once; bulky ones are kept open only while the limit leaves room.
    const QString bulky = test::MakeNoisePdf(dir.path(), "bulky", 1, 370, 370);  // about 400 KB
    std::vector<Doc> docs;
    for (int i = 0; i < 150; ++i) {
        docs.push_back({MakeTaggedPdf(dir.path(), QStringLiteral("d%1").arg(i), 1), "0"});
        if (i % 3 == 0) {
            const QString copy = dir.filePath(QStringLiteral("bulky%1.pdf").arg(i));
            ASSERT_TRUE(QFile::copy(bulky, copy));
            docs.push_back({copy, "0"});
        }
    }
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = 32;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const QString out = dir.filePath("out.pdf");
    const Outcome r = MergeAll(out, docs);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(r) << r.reason.toStdString();
    const QStringList markers = PageMarkers(out);
    ASSERT_EQ(markers.size(), 200);
    EXPECT_EQ(markers.front(), "d0 p1");
    EXPECT_EQ(markers[1], "bulky p1");
    EXPECT_EQ(markers.back(), "d149 p1");
    // Every bulky page kept its data, read back from wherever its file was read.
    EXPECT_EQ(QpdfCheck(out), 0);
    EXPECT_GT(QFileInfo(out).size(), 50 * 400 * 1024);
}

TEST(PdfEngine, FlatEntryPointsRefuseWhatTheHandleDoesNotOffer)
{
    test::TempDir dir;
    const QString a = MakeTaggedPdf(dir.path(), "a", 2);
    const std::int32_t merge = apCreateMerge(dir.filePath("out.pdf"));
    ASSERT_GT(merge, 0);
    EXPECT_EQ(apSetFunction(merge, FnSplit, 1, 1, "", dir.filePath("x")), -1);
    EXPECT_EQ(apSetFunction(merge, FnAddDocument, 0, 0, a, "2"), 0);
    EXPECT_EQ(apClose(merge), 0);
    EXPECT_EQ(apClose(merge), -1);
    EXPECT_EQ(apSetFunction(merge, FnAddDocument, 0, 0, a, "0"), -1);
    EXPECT_EQ(PageMarkers(dir.filePath("out.pdf")), Markers("a", {2}));

    const std::int32_t split = apOpenSplit(a);
    ASSERT_GT(split, 0);
    EXPECT_EQ(apSetFunction(split, FnAddDocument, 0, 0, a, "0"), -1);
    EXPECT_EQ(apClose(split), 0);
    EXPECT_LE(apOpenSplit(dir.filePath("missing.pdf")), 0);
}

TEST(PdfEngine, SplitWritesOneFilePerPageOrPerRangeItem)
{
    test::TempDir dir;
    const QString src = MakeTaggedPdf(dir.path(), "s", 4);
    const QString base = dir.createFolder("out") + "/part";
    PdfSplit split(src);
    ASSERT_TRUE(split.Opened());

    ASSERT_TRUE(split.Run("", base));
    for (int p = 1; p <= 4; ++p)
        EXPECT_EQ(PageMarkers(QStringLiteral("%1_%2.pdf").arg(base).arg(p)), Markers("s", {p}));

    const QString base2 = dir.filePath("out/range");
    ASSERT_TRUE(split.Run("3-4;;1", base2));
    EXPECT_EQ(PageMarkers(base2 + "_1.pdf"), Markers("s", {3, 4}));
    EXPECT_EQ(PageMarkers(base2 + "_2.pdf"), Markers("s", {1}));
    EXPECT_FALSE(QFile::exists(base2 + "_3.pdf"));

    // A bad item fails the split before anything is written.
    const QString base3 = dir.filePath("out/bad");
    EXPECT_FALSE(split.Run("1;5", base3));
    EXPECT_FALSE(QFile::exists(base3 + "_1.pdf"));
}

// ---- Files made to hurt ---------------------------------------------------------------------------

namespace {

/// A page's content streams as stored: each one's /Filter and bytes, undecoded.
QStringList StoredContents(const QString &path, int page)
{
    QStringList out;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.toLocal8Bit().constData());
    for (QPDFObjectHandle stream : QPDFPageDocumentHelper(pdf).getAllPages().at(page).getPageContents()) {
        const auto data = stream.getRawStreamData();
        out << QString::fromStdString(stream.getDict().getKey("/Filter").unparse())
                   + QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(data->getBuffer()), static_cast<qsizetype>(data->getSize())).toHex());
    }
    return out;
}

/// The marker of each page from first to last (see PdfFixtures), the pages of others left out
/// unread: their content is made to be too much to read.
QStringList MarkersOfPages(const QString &path, int first, int last)
{
    QStringList out;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.toLocal8Bit().constData());
    static const QRegularExpression marker(QStringLiteral("\\(([^)]*)\\) Tj"));
    auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    for (int p = first; p <= last; ++p) {
        std::string data;
        for (QPDFObjectHandle stream : pages.at(p).getPageContents()) {
            const auto buf = stream.getStreamData(qpdf_dl_generalized);
            data.append(reinterpret_cast<const char *>(buf->getBuffer()), buf->getSize());
        }
        out << marker.match(QString::fromStdString(data)).captured(1);
    }
    return out;
}

struct HostileInput {
    const char *name;
    std::function<QString(const test::TempDir &)> make;
    int pages;           ///< pages it gives a merge; 0: it fails the add
    const char *reason;  ///< part of the reason of a failed add
    bool storedAsIs;     ///< its first page's content streams reach the output as they are stored
};

void PrintTo(const HostileInput &c, std::ostream *os) { *os << c.name; }

class HostileMergeInput : public ::testing::TestWithParam<HostileInput> {};

}  // namespace

// The document goes between two sound ones: either it fails its add with a reason, and the sound
// ones alone merge as ever, or its pages come in between theirs.
TEST_P(HostileMergeInput, EndsWithinTenSecondsAndAGigabyte)
{
    if (test::RanWithinLimits())
        return;
    const HostileInput &c = GetParam();
    test::TempDir dir;
    const QString a = MakeTaggedPdf(dir.path(), "a", 2), b = MakeTaggedPdf(dir.path(), "b", 3);
    const QString hostile = c.make(dir);
    ASSERT_FALSE(hostile.isEmpty());
    const QString out = dir.filePath("out.pdf");
    test::StderrCapture err;
    {
        PdfMerge merge(out);
        ASSERT_TRUE(merge.Add(a, "0"));
        const Outcome add = merge.Add(hostile, "0");
        if (c.pages == 0) {
            EXPECT_FALSE(add);
            EXPECT_TRUE(add.reason.contains(hostile) && add.reason.contains(QLatin1String(c.reason))) << add.reason.toStdString();
            EXPECT_FALSE(merge.Close());
            EXPECT_FALSE(QFile::exists(out));
        } else {
            ASSERT_TRUE(add) << add.reason.toStdString();
            ASSERT_TRUE(merge.Add(b, "0"));
            const Outcome close = merge.Close();
            ASSERT_TRUE(close) << close.reason.toStdString();
        }
    }
    if (c.pages == 0) {
        ASSERT_TRUE(MergeAll(out, {{a, "0"}, {b, "0"}}));
        EXPECT_EQ(PageMarkers(out), Markers("a", {1, 2}) + Markers("b", {1, 2, 3}));
    } else {
        EXPECT_EQ(test::QpdfPageCount(out), 2 + c.pages + 3);
        EXPECT_EQ(MarkersOfPages(out, 0, 1), Markers("a", {1, 2}));
        EXPECT_EQ(MarkersOfPages(out, 2 + c.pages, 4 + c.pages), Markers("b", {1, 2, 3}));
        if (c.storedAsIs) {
            EXPECT_EQ(StoredContents(out, 2), StoredContents(hostile, 0));
        }
    }
    EXPECT_TRUE(err.text().isEmpty()) << err.text().toStdString();
    EXPECT_FALSE(FilesIn(dir.path()).join(' ').contains(".part"));
}

INSTANTIATE_TEST_SUITE_P(
    , HostileMergeInput,
    ::testing::Values(
        HostileInput{"DeepTreeOfOnePage", [](const test::TempDir &d) { return test::DeepPageTreePdf(d.filePath("deep.pdf"), 20000, 1); },
                     0, "levels deep"},
        HostileInput{"DeepestTree", [](const test::TempDir &d) { return test::DeepPageTreePdf(d.filePath("deep.pdf"), 1024, 1); }, 1},
        HostileInput{"CatalogInAnObjectStreamOfFourGigabytes",
                     [](const test::TempDir &d) { return test::ObjectStreamBombPdf(d.filePath("bomb.pdf"), 4LL << 30); }, 0,
                     "inflates past 64 MB"},
        HostileInput{"CrossReferenceStreamClaimingFiftyMillionObjects",
                     [](const test::TempDir &d) { return test::XrefStreamBombPdf(d.filePath("xref.pdf"), 100LL << 20); }, 0,
                     "inflate past 8 MB"},
        HostileInput{"EmptySparseFileOfATerabyte", [](const test::TempDir &d) { return test::MakeHugeEmptyPdf(d.filePath("huge.pdf")); }, 0,
                     "reading it takes more than"},
        HostileInput{"ObjectHeaderLinesOf250MB",
                     [](const test::TempDir &d) { return test::JunkLinesPdf(d.filePath("obj.pdf"), 250LL << 20, true); }, 0,
                     "reading it takes more than"},
        HostileInput{"CountThatLies", [](const test::TempDir &d) { return test::LyingCountPdf(d.filePath("lying.pdf"), 400); }, 1},
        HostileInput{"PageDrawingFourGigabytes",
                     [](const test::TempDir &d) { return test::ContentBombPdf(d.filePath("content.pdf"), 4LL << 30, false); }, 1, "", true},
        HostileInput{"PagesSharingResourcesDrawingFourGigabytes",
                     [](const test::TempDir &d) { return test::ContentBombPdf(d.filePath("content.pdf"), 4LL << 30, true); }, 2, "", true}),
    [](const ::testing::TestParamInfo<HostileInput> &info) { return std::string(info.param.name); });

TEST(PdfEngine, SplitOfADeepTreeFailsWithAReason)
{
    if (test::RanWithinLimits())
        return;
    test::TempDir dir;
    const QString deep = test::DeepPageTreePdf(dir.filePath("deep.pdf"), 50000, 1);
    PdfSplit split(deep);
    EXPECT_FALSE(split.Opened());
    EXPECT_TRUE(split.Opened().reason.contains("levels deep")) << split.Opened().reason.toStdString();
}

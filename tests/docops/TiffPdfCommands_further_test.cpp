#include "docops/TiffPdfCommands.h"

#include "app/ProgramState.h"
#include "docops/CombineProgress.h"
#include "platform/AtomicOutput.h"
#include "platform/AutomationComponent.h"
#include "support/ImageFixtures.h"
#include "support/PdfFixtures.h"
#include "support/RenderHazards.h"
#include "support/Records.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

#include <sys/statvfs.h>

using namespace folvane;
using folvane::test::MakeTaggedPdf;
using folvane::test::MakeTiffWidths;
using folvane::test::Markers;
using folvane::test::PageMarkers;
using folvane::test::TiffPageWidths;

namespace {

using test::FolderEntries;
using test::RecordOf;

bool LoggedFor(const char *procedure, const QString &part)
{
    return test::LoggedFor(procedure, " of Class Module TiffPdfCommands at time", part);
}

class FakeDialog : public CombineProgress {
public:
    void SetProgressValue(std::int32_t value) override { values.push_back(value); }
    std::vector<std::int32_t> values;
};

/// Stands in for the components: records what is created and called, answers as told.
struct ComponentRecorder {
    struct Call {
        QString progId;
        QString method;
        QVariantList args;
    };
    QStringList created;
    std::vector<Call> calls;
    int live = 0;
    bool refuseCreation = false;
    std::function<CallResult(const Call &)> answer;

    QStringList Methods() const
    {
        QStringList out;
        for (const Call &c : calls)
            out << c.method;
        return out;
    }
};

class FakeComponent : public AutomationComponent {
public:
    FakeComponent(ComponentRecorder &r, QString id) : r_(r), id_(std::move(id)) { ++r_.live; }
    ~FakeComponent() override { --r_.live; }
    CallResult Invoke(const QString &method, const QVariantList &args) override
    {
        r_.calls.push_back({id_, method, args});
        return r_.answer ? r_.answer(r_.calls.back()) : CallResult::Value(true);
    }

private:
    ComponentRecorder &r_;
    QString id_;
};

class FakeComponents {
public:
    FakeComponents()
        : scope_([this](const QString &id) -> std::unique_ptr<AutomationComponent> {
              rec.created << id;
              if (rec.refuseCreation)
                  return nullptr;
              return std::make_unique<FakeComponent>(rec, id);
          })
    {
    }
    ComponentRecorder rec;

private:
    ScopedComponentFactory scope_;
};

QVariant I16(int v) { return QVariant::fromValue<std::int16_t>(static_cast<std::int16_t>(v)); }
QVariant I32(int v) { return QVariant::fromValue<std::int32_t>(v); }

/// Equal values of the same type: the component sees 16-bit where 16-bit is due.
bool SameArgs(const QVariantList &a, const QVariantList &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a[i].metaType() != b[i].metaType() || a[i] != b[i])
            return false;
    return true;
}

class TiffPdfCommandsFurtherTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearErrorLog(); }
    QString TempMerge(int n) const { return test::StorageFolder() + QStringLiteral("/test_merge_split%1.tif").arg(n); }
    test::TempDir dir;
    TiffPdfCommands cmd;
};

}  // namespace

TEST_F(TiffPdfCommandsFurtherTest, CommandsCallTheirComponentWithTheContractArguments)
{
    FakeComponents fake;
    std::int16_t start = 2, end = 4, page = 3;
    struct Case {
        const char *name;
        std::function<QVariant()> run;
        const char *progId;
        QStringList methods;
        QVariantList args;  ///< of the first call
        QVariant result;
    } cases[] = {
        {"ConvertPDFToImage", [&] { return cmd.ConvertPDFToImage("a.pdf", "a.tif", 2); }, "TiffPdf.Converter",
         {"PDFToImage"}, {"a.pdf", "a.tif", I16(100), I16(100), I16(0), I32(2), I16(0)}, QVariant(true)},
        {"ConverImageToTiff", [&] { return QVariant(cmd.ConverImageToTiff("a.png", "a.tif", 5)); }, "TiffPdf.Converter",
         {"ConvertImageToTiff"}, {"a.png", "a.tif", I32(5)}, QVariant(true)},
        {"UpdatePdfMetaData", [&] { return QVariant(cmd.UpdatePdfMetaData("a.pdf", "pw", "Title=x", "b.pdf")); },
         "PdfInfo.Stamper.1", {"UpdatePDFInfo"}, {"a.pdf", "pw", "Title=x", "b.pdf"}, QVariant(true)},
        {"UpdatePdfMetaData without entries", [&] { return QVariant(cmd.UpdatePdfMetaData("a.pdf", "pw", "", "b.pdf")); },
         "PdfInfo.Stamper.1", {}, {}, QVariant(false)},
        {"GetNoOfPagesFromPDF", [&] { return QVariant(cmd.GetNoOfPagesFromPDF("a.pdf", "secret")); }, "PdfPages.Counter.1",
         {"GetNumberOfPages"}, {"a.pdf", ""}, QVariant(std::int16_t(7))},
        {"GetPdfMetaData", [&] { return QVariant(cmd.GetPdfMetaData("a.pdf", "pw")); }, "PdfInfo.Stamper.1",
         {"UpdatePDFInfo"}, {"a.pdf", "pw"}, QVariant("Title=x")},
        {"AppendFileTiffFile at 0", [&] { return QVariant(cmd.AppendFileTiffFile("a.tif", "b.tif", 0)); },
         "TiffPages.Editor.1", {"AddTIFFPages"}, {"a.tif", I16(0), "b.tif"}, QVariant(true)},
        {"DeleteTiffPage", [&] { return QVariant(cmd.DeleteTiffPage("a.tif", 3)); }, "TiffPages.Editor.1",
         {"DeleteTIFFPages"}, {"a.tif", I16(3)}, QVariant(true)},
        {"Convert_EachTiffToPDFbyOne", [&] { return QVariant(cmd.Convert_EachTiffToPDFbyOne("a.tif", "a.pdf")); },
         "TiffPdf.Converter", {"ConvertTiffToPDF"}, {"a.tif", "a.pdf"}, QVariant(true)},
        {"SplitTiffFiles", [&] { return QVariant(cmd.SplitTiffFiles("/x/s.tif", page, dir.path(), "part")); },
         "TiffPages.Editor.1", {"SplitTIFF"},
         {"/x/s.tif", I16(3), dir.filePath("s./part1.tif"), dir.filePath("s./part2.tif")}, QVariant(true)},
        {"ExtractTIFFpagesbyRange", [&] { return QVariant(cmd.ExtractTIFFpagesbyRange("/x/e.tif", start, end, dir.path())); },
         "TiffPages.Editor.1", {"ExtractPages"}, {"/x/e.tif", I16(2), I16(4), dir.filePath("e.")}, QVariant(true)},
        {"ExtractAllTIFFpages", [&] { return QVariant(cmd.ExtractAllTIFFpages("/x/all.tif", dir.path())); },
         "TiffPages.Editor.1", {"ExtractAllTIFFpages"}, {"/x/all.tif", dir.filePath("all.")}, QVariant(true)},
    };
    fake.rec.answer = [](const ComponentRecorder::Call &c) {
        if (c.method == "GetNumberOfPages")
            return CallResult::Value(7);
        if (c.method == "UpdatePDFInfo" && c.args.size() == 2)
            return CallResult::Value(QStringLiteral("Title=x"));
        return CallResult::Value(true);
    };
    for (const Case &c : cases) {
        fake.rec.created.clear();
        fake.rec.calls.clear();
        const QVariant result = c.run();
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(fake.rec.created, QStringList{c.progId}) << c.name;
        EXPECT_EQ(fake.rec.Methods(), c.methods) << c.name;
        if (!c.methods.isEmpty()) {
            EXPECT_TRUE(SameArgs(fake.rec.calls[0].args, c.args)) << c.name;
        }
        EXPECT_EQ(fake.rec.live, 0) << c.name << ": the component outlived its command";
    }
    EXPECT_TRUE(test::ErrorLogLines().isEmpty()) << test::ErrorLogLines().join('\n').toStdString();
}

TEST_F(TiffPdfCommandsFurtherTest, MissingArgumentsAnswerFalseWithoutAComponent)
{
    FakeComponents fake;
    cmd.FileProccessed = 5;
    struct Case {
        const char *name;
        std::function<QVariant()> run;
    } cases[] = {
        {"ConvertPDFToImage, no image", [&] { return cmd.ConvertPDFToImage("a.pdf", ""); }},
        {"ConvertPDFToImage, no PDF", [&] { return cmd.ConvertPDFToImage("", "a.tif"); }},
        {"ConverImageToTiff", [&] { return QVariant(cmd.ConverImageToTiff("a.png", "", 5)); }},
        {"AppendFileTiffFile at -1", [&] { return QVariant(cmd.AppendFileTiffFile("a.tif", "b.tif", -1)); }},
        {"AppendFileTiffFile, no source", [&] { return QVariant(cmd.AppendFileTiffFile("", "b.tif", 1)); }},
        {"Convert_EachTiffToPDFx", [&] { return QVariant(cmd.Convert_EachTiffToPDFx("")); }},
        {"Convert_EachTiffToPDFbyOne", [&] { return QVariant(cmd.Convert_EachTiffToPDFbyOne("a.tif", "")); }},
    };
    for (const Case &c : cases) {
        const QVariant result = c.run();
        EXPECT_EQ(result.metaType(), QMetaType::fromType<bool>()) << c.name;
        EXPECT_FALSE(result.toBool()) << c.name;
    }
    EXPECT_TRUE(fake.rec.created.isEmpty());
    EXPECT_EQ(cmd.FileProccessed, 5);
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(TiffPdfCommandsFurtherTest, AComponentThatCannotBeCreatedOrFailsIsLogged)
{
    FakeComponents fake;
    const std::int16_t one = 1;
    struct Case {
        const char *procedure;
        std::function<QVariant()> run;
        QVariant failure;
    } cases[] = {
        {"ConvertPDFToImage", [&] { return cmd.ConvertPDFToImage("a.pdf", "a.tif"); }, QVariant(false)},
        {"ConverImageToTiff", [&] { return QVariant(cmd.ConverImageToTiff("a.png", "a.tif", 0)); }, QVariant(false)},
        {"UpdatePdfMetaData", [&] { return QVariant(cmd.UpdatePdfMetaData("a.pdf", "", "T=x", "b.pdf")); }, QVariant(false)},
        {"GetNoOfPagesFromPDF", [&] { return QVariant(cmd.GetNoOfPagesFromPDF("a.pdf", "")); }, QVariant(std::int16_t(-1))},
        {"GetPdfMetaData", [&] { return QVariant(cmd.GetPdfMetaData("a.pdf", "")); }, QVariant("False")},
        {"AppendFileTiffFile", [&] { return QVariant(cmd.AppendFileTiffFile("a.tif", "b.tif", 1)); }, QVariant(false)},
        {"DeleteTiffPage", [&] { return QVariant(cmd.DeleteTiffPage("a.tif", 1)); }, QVariant(false)},
        {"Convert_EachTiffToPDFbyOne", [&] { return QVariant(cmd.Convert_EachTiffToPDFbyOne("a.tif", "a.pdf")); }, QVariant(false)},
        {"SplitTiffFiles", [&] { return QVariant(cmd.SplitTiffFiles("a.tif", one, dir.path(), "p")); }, QVariant(false)},
        {"ExtractTIFFpagesbyRange", [&] { return QVariant(cmd.ExtractTIFFpagesbyRange("a.tif", one, one, dir.path())); }, QVariant(false)},
        {"ExtractAllTIFFpages", [&] { return QVariant(cmd.ExtractAllTIFFpages("a.tif", dir.path())); }, QVariant(false)},
    };
    fake.rec.refuseCreation = true;
    for (const Case &c : cases) {
        test::ClearErrorLog();
        EXPECT_EQ(c.run(), c.failure) << c.procedure;
        EXPECT_TRUE(LoggedFor(c.procedure, "Error 429 (Cannot create the component "))
            << c.procedure << ": " << test::ErrorLogLines().join('\n').toStdString();
    }
    fake.rec.refuseCreation = false;
    fake.rec.answer = [](const ComponentRecorder::Call &) { return CallResult::Error(1002, "disk on fire"); };
    for (const Case &c : cases) {
        test::ClearErrorLog();
        EXPECT_EQ(c.run(), c.failure) << c.procedure;
        EXPECT_TRUE(LoggedFor(c.procedure, "Error 1002 (disk on fire)")) << c.procedure;
        EXPECT_EQ(fake.rec.live, 0) << c.procedure;
    }
    // A component's False is the command's False, with nothing logged.
    test::ClearErrorLog();
    fake.rec.answer = [](const ComponentRecorder::Call &) { return CallResult::Value(false); };
    EXPECT_FALSE(cmd.DeleteTiffPage("a.tif", 1));
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(TiffPdfCommandsFurtherTest, CombineOrderTiffAlternatesItsTwoTemporaryFiles)
{
    FakeComponents fake;
    // The fake merge writes its output, so the command's deletions and final copy can be watched.
    QStringList seenAtCall;
    fake.rec.answer = [&](const ComponentRecorder::Call &c) {
        seenAtCall << FolderEntries(test::StorageFolder()).filter("test_merge").join(',');
        QFile out(c.args[2].toString());
        out.open(QIODevice::WriteOnly);
        out.write((QFileInfo(c.args[0].toString()).fileName() + "+" + QFileInfo(c.args[1].toString()).fileName()).toUtf8());
        return CallResult::Value(true);
    };
    const QString t1 = TempMerge(1), t2 = TempMerge(2);
    struct Case {
        int records;
        std::vector<QVariantList> merges;
        QByteArray output;  ///< empty: no file
    } cases[] = {
        {1, {}, {}},
        {2, {{"/d/r1.tif", "/d/r2.tif", t2}}, "r1.tif+r2.tif"},
        {3, {{"/d/r1.tif", "/d/r2.tif", t2}, {t2, "/d/r3.tif", t1}}, "test_merge_split2.tif+r3.tif"},
        {4, {{"/d/r1.tif", "/d/r2.tif", t2}, {t2, "/d/r3.tif", t1}, {t1, "/d/r4.tif", t2}}, "test_merge_split1.tif+r4.tif"},
    };
    for (const Case &c : cases) {
        fake.rec.calls.clear();
        seenAtCall.clear();
        TiffPdfCommands combine;
        combine.FileNameToSave = dir.filePath(QStringLiteral("out%1.tif").arg(c.records));
        for (int i = 1; i <= c.records; ++i)
            combine.colOrderedData.push_back(RecordOf(QStringLiteral("/d/r%1.tif").arg(i)));
        FakeDialog dialog;
        combine.SetProgress(&dialog);
        ASSERT_TRUE(combine.CombineOrderTiff()) << c.records;
        ASSERT_EQ(fake.rec.calls.size(), c.merges.size()) << c.records;
        for (std::size_t i = 0; i < c.merges.size(); ++i)
            EXPECT_TRUE(SameArgs(fake.rec.calls[i].args, c.merges[i])) << c.records << " merge " << i;
        // Before each merge from the second on, only its input temporary file exists: the other was deleted.
        for (int i = 1; i < seenAtCall.size(); ++i)
            EXPECT_EQ(seenAtCall[i], QFileInfo(c.merges[i][0].toString()).fileName()) << c.records << " merge " << i;
        EXPECT_EQ(test::FileBytes(combine.FileNameToSave), c.output) << c.records;
        EXPECT_EQ(QFile::exists(combine.FileNameToSave), !c.output.isEmpty()) << c.records;
        std::vector<std::int32_t> progress;
        for (int i = 1; i <= c.records; ++i)
            progress.push_back(i);
        progress.push_back(0);
        EXPECT_EQ(dialog.values, progress) << c.records;
        EXPECT_EQ(combine.FileProccessed, c.records);
        EXPECT_FALSE(QFile::exists(t1) || QFile::exists(t2)) << c.records;
    }
}

TEST_F(TiffPdfCommandsFurtherTest, CombineOrderTiffMergesRealFilesOrWritesNothing)
{
    const QString a = MakeTiffWidths(dir.filePath("a.tif"), {11, 12});
    const QString b = MakeTiffWidths(dir.filePath("b.tif"), {21});
    const QString c = MakeTiffWidths(dir.filePath("c.tif"), {31, 32});
    cmd.colOrderedData = {RecordOf(a), RecordOf(b), RecordOf(c)};
    cmd.FileNameToSave = dir.filePath("out.tif");
    ASSERT_TRUE(cmd.CombineOrderTiff()) << test::ErrorLogLines().join('\n').toStdString();
    EXPECT_EQ(TiffPageWidths(cmd.FileNameToSave), (QList<int>{11, 12, 21, 31, 32}));
    EXPECT_EQ(cmd.FileProccessed, 3);

    // A damaged third document: False, logged, the old output kept, no temporary file left.
    const QString damaged = dir.createFile("damaged.tif", QByteArray("II*\0", 4) + "broken");
    const QString existing = dir.createFile("existing.tif", "OLD");
    TiffPdfCommands broken;
    broken.colOrderedData = {RecordOf(a), RecordOf(b), RecordOf(damaged)};
    broken.FileNameToSave = existing;
    EXPECT_FALSE(broken.CombineOrderTiff());
    EXPECT_TRUE(LoggedFor("CombineOrderTiff", "damaged.tif"));
    EXPECT_EQ(test::FileBytes(existing), "OLD");
    EXPECT_EQ(broken.FileProccessed, 2);
    EXPECT_FALSE(QFile::exists(TempMerge(1)) || QFile::exists(TempMerge(2)));

    // A temporary file left behind by something else never becomes the output of a one-record run.
    MakeTiffWidths(TempMerge(2), {99});
    TiffPdfCommands single;
    single.colOrderedData = {RecordOf(a)};
    single.FileNameToSave = dir.filePath("single.tif");
    EXPECT_TRUE(single.CombineOrderTiff());
    EXPECT_FALSE(QFile::exists(single.FileNameToSave));

    TiffPdfCommands unnamed;
    unnamed.colOrderedData = {RecordOf(a), RecordOf(b)};
    unnamed.FileProccessed = 4;
    EXPECT_FALSE(unnamed.CombineOrderTiff());
    EXPECT_EQ(unnamed.FileProccessed, 0);
}

TEST_F(TiffPdfCommandsFurtherTest, TiffCommandsWorkInAFolderNamedAfterTheSource)
{
    const QString out = dir.createFolder("out");
    const QString dotted = MakeTiffWidths(dir.filePath("a.b.tif"), {11, 12, 13});
    const QString plain = MakeTiffWidths(dir.filePath("plain"), {11, 12, 13});
    std::int16_t page = 1, first = 2, last = 3;

    EXPECT_TRUE(cmd.SplitTiffFiles(dotted, page, out, "part"));
    EXPECT_EQ(TiffPageWidths(out + "/a.b./part1.tif"), (QList<int>{11}));
    EXPECT_EQ(TiffPageWidths(out + "/a.b./part2.tif"), (QList<int>{12, 13}));
    EXPECT_TRUE(cmd.SplitTiffFiles(plain, page, out, "p"));  // no dot: straight into the output folder
    EXPECT_EQ(TiffPageWidths(out + "/p2.tif"), (QList<int>{12, 13}));

    // One folder level is made, no more.
    EXPECT_FALSE(cmd.ExtractTIFFpagesbyRange(dotted, first, last, out + "/x"));
    EXPECT_FALSE(QFileInfo(out + "/x").exists());
    EXPECT_TRUE(LoggedFor("ExtractTIFFpagesbyRange", "x/a.b."));
    test::ClearErrorLog();

    QDir().mkdir(out + "/x");
    EXPECT_TRUE(cmd.ExtractTIFFpagesbyRange(dotted, first, last, out + "/x"));
    EXPECT_EQ(FolderEntries(out + "/x/a.b."), (QStringList{"a.b_2.tif", "a.b_3.tif"}));
    EXPECT_TRUE(cmd.ExtractAllTIFFpages(plain, out + "/x"));
    EXPECT_TRUE(QFile::exists(out + "/x/plain_3.tif"));

    const std::int16_t tooFar = 3;
    EXPECT_FALSE(cmd.SplitTiffFiles(dotted, tooFar, out, "q"));
    EXPECT_TRUE(LoggedFor("SplitTiffFiles", "cannot split after page 3"));
    EXPECT_FALSE(QFile::exists(out + "/a.b./q1.tif"));
}

TEST_F(TiffPdfCommandsFurtherTest, SplitPdfFilesWritesIntoAFolderNamedAfterTheSource)
{
    const QString out = dir.createFolder("out");
    const QString src = MakeTaggedPdf(dir.path(), "annual.final", 3);
    EXPECT_TRUE(cmd.SplitPDFFiles(src, "", out, "part"));
    EXPECT_EQ(FolderEntries(out + "/annual.final"), (QStringList{"part_1.pdf", "part_2.pdf", "part_3.pdf"}));
    EXPECT_EQ(PageMarkers(out + "/annual.final/part_2.pdf"), Markers("annual.final", {2}));

    EXPECT_TRUE(cmd.SplitPDFFiles(src, "1-2;3", out, "r"));
    EXPECT_EQ(PageMarkers(out + "/annual.final/r_1.pdf"), Markers("annual.final", {1, 2}));
    EXPECT_EQ(PageMarkers(out + "/annual.final/r_2.pdf"), Markers("annual.final", {3}));

    struct Case {
        const char *name;
        QString source, range, reasonPart;
        bool folderMade;
    } cases[] = {
        {"damaged source", dir.createFile("broken.pdf", "%PDF-1.4\nxx"), "", "broken.pdf", true},
        {"range past the end", src, "4", "past the end", true},
        {"name without a dot", dir.createFile("nodot", "x"), "", "has no extension", false},
    };
    for (const Case &c : cases) {
        test::ClearErrorLog();
        EXPECT_FALSE(cmd.SplitPDFFiles(c.source, c.range, out, "z")) << c.name;
        EXPECT_TRUE(LoggedFor("SplitPDFFiles", c.reasonPart)) << c.name << ": " << test::ErrorLogLines().join('\n').toStdString();
    }
    EXPECT_EQ(FolderEntries(out + "/broken"), QStringList{});  // made, nothing in it
    EXPECT_FALSE(QFile::exists(out + "/annual.final/z_1.pdf"));
}

TEST_F(TiffPdfCommandsFurtherTest, ConversionsAndInformationOnRealFiles)
{
    const QString pdf = MakeTaggedPdf(dir.path(), "doc", 2);
    ASSERT_EQ(cmd.ConvertPDFToImage(pdf, dir.filePath("doc.tif"), 1), QVariant(true));
    EXPECT_EQ(TiffPageWidths(dir.filePath("doc.tif")), (QList<int>{850, 850}));  // 8.5 inches at 100 dpi

    ASSERT_TRUE(cmd.UpdatePdfMetaData(pdf, "", "Title=Plan\nAuthor=Me", dir.filePath("meta.pdf")));
    EXPECT_EQ(cmd.GetPdfMetaData(dir.filePath("meta.pdf"), ""), "Author=Me\nTitle=Plan");
    EXPECT_EQ(cmd.GetNoOfPagesFromPDF(dir.filePath("meta.pdf"), ""), 2);

    const QString damaged = dir.createFile("damaged.pdf", "%PDF-1.4\ngarbage");
    EXPECT_EQ(cmd.GetPdfMetaData(damaged, ""), "False");
    EXPECT_EQ(cmd.GetNoOfPagesFromPDF(damaged, ""), -1);
    EXPECT_EQ(cmd.ConvertPDFToImage(damaged, dir.filePath("bad.tif")), QVariant(false));
    for (const char *procedure : {"GetPdfMetaData", "GetNoOfPagesFromPDF", "ConvertPDFToImage"})
        EXPECT_TRUE(LoggedFor(procedure, "damaged.pdf")) << procedure;
    // A page that would take the machine's memory stops at the render child's limit (the guard ends
    // the child should that limit fail).
    {
        test::RenderChildKiller guard(test::RenderChildKiller::LargerThan(3L << 20), 30);
        EXPECT_EQ(cmd.ConvertPDFToImage(test::MakeBottomlessPdf(dir.filePath("deep.pdf")), dir.filePath("deep.tif")), QVariant(false));
        EXPECT_FALSE(guard.Killed());
    }
    EXPECT_TRUE(LoggedFor("ConvertPDFToImage", "deep.pdf: rendering page 1 needed more than the 2048 MB of memory"))
        << test::ErrorLogLines().join('\n').toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("deep.tif")));

    // The password is not handed to the counter.
    test::PdfSpec locked;
    locked.userPassword = "u";
    locked.ownerPassword = "o";
    EXPECT_EQ(cmd.GetNoOfPagesFromPDF(test::MakePdf(dir.filePath("locked.pdf"), locked), "u"), -1);

    const QString tiff = MakeTiffWidths(dir.filePath("t.tif"), {11, 12});
    EXPECT_TRUE(cmd.AppendFileTiffFile(tiff, tiff, 1));
    EXPECT_EQ(TiffPageWidths(tiff), (QList<int>{11, 11, 12, 12}));
    EXPECT_TRUE(cmd.DeleteTiffPage(tiff, 4));
    EXPECT_EQ(TiffPageWidths(tiff), (QList<int>{11, 11, 12}));
    EXPECT_TRUE(cmd.ConverImageToTiff(dir.filePath("doc.tif"), dir.filePath("g4.tif"), 4));
    EXPECT_TRUE(cmd.Convert_EachTiffToPDFbyOne(tiff, dir.filePath("t.pdf")));
    EXPECT_EQ(test::QpdfPageCount(dir.filePath("t.pdf")), 3);
}

TEST_F(TiffPdfCommandsFurtherTest, EachTiffBecomesAPdfNamedUpToItsFirstDot)
{
    const QString out = dir.createFolder("out");
    const QString a = MakeTiffWidths(dir.filePath("scan.2024.tif"), {11});
    const QString b = MakeTiffWidths(dir.filePath("b.tif"), {11, 12});
    const QString noDot = MakeTiffWidths(dir.filePath("nodot"), {11});
    cmd.colOrderedData = {RecordOf(a), RecordOf(b)};
    ASSERT_TRUE(cmd.Convert_EachTiffToPDFx(out));
    EXPECT_EQ(FolderEntries(out), (QStringList{"b.Pdf", "scan.Pdf"}));
    EXPECT_EQ(test::QpdfPageCount(out + "/b.Pdf"), 2);
    EXPECT_EQ(cmd.FileProccessed, 2);

    cmd.colOrderedData.push_back(RecordOf(noDot));
    EXPECT_FALSE(cmd.Convert_EachTiffToPDFx(out));
    EXPECT_EQ(cmd.FileProccessed, 2);
    EXPECT_TRUE(LoggedFor("Convert_EachTiffToPDFx", "nodot"));
}

TEST_F(TiffPdfCommandsFurtherTest, FileExistsOnlyForRegularFiles)
{
    const QString file = dir.createFile("a.tif", "x");
    QFile::link(file, dir.filePath("link.tif"));
    QFile::link(dir.filePath("gone"), dir.filePath("dangling.tif"));
    struct Case {
        QString path;
        bool exists;
    } cases[] = {{file, true}, {dir.filePath("link.tif"), true}, {dir.filePath("dangling.tif"), false},
                 {dir.path(), false}, {dir.filePath("gone.tif"), false}, {"", false}};
    for (const Case &c : cases)
        EXPECT_EQ(cmd.FileExists(c.path), c.exists) << c.path.toStdString();
}

namespace {

/// Bytes the file system at path has left.
long long FreeBytes(const QString &path)
{
    struct statvfs fs {};
    return ::statvfs(QFile::encodeName(path).constData(), &fs) == 0 ? static_cast<long long>(fs.f_bavail) * fs.f_frsize
                                                                      : -1;
}

}  // namespace

// Every command that writes a file, on a disk that fills part way through its output: the command
// answers False and logs why, the file it would have replaced keeps every byte, nothing new shows in
// the folder, and the space the failed output took is free again (no unnamed file left open).
TEST_F(TiffPdfCommandsFurtherTest, AFullDiskFailsEveryWriterAndLeavesTheFolderAsItWas)
{
    if (test::RanOnSmallDisk(12 << 20))
        return;
    const QString disk = test::SmallDisk();
    // Inputs lie elsewhere; each page is about 1.5 MB that no compression shrinks.
    const QString pdf = test::MakeNoisePdf(dir.path(), "scan", 3, 700, 700);
    const QString png = test::WriteBytes(dir.filePath("noise.png"), {});
    ASSERT_TRUE(test::NoiseImage(700, 700, 1).save(png, "png"));
    const QString tiff = test::MakeTiffOf(dir.filePath("pages.tif"), {test::NoiseImage(700, 700, 2), test::NoiseImage(700, 700, 3)});
    const QByteArray old = test::NoiseBytes(64 * 1024, 9);

    struct Case {
        const char *name;
        const char *procedure;
        QStringList folders;  ///< made in the case's folder first
        QString replaced;     ///< the old file an output would replace, relative to the case's folder
        std::function<bool(const QString &folder)> run;
        bool targetIsInput = false;  ///< the replaced file is the command's own input: a copy of pages.tif
        /// Space left for the outputs; where there are several, the first fits and a later one does not.
        long long room = 1 << 20;
    };
    const std::vector<Case> cases = {
        {"split of a PDF", "SplitPDFFiles", {"scan"}, "scan/part_1.pdf",
         [&](const QString &f) { return cmd.SplitPDFFiles(pdf, "", f, "part"); }, false, 2 << 20},
        {"metadata", "UpdatePdfMetaData", {}, "out.pdf",
         [&](const QString &f) { return cmd.UpdatePdfMetaData(pdf, "", "Title=Full", f + "/out.pdf"); }},
        {"PDF pages to PNG files", "ConvertPDFToImage", {}, "out_1.png",
         [&](const QString &f) { return cmd.ConvertPDFToImage(pdf, f + "/out.png").toBool(); }, false, 2 << 20},
        {"PDF to a multi-page TIFF", "ConvertPDFToImage", {}, "out.tif",
         [&](const QString &f) { return cmd.ConvertPDFToImage(pdf, f + "/out.tif").toBool(); }},
        {"image to TIFF", "ConverImageToTiff", {}, "out.tif",
         [&](const QString &f) { return cmd.ConverImageToTiff(png, f + "/out.tif", 1); }},
        {"TIFF to PDF", "Convert_EachTiffToPDFbyOne", {}, "out.pdf",
         [&](const QString &f) { return cmd.Convert_EachTiffToPDFbyOne(tiff, f + "/out.pdf"); }},
        {"pages added to a TIFF", "AppendFileTiffFile", {}, "target.tif",
         [&](const QString &f) { return cmd.AppendFileTiffFile(f + "/target.tif", tiff, 1); }, true},
        {"a page deleted from a TIFF", "DeleteTiffPage", {}, "target.tif",
         [&](const QString &f) { return cmd.DeleteTiffPage(f + "/target.tif", 2); }, true},
        {"split of a TIFF", "SplitTiffFiles", {"pages."}, "pages./part1.tif",
         [&](const QString &f) { return cmd.SplitTiffFiles(tiff, 1, f, "part"); }, false, 2 << 20},
        {"TIFF pages extracted", "ExtractAllTIFFpages", {"pages."}, "pages./pages_2.tif",
         [&](const QString &f) { return cmd.ExtractAllTIFFpages(tiff, f); }, false, 2 << 20},
        {"TIFF combine, copied to its output", "CombineOrderTiff", {}, "out.tif",
         [&](const QString &f) {
             TiffPdfCommands combine;
             combine.colOrderedData = {test::RecordOf(tiff), test::RecordOf(tiff)};
             combine.FileNameToSave = f + "/out.tif";
             return combine.CombineOrderTiff();
         }},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.name);
        test::ClearErrorLog();
        const QString folder = disk + QStringLiteral("/case%1").arg(i);
        ASSERT_TRUE(QDir().mkpath(folder));
        for (const QString &sub : c.folders)
            ASSERT_TRUE(QDir(folder).mkpath(sub));
        const QString replaced = folder + "/" + c.replaced;
        ASSERT_TRUE(c.targetIsInput ? QFile::copy(tiff, replaced) : WriteFileAtomically(replaced, old).ok);
        const QByteArray before = test::FileBytes(replaced);
        ASSERT_TRUE(WriteFileAtomically(folder + "/ballast", QByteArray(FreeBytes(disk) - c.room, 'b')).ok);
        const QStringList entries = test::FolderEntries(folder);
        QStringList subEntries;
        for (const QString &sub : c.folders)
            subEntries << test::FolderEntries(folder + "/" + sub);
        const long long free = FreeBytes(disk);

        EXPECT_FALSE(c.run(folder));
        EXPECT_TRUE(LoggedFor(c.procedure, "No space left on device")) << test::ErrorLogLines().join('\n').toStdString();
        EXPECT_EQ(test::FileBytes(replaced), before) << "the old file was changed";
        EXPECT_EQ(test::FolderEntries(folder), entries);
        QStringList subEntriesAfter;
        for (const QString &sub : c.folders)
            subEntriesAfter << test::FolderEntries(folder + "/" + sub);
        EXPECT_EQ(subEntriesAfter, subEntries);
        EXPECT_EQ(FreeBytes(disk), free) << "a failed output still takes space";
        ASSERT_TRUE(QDir(folder).removeRecursively());
    }
}

#include "platform/PdfInfoStamper.h"

#include "support/HostilePdfs.h"
#include "support/ImageFixtures.h"
#include "support/PdfFixtures.h"
#include "support/RenderHazards.h"
#include "support/TestEnv.h"
#include "support/WithinLimits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>

using namespace folvane;
using folvane::test::MakeTaggedPdf;
using folvane::test::PageMarkers;

namespace {

class PdfInfoStamperTest : public ::testing::Test {
protected:
    QString Read(const QString &path, const QString &password = {})
    {
        const Expected<QString> text = stamper.ReadPDFInfo(path, password);
        return text ? *text : QStringLiteral("<unreadable: %1>").arg(text.reason);
    }
    test::TempDir dir;
    PdfInfoStamper stamper;
};

}  // namespace

TEST_F(PdfInfoStamperTest, EntriesWrittenReadBackTheSame)
{
    const QString src = MakeTaggedPdf(dir.path(), "a", 2);
    const QString entries = "Title=Quarterly report = final\r\n"
                            "\n"
                            "Author=Zoë Ångström\n"
                            "Subject=two\\nlines and a \\\\ backslash\n";
    ASSERT_TRUE(stamper.UpdatePDFInfo(src, {}, entries, dir.filePath("b.pdf")).ok);
    const QString text = Read(dir.filePath("b.pdf"));
    EXPECT_TRUE(text.contains("Author=Zoë Ångström\nSubject=two\\nlines and a \\\\ backslash\nTitle=Quarterly report = final"))
        << text.toStdString();
    EXPECT_EQ(PageMarkers(dir.filePath("b.pdf")), PageMarkers(src));

    // Writing what was read changes nothing; an empty value removes the entry; the source may be the output.
    ASSERT_TRUE(stamper.UpdatePDFInfo(dir.filePath("b.pdf"), {}, text + "\nTitle=", dir.filePath("b.pdf")).ok);
    const QString after = Read(dir.filePath("b.pdf"));
    EXPECT_FALSE(after.contains("Title=")) << after.toStdString();
    EXPECT_TRUE(after.contains("Subject=two\\nlines and a \\\\ backslash")) << after.toStdString();
}

TEST_F(PdfInfoStamperTest, EncryptedFilesOpenWithThePasswordAndStayEncrypted)
{
    test::PdfSpec options;
    options.pages = 1;
    options.userPassword = "u";
    options.ownerPassword = "o";
    const QString src = test::MakePdf(dir.filePath("locked.pdf"), options);
    ASSERT_TRUE(stamper.UpdatePDFInfo(src, "u", "Title=Secret", dir.filePath("out.pdf")).ok);
    EXPECT_EQ(test::QpdfPageCount(dir.filePath("out.pdf")), -1);  // needs the password
    EXPECT_TRUE(Read(dir.filePath("out.pdf"), "u").contains("Title=Secret"));
    EXPECT_FALSE(stamper.UpdatePDFInfo(src, "wrong", "Title=x", dir.filePath("x.pdf")).ok);
}

TEST_F(PdfInfoStamperTest, BadEntriesOrFilesWriteNothing)
{
    const QString src = MakeTaggedPdf(dir.path(), "a", 1);
    const QString damaged = dir.createFile("damaged.pdf", "%PDF-1.4\ngarbage");
    struct Case {
        const char *name;
        QString source, entries, output, reasonPart;
    } cases[] = {
        {"line without =", src, "Title", dir.filePath("o.pdf"), "Key=Value"},
        {"key with a space", src, "My Title=x", dir.filePath("o.pdf"), "Key=Value"},
        {"damaged source", damaged, "Title=x", dir.filePath("o.pdf"), "damaged"},
        {"missing source", dir.filePath("gone.pdf"), "Title=x", dir.filePath("o.pdf"), "gone.pdf"},
        {"no output name", src, "Title=x", "", "no output"},
        {"output folder missing", src, "Title=x", dir.filePath("no/o.pdf"), "cannot write"},
    };
    for (const Case &c : cases) {
        const Outcome r = stamper.UpdatePDFInfo(c.source, {}, c.entries, c.output);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_TRUE(r.reason.contains(c.reasonPart)) << c.name << ": " << r.reason.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << c.name;
    }
    EXPECT_TRUE(Read(damaged).startsWith("<unreadable"));
}

TEST_F(PdfInfoStamperTest, KeysWithNameDelimitersReadBackAsGiven)
{
    // "#" starts an escape in a PDF name; the others end a name unless escaped.
    const QStringList keys = {"Weird(#)", "#", "a#20b", "Per%cent", "x[y]<z>{w}", "Zoë"};
    QString entries;
    for (int i = 0; i < keys.size(); ++i)
        entries += QStringLiteral("%1=value %2\n").arg(keys[i]).arg(i);
    const QString src = MakeTaggedPdf(dir.path(), "a", 1);
    ASSERT_TRUE(stamper.UpdatePDFInfo(src, {}, entries, dir.filePath("b.pdf")).ok);
    const QStringList lines = Read(dir.filePath("b.pdf")).split('\n');
    for (int i = 0; i < keys.size(); ++i)
        EXPECT_TRUE(lines.contains(QStringLiteral("%1=value %2").arg(keys[i]).arg(i))) << keys[i].toStdString() << ": "
                                                                                       << lines.join(" | ").toStdString();
    const QStringList popplerKeys = test::PopplerInfoKeys(dir.filePath("b.pdf"));
    for (const QString &key : keys)  // poppler gives a name's bytes as Latin-1; they are UTF-8 here
        EXPECT_TRUE(popplerKeys.contains(QString::fromLatin1(key.toUtf8()))) << key.toStdString() << ": " << popplerKeys.join(" | ").toStdString();
    // qpdf's own check finds nothing wrong, and a second update of the same keys replaces them.
    QProcess check;
    check.start("qpdf", {"--check", dir.filePath("b.pdf")});
    ASSERT_TRUE(check.waitForFinished());
    EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
    ASSERT_TRUE(stamper.UpdatePDFInfo(dir.filePath("b.pdf"), {}, "Weird(#)=again", dir.filePath("c.pdf")).ok);
    const QStringList again = Read(dir.filePath("c.pdf")).split('\n');
    EXPECT_TRUE(again.contains("Weird(#)=again")) << again.join(" | ").toStdString();
    EXPECT_FALSE(again.contains("Weird(#)=value 0"));
    EXPECT_EQ(again.size(), lines.size());
}

// ---- Files made to hurt ---------------------------------------------------------------------------

TEST(PdfInfoStamperLimits, AnObjectStreamPastTheLimitFailsTheUpdateAndLeavesTheFileAsItWas)
{
    if (test::RanWithinLimits())
        return;
    // qpdf reads the objects of a stream it cannot decode as null: written, the page tree would be gone.
    test::TempDir dir;
    PdfInfoStamper stamper;
    struct Case {
        const char *name;
        std::int64_t inflatedBytes;
        bool updates;
    } cases[] = {
        {"page tree in an object stream of 1 MB", 1LL << 20, true},
        {"page tree in an object stream of 80 MB", 80LL << 20, false},
    };
    for (const Case &c : cases) {
        const QString path = test::PackedPageTreePdf(dir.filePath("packed.pdf"), c.inflatedBytes);
        const QByteArray before = test::FileBytes(path);
        const Outcome updated = stamper.UpdatePDFInfo(path, {}, "Title=hello", path);
        EXPECT_EQ(updated.ok, c.updates) << c.name << ": " << updated.reason.toStdString();
        if (c.updates) {
            EXPECT_EQ(test::QpdfPageCount(path), 1) << c.name;
            EXPECT_TRUE(stamper.ReadPDFInfo(path, {}).value_or(QString()).contains("Title=hello")) << c.name;
        } else {
            EXPECT_TRUE(updated.reason.contains("packed.pdf: damaged: a stream inflates past 64 MB")) << updated.reason.toStdString();
            EXPECT_TRUE(test::FileBytes(path) == before) << c.name << ": the file was replaced";
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"packed.pdf"}) << c.name;
    }
}

namespace {

struct HostileStamp {
    const char *name;
    std::function<QString(const test::TempDir &)> make;
    bool alsoRead;  ///< read its entries too (each call may take the whole of an open's time)
};

void PrintTo(const HostileStamp &c, std::ostream *os) { *os << c.name; }

class HostilePdfInfo : public ::testing::TestWithParam<HostileStamp> {};

}  // namespace

// Both calls open the file as the page counter does, and judge it within the same bounds.
TEST_P(HostilePdfInfo, EndsWithinTenSecondsAndAGigabyte)
{
    if (test::RanWithinLimits())
        return;
    test::TempDir dir;
    const QString path = GetParam().make(dir);
    ASSERT_FALSE(path.isEmpty());
    const qint64 size = QFileInfo(path).size();
    PdfInfoStamper stamper;
    const Outcome updated = stamper.UpdatePDFInfo(path, {}, "Title=hello", path);
    EXPECT_FALSE(updated);
    EXPECT_TRUE(updated.reason.contains(path + ": damaged")) << updated.reason.toStdString();
    EXPECT_EQ(QFileInfo(path).size(), size);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    if (GetParam().alsoRead) {
        const Expected<QString> read = stamper.ReadPDFInfo(path, {});
        EXPECT_FALSE(read);
        EXPECT_TRUE(read.reason.contains(path + ": damaged")) << read.reason.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    , HostilePdfInfo,
    ::testing::Values(HostileStamp{"EmptySparseFileOfATerabyte",
                                   [](const test::TempDir &d) { return test::MakeHugeEmptyPdf(d.filePath("huge.pdf")); }, true},
                      HostileStamp{"ShortLinesOf300MB",
                                   [](const test::TempDir &d) { return test::JunkLinesPdf(d.filePath("x.pdf"), 300LL << 20, false); }, false}),
    [](const ::testing::TestParamInfo<HostileStamp> &info) { return std::string(info.param.name); });

// The folder search over a large tree against a bare walk that does the same page counting.
//
// Tree (made once, reused): 200 folders (20 top folders with 9 subfolders each), each with 50 PDFs of
// 1 to 50 pages and 50 other files: 10,000 PDFs and 10,000 other files. The search runs through
// frmMain's own search code with subfolders and the "Pages" column shown; the bare loop walks the
// same tree with std::filesystem and counts the same PDFs with the same counter. Both run in this
// process, several times, alternating; medians are printed with their ratio (target: at most 2x),
// and the median of the search with the "Pages" column hidden.
//
// A second tree, the same files with links between sibling folders added (each subfolder links to
// the other subfolders of its top folder, each top folder to the other top folders), is searched
// the same way: it must list the same rows, each once, at most 2x the time of the plain tree.
//
// Usage: search_bench [tree folder]   (default /tmp/folvane_search_bench_tree; the linked tree is
//                                     made beside it, with "_linked" added to the name)

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/MsgBox.h"
#include "platform/PageCounters.h"
#include "search/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

using namespace folvane;

namespace {

constexpr int TopFolders = 20;
constexpr int SubFolders = 9;
constexpr int PdfsPerFolder = 50;
constexpr int OthersPerFolder = 50;
constexpr int Runs = 5;
const char *const TreeStamp = "folvane search bench tree v1";
const char *const LinkedTreeStamp = "folvane search bench tree v1, sibling folders linked";

/// A small valid PDF of n empty pages with an exact cross-reference table.
QByteArray PdfBytes(int pages)
{
    QByteArray out = "%PDF-1.4\n";
    std::vector<qsizetype> offsets;
    auto object = [&](const QByteArray &body) {
        offsets.push_back(out.size());
        out += QByteArray::number(static_cast<qsizetype>(offsets.size())) + " 0 obj\n" + body + "\nendobj\n";
    };
    QByteArray kids;
    for (int i = 0; i < pages; ++i)
        kids += QByteArray::number(3 + i) + " 0 R ";
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>");
    for (int i = 0; i < pages; ++i)
        object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(static_cast<qsizetype>(offsets.size()) + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype off : offsets)
        out += QByteArray::number(off).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(static_cast<qsizetype>(offsets.size()) + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

void Link(const QString &target, const QString &link)
{
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) != 0) {
        std::fprintf(stderr, "cannot link %s\n", qPrintable(link));
        std::exit(1);
    }
}

QString TopName(int top) { return QStringLiteral("t%1").arg(top, 2, 10, QLatin1Char('0')); }
QString SubName(int sub) { return QStringLiteral("s%1").arg(sub); }

/// The tree; with `linked`, every folder also holds a link to each of its sibling folders.
void MakeTree(const QString &root, bool linked)
{
    const QString stamp = root + QStringLiteral("/.complete");
    const QByteArray stampText = linked ? LinkedTreeStamp : TreeStamp;
    QFile s(stamp);
    if (s.open(QIODevice::ReadOnly) && s.readAll() == stampText) {
        std::printf("tree: reusing %s\n", qPrintable(root));
        return;
    }
    QElapsedTimer t;
    t.start();
    QDir(root).removeRecursively();
    std::vector<QByteArray> pdfs;
    for (int n = 1; n <= 50; ++n)
        pdfs.push_back(PdfBytes(n));
    const char *const otherExt[] = {"txt", "doc", "jpg", "xml", "csv"};
    int pdfIndex = 0;
    for (int top = 0; top < TopFolders; ++top) {
        const QString topPath = root + QLatin1Char('/') + TopName(top);
        QStringList folders{topPath};
        for (int sub = 0; sub < SubFolders; ++sub)
            folders << topPath + QLatin1Char('/') + SubName(sub);
        for (const QString &folder : folders) {
            QDir().mkpath(folder);
            for (int i = 0; i < PdfsPerFolder; ++i, ++pdfIndex)
                WriteFile(folder + QStringLiteral("/doc%1.pdf").arg(i, 3, 10, QLatin1Char('0')),
                          pdfs[static_cast<std::size_t>(pdfIndex % 50)]);
            for (int i = 0; i < OthersPerFolder; ++i)
                WriteFile(folder + QStringLiteral("/other%1.%2").arg(i, 3, 10, QLatin1Char('0')).arg(QLatin1String(otherExt[i % 5])),
                          QByteArray(100 + i, 'x'));
        }
        for (int sub = 0; linked && sub < SubFolders; ++sub)
            for (int other = 0; other < SubFolders; ++other)
                if (other != sub)
                    Link(QStringLiteral("../") + SubName(other),
                         topPath + QLatin1Char('/') + SubName(sub) + QStringLiteral("/to_") + SubName(other));
    }
    for (int top = 0; linked && top < TopFolders; ++top)
        for (int other = 0; other < TopFolders; ++other)
            if (other != top)
                Link(QStringLiteral("../") + TopName(other),
                     root + QLatin1Char('/') + TopName(top) + QStringLiteral("/to_") + TopName(other));
    WriteFile(stamp, stampText);
    std::printf("tree: made %s in %.1f s\n", qPrintable(root), t.elapsed() / 1000.0);
}

/// The bare loop: the same walk and the same counter, with nothing of the window around it. Links
/// are not followed (the plain tree has none).
long long BareLoop(const QString &root, const PdfPageCounter &counter, int &files)
{
    long long pages = 0;
    files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(QFile::encodeName(root).toStdString())) {
        if (!entry.is_regular_file())
            continue;
        const QString path = QFile::decodeName(QByteArray::fromStdString(entry.path().native()));
        if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            continue;
        ++files;
        pages += counter.PageCount(path);
    }
    return pages;
}

long long GridPages(const frmMain &w)
{
    const int col = ColumnOf(ColumnKey::Pages);
    long long pages = 0;
    for (int r = 1; r < w.grdSearchList->Rows(); ++r)
        pages += w.grdSearchList->TextMatrix(r, col).toLongLong();
    return pages;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/folvane_search_bench_tree");
    const QString linkedRoot = root + QStringLiteral("_linked");
    MakeTree(root, false);
    MakeTree(linkedRoot, true);

    QTemporaryDir storage;
    ProgramState &st = State();
    st.StorageFolderPath = storage.path();
    st.StorageFolder = storage.path() + QLatin1Char('/');
    st.objSettings = std::make_unique<Settings>();
    st.objSettings->LoadDefaultSettings();
    st.objGridColumns = std::make_unique<GridColumns>();
    AddDefaultResultColumns(*st.objGridColumns);
    modGeneral::LoadGridColumns();
    st.PdfCounter = std::make_unique<PdfPageCounter>();
    st.TiffCounter = std::make_unique<TiffPageCounter>();
    SetMsgBoxAnswerer([](const MsgBoxCall &) { return MsgResult::OK; });

    frmMain w;
    DataGrid &grid = *w.grdSearchList;
    grid.setCols(st.objGridColumns->Count());
    grid.setRows(1);
    grid.setFixedRows(1);
    for (const GridColumns::Ptr &c : *st.objGridColumns)
        grid.setTextMatrix(0, c->ColumnIndex, c->ColumnName);
    w.FillComboBoxes();
    w.chkSearchSubFolder->setChecked(true);

    const QString shown = st.objSettings->ColumnVisibility();
    QStringList hiddenList = shown.split(QLatin1Char(','));
    hiddenList[ColumnOf(ColumnKey::Pages)] = QStringLiteral("0");
    const QString hidden = hiddenList.join(QLatin1Char(','));

    auto search = [&](const QString &top) {
        QElapsedTimer t;
        t.start();
        QString folder = top;
        w.MainLoadFiles(folder, true);
        return t.nsecsElapsed() / 1e9;
    };
    auto bare = [&](long long &pages, int &files) {
        QElapsedTimer t;
        t.start();
        pages = BareLoop(root, *st.PdfCounter, files);
        return t.nsecsElapsed() / 1e9;
    };

    // Warm the page cache and check that both sides see the same files and pages.
    long long barePages = 0;
    int bareFiles = 0;
    bare(barePages, bareFiles);
    search(root);
    const int rows = grid.Rows() - 1;
    const long long searchPages = GridPages(w);
    std::printf("files: search %d rows, %lld pages; bare loop %d PDFs, %lld pages%s\n", rows, searchPages, bareFiles,
                barePages, rows == bareFiles && searchPages == barePages ? "" : "  MISMATCH");
    search(linkedRoot);
    const int linkedRows = grid.Rows() - 1;
    const long long linkedPages = GridPages(w);
    std::printf("linked tree: search %d rows, %lld pages%s\n", linkedRows, linkedPages,
                linkedRows == rows && linkedPages == searchPages ? "" : "  MISMATCH");

    std::vector<double> searchTimes, bareTimes, linkedTimes, hiddenTimes;
    for (int i = 0; i < Runs; ++i) {
        searchTimes.push_back(search(root));
        bareTimes.push_back(bare(barePages, bareFiles));
        linkedTimes.push_back(search(linkedRoot));
    }
    st.objSettings->setColumnVisibility(hidden);
    for (int i = 0; i < Runs; ++i)
        hiddenTimes.push_back(search(root));
    st.objSettings->setColumnVisibility(shown);

    const double s = Median(searchTimes), b = Median(bareTimes), l = Median(linkedTimes), h = Median(hiddenTimes);
    std::printf("search with page counts: median %.3f s (%d runs)\n", s, Runs);
    std::printf("bare loop, same counts:  median %.3f s\n", b);
    std::printf("ratio search / bare:     %.2fx (target <= 2x)\n", s / b);
    std::printf("linked tree search:      median %.3f s\n", l);
    std::printf("ratio linked / plain:    %.2fx (target <= 2x)\n", l / s);
    std::printf("search, Pages hidden:    median %.3f s\n", h);
    return 0;
}

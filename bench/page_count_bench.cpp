// Page counts of a generated folder of 2,000 PDFs: our counter against qpdf's full page walk in
// the same process and against one `pdfinfo` process per file.

#include "BenchSupport.h"

#include "platform/PageCounters.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <qpdf/QPDF.hh>

#include <chrono>
#include <cstdio>

using namespace folvane;

namespace {

constexpr int Files = 2000;
constexpr int PdfinfoSample = 200;
constexpr int Passes = 3;

template <class F>
double SecondsOf(F &&f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < Files; ++i) {
        paths << dir.filePath(QStringLiteral("doc%1.pdf").arg(i));
        bench::MakeTextPdf(paths.back(), 1 + i % 40, QStringLiteral("doc%1").arg(i));
    }

    PdfPageCounter counter;
    std::vector<double> ours, walk, pdfinfo;
    long long checksumOurs = 0, checksumWalk = 0;
    for (int pass = 0; pass < Passes; ++pass) {
        for (const QString &p : paths) {
            ours.push_back(SecondsOf([&] { checksumOurs += counter.PageCount(p); }));
            walk.push_back(SecondsOf([&] {
                QPDF pdf;
                pdf.setSuppressWarnings(true);
                pdf.processFile(p.toLocal8Bit().constData());
                checksumWalk += static_cast<long long>(pdf.getAllPages().size());
            }));
        }
    }
    for (int i = 0; i < PdfinfoSample; ++i) {
        const std::string p = paths[i * (Files / PdfinfoSample)].toStdString();
        pdfinfo.push_back(bench::RunChild("pdfinfo", {p}).seconds);
    }

    const double mOurs = bench::Median(ours), mWalk = bench::Median(walk), mInfo = bench::Median(pdfinfo);
    std::printf("page counts of %d generated PDFs (1-40 pages), median per file over %d passes\n", Files, Passes);
    std::printf("  our counter (/Root/Pages/Count)   %8.1f us\n", mOurs * 1e6);
    std::printf("  qpdf full page walk, in process   %8.1f us   ratio %.2fx (target >= 1.5x)\n", mWalk * 1e6,
                mWalk / mOurs);
    std::printf("  pdfinfo process per file (%d)    %8.1f us   ratio %.1fx (target >= 50x)\n", PdfinfoSample,
                mInfo * 1e6, mInfo / mOurs);
    std::printf("  counts agree: %s\n", checksumOurs == checksumWalk ? "yes" : "NO");
    return checksumOurs == checksumWalk ? 0 : 1;
}

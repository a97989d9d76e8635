// Combines through CombineOrderPdf against `qpdf --empty --pages` and `pdfunite` on the same files:
// 200 light PDFs and 200 image-heavy PDFs of 10 pages; then 2,000 inputs under an open-file limit
// of 1024; then a 36-page PDF appended to each of 200 files through AppendPdfFile.
//
// Every combine runs in a child process (ours is this program with --combine) so that time and
// peak memory are measured the same way for all three.

#include "BenchSupport.h"

#include "app/ProgramState.h"
#include "docops/TiffPdfCommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sys/resource.h>

using namespace folvane;

namespace {

constexpr int Runs = 7;
constexpr int UniteRuns = 3;  // pdfunite is slow on images; three runs tell enough

/// The process's peak resident set so far.
long PeakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int CombineChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[2]);
    State().StorageFolderPath = QFileInfo(out).absolutePath();
    QFile list(QString::fromLocal8Bit(argv[3]));
    if (!list.open(QIODevice::ReadOnly))
        return 2;
    TiffPdfCommands cmd;
    QTextStream in(&list);
    while (!in.atEnd()) {
        const QFileInfo fi(in.readLine());
        clsColSetOrderGrid r;
        r.filename = fi.fileName();
        r.FileLocation = fi.absolutePath();
        cmd.colOrderedData.push_back(r);
    }
    cmd.FileNameToSave = out;
    const long startPeakKb = PeakKb();
    const auto start = std::chrono::steady_clock::now();
    const bool ok = cmd.CombineOrderPdf();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // What the run itself took, for the parent to read beside the process's own figures.
    QFile note(out + ".run");
    if (note.open(QIODevice::WriteOnly))
        note.write(QByteArray::number(seconds, 'f', 6) + ' ' + QByteArray::number(startPeakKb));
    return ok ? 0 : 1;
}

struct Figures {
    double seconds = 0;     ///< the whole process
    double runSeconds = 0;  ///< CombineOrderPdf alone (ours only)
    double peakMb = 0;
    double startPeakMb = 0; ///< peak before any work: the process's own start-up
    double outMb = 0;
    bool ok = true;
};

/// Samples of one tool on one set of files.
struct Samples {
    std::vector<double> seconds, peaks, runSeconds, startPeaks;
    bool ok = true;

    void RunOnce(const std::string &program, const std::vector<std::string> &args, const QString &out)
    {
        QFile::remove(out);
        const bench::ChildRun run = bench::RunChild(program, args);
        ok = ok && run.exitCode == 0 && QFile::exists(out);
        seconds.push_back(run.seconds);
        peaks.push_back(run.peakKb / 1024.0);
        QFile note(out + ".run");
        if (note.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> parts = note.readAll().split(' ');
            runSeconds.push_back(parts.value(0).toDouble());
            startPeaks.push_back(parts.value(1).toDouble() / 1024.0);
        }
    }

    Figures Summary(const QString &out) const
    {
        Figures f;
        f.ok = ok;
        f.seconds = bench::Median(seconds);
        f.peakMb = bench::Median(peaks);
        f.runSeconds = bench::Median(runSeconds);
        f.startPeakMb = bench::Median(startPeaks);
        f.outMb = bench::FileSize(out) / (1024.0 * 1024.0);
        return f;
    }
};

QString WriteList(const QString &path, const QStringList &files)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write((files.join('\n') + '\n').toLocal8Bit());
    return path;
}

std::vector<std::string> Std(const QStringList &l)
{
    std::vector<std::string> out;
    for (const QString &s : l)
        out.push_back(s.toStdString());
    return out;
}

void CompareOnSet(const char *title, const QStringList &files, const QString &work)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const QString list = WriteList(work + "/list.txt", files);
    const QString oursOut = work + "/ours.pdf", qpdfOut = work + "/qpdf.pdf", uniteOut = work + "/pdfunite.pdf";
    std::vector<std::string> qpdfArgs{"--empty", "--pages"};
    for (const std::string &f : Std(files))
        qpdfArgs.push_back(f);
    qpdfArgs.push_back("--");
    qpdfArgs.push_back(qpdfOut.toStdString());
    std::vector<std::string> uniteArgs = Std(files);
    uniteArgs.push_back(uniteOut.toStdString());
    // Interleaved, so that a busy moment of the machine falls on all of them alike.
    Samples oursSamples, qpdfSamples, uniteSamples;
    for (int i = 0; i < Runs; ++i) {
        oursSamples.RunOnce(self, {"--combine", oursOut.toStdString(), list.toStdString()}, oursOut);
        qpdfSamples.RunOnce("qpdf", qpdfArgs, qpdfOut);
        if (i < UniteRuns)
            uniteSamples.RunOnce("pdfunite", uniteArgs, uniteOut);
    }
    const Figures ours = oursSamples.Summary(oursOut), qpdf = qpdfSamples.Summary(qpdfOut),
                  unite = uniteSamples.Summary(uniteOut);

    // qpdf's own start-up peak, to set beside ours.
    const double qpdfStartMb = bench::RunChild("qpdf", {"--version"}).peakKb / 1024.0;
    std::printf("%s (medians of %d runs, pdfunite %d)\n", title, Runs, UniteRuns);
    std::printf("  %-22s %9s %9s %9s %11s %10s\n", "", "process s", "run s", "peak MB", "above start", "output MB");
    auto row = [&](const char *name, const Figures &f, double startMb) {
        std::printf("  %-22s %9.3f %9s %9.1f %11.1f %10.2f%s\n", name, f.seconds,
                    f.runSeconds > 0 ? QByteArray::number(f.runSeconds, 'f', 3).constData() : "-", f.peakMb,
                    f.peakMb - startMb, f.outMb, f.ok ? "" : "  FAILED");
    };
    row("CombineOrderPdf", ours, ours.startPeakMb);
    row("qpdf --empty --pages", qpdf, qpdfStartMb);
    row("pdfunite", unite, 0);
    std::printf("  ratios to qpdf: time %.2f (run alone %.2f), peak %.2f (above start-up %.2f), size %.3f;"
                " pdfunite time %.2f, size %.3f\n",
                ours.seconds / qpdf.seconds, ours.runSeconds / qpdf.seconds, ours.peakMb / qpdf.peakMb,
                (ours.peakMb - ours.startPeakMb) / (qpdf.peakMb - qpdfStartMb), ours.outMb / qpdf.outMb,
                unite.seconds / qpdf.seconds, unite.outMb / qpdf.outMb);
    std::printf("  targets: time <= 1.0x, peak <= 1.1x, size <= 1.0x of qpdf's\n");
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--combine") == 0)
        return CombineChild(argc, argv);

    // The usual desktop limit; the children inherit it.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(1024, limit.rlim_max);
    setrlimit(RLIMIT_NOFILE, &limit);

    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    State().StorageFolderPath = tmp.path();
    QDir(tmp.path()).mkpath("light");
    QDir(tmp.path()).mkpath("heavy");
    QDir(tmp.path()).mkpath("many");
    QDir(tmp.path()).mkpath("appended");

    QStringList light, heavy, many;
    for (int i = 0; i < 200; ++i) {
        light << tmp.filePath(QStringLiteral("light/l%1.pdf").arg(i));
        bench::MakeTextPdf(light.back(), 10, QStringLiteral("l%1").arg(i));
    }
    std::vector<std::string> jpegs;
    for (unsigned k = 0; k < 10; ++k)
        jpegs.push_back(bench::NoiseJpeg(100 * 1024, k + 1));
    const QString heavyFirst = tmp.filePath("heavy/h0.pdf");
    bench::MakeImagePdf(heavyFirst, 10, jpegs);
    heavy << heavyFirst;
    for (int i = 1; i < 200; ++i) {
        heavy << tmp.filePath(QStringLiteral("heavy/h%1.pdf").arg(i));
        QFile::copy(heavyFirst, heavy.back());
    }
    for (int i = 0; i < 2000; ++i) {
        many << tmp.filePath(QStringLiteral("many/m%1.pdf").arg(i));
        QFile::copy(light[i % 200], many.back());
    }
    std::printf("inputs: light %.1f KB each, image-heavy %.2f MB each; open-file limit %llu\n\n",
                bench::FileSize(light[0]) / 1024.0, bench::FileSize(heavyFirst) / (1024.0 * 1024.0),
                static_cast<unsigned long long>(limit.rlim_cur));

    CompareOnSet("200 light PDFs of 10 pages", light, tmp.path());
    CompareOnSet("200 image-heavy PDFs of 10 pages", heavy, tmp.path());

    {
        const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        const QString list = WriteList(tmp.filePath("many.txt"), many);
        const QString out = tmp.filePath("many.pdf");
        const bench::ChildRun run = bench::RunChild(self, {"--combine", out.toStdString(), list.toStdString()});
        std::vector<std::string> qpdfArgs{"--empty", "--pages"};
        for (const std::string &f : Std(many))
            qpdfArgs.push_back(f);
        qpdfArgs.push_back("--");
        qpdfArgs.push_back(tmp.filePath("many-qpdf.pdf").toStdString());
        const bench::ChildRun q = bench::RunChild("qpdf", qpdfArgs);
        std::printf("2,000 light inputs under ulimit -n %llu\n", static_cast<unsigned long long>(limit.rlim_cur));
        std::printf("  CombineOrderPdf %s in %.3f s, peak %.1f MB, %.2f MB output; qpdf %.3f s (ratio %.2f)\n",
                    run.exitCode == 0 && QFile::exists(out) ? "succeeded" : "FAILED", run.seconds, run.peakKb / 1024.0,
                    bench::FileSize(out) / (1024.0 * 1024.0), q.seconds, run.seconds / q.seconds);
    }

    {
        const QString app36 = tmp.filePath("append36.pdf");
        bench::MakeTextPdf(app36, 36, "append");
        TiffPdfCommands cmd;
        std::vector<double> ours, qpdf;
        int failed = 0;
        for (int i = 0; i < 200; ++i) {
            const QString out = tmp.filePath(QStringLiteral("appended/a%1.pdf").arg(i));
            const auto start = std::chrono::steady_clock::now();
            failed += cmd.AppendPdfFile(light[i], app36, QString(), out) ? 0 : 1;
            ours.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            qpdf.push_back(bench::RunChild("qpdf", {"--empty", "--pages", light[i].toStdString(),
                                                    app36.toStdString(), "--",
                                                    (out + ".qpdf.pdf").toStdString()})
                               .seconds);
        }
        double total = 0;
        for (double s : ours)
            total += s;
        std::printf("\na 36-page PDF appended to each of 200 files (10 pages each)\n");
        std::printf("  AppendPdfFile: %.3f s in all, median %.2f ms a file, %d failed\n", total,
                    bench::Median(ours) * 1e3, failed);
        std::printf("  one qpdf process a file: median %.2f ms (ratio %.2f)\n", bench::Median(qpdf) * 1e3,
                    bench::Median(ours) / bench::Median(qpdf));
    }
    return 0;
}

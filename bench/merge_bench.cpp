// Combines against the peers a user would pick, on the same files, each a whole process: 200 light
// PDFs of 10 pages and 2,000 of them under an open-file limit of 1024 against pdfunite (its limit
// raised), 200 image-heavy PDFs against `qpdf --empty --pages` (time, memory above a one-file run,
// output size); then a 36-page PDF appended to each of 200 files through AppendPdfFile against one
// qpdf process a file. The ratios of the targets close the run.
//
// Ours is merge_bench_engine, which drives the engine as CombineOrderPdf does in a process that
// loads only what a merge needs: in the program every library is loaded before a user combines
// anything. This program with --combine runs CombineOrderPdf itself in a process that also loads
// the libraries of every other document command; its figures are printed beside, for comparison.

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

constexpr int Runs = 5;

rlim_t HardFileLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_max == RLIM_INFINITY ? 1048576 : limit.rlim_max;
}

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
    double outMb = 0;
    bool ok = true;
};

/// Samples of one tool on one set of files.
struct Samples {
    std::vector<double> seconds, peaks, runSeconds;
    bool ok = true;

    void RunOnce(const std::string &program, const std::vector<std::string> &args, const QString &out)
    {
        QFile::remove(out);
        const bench::ChildRun run = bench::RunChild(program, args);
        ok = ok && run.exitCode == 0 && QFile::exists(out);
        seconds.push_back(run.seconds);
        peaks.push_back(run.peakKb / 1024.0);
        QFile note(out + ".run");
        if (note.open(QIODevice::ReadOnly))
            runSeconds.push_back(note.readAll().split(' ').value(0).toDouble());
    }

    Figures Summary(const QString &out) const
    {
        Figures f;
        f.ok = ok;
        f.seconds = bench::Median(seconds);
        f.peakMb = bench::Median(peaks);
        f.runSeconds = bench::Median(runSeconds);
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

enum Peer { Qpdf, Pdfunite };

/// One tool's command line for combining files into out.
struct Tool {
    std::string program;
    std::vector<std::string> args;
};

std::filesystem::path Self() { return std::filesystem::read_symlink("/proc/self/exe"); }

Tool Ours(const QString &list, const QString &out)
{
    static const std::string engine = (Self().parent_path() / "merge_bench_engine").string();
    return {engine, {out.toStdString(), list.toStdString()}};
}

Tool Program(const QString &list, const QString &out)
{
    static const std::string self = Self().string();
    return {self, {"--combine", out.toStdString(), list.toStdString()}};
}

Tool PeerTool(Peer peer, const QStringList &files, const QString &out)
{
    if (peer == Qpdf) {
        std::vector<std::string> args{"--empty", "--pages"};
        for (const std::string &f : Std(files))
            args.push_back(f);
        args.push_back("--");
        args.push_back(out.toStdString());
        return {"qpdf", args};
    }
    // pdfunite keeps every input open: its soft limit is raised to the hard one.
    std::vector<std::string> args{"--nofile=" + std::to_string(HardFileLimit()), "pdfunite"};
    for (const std::string &f : Std(files))
        args.push_back(f);
    args.push_back(out.toStdString());
    return {"prlimit", args};
}

struct Comparison {
    Figures ours, program, peer;
};

Comparison CompareOnSet(const char *title, const QStringList &files, const QString &work, Peer peer, int runs)
{
    const QString list = WriteList(work + "/list.txt", files);
    const QString oursOut = work + "/ours.pdf", programOut = work + "/program.pdf", peerOut = work + "/peer.pdf";
    const Tool ours = Ours(list, oursOut), program = Program(list, programOut), other = PeerTool(peer, files, peerOut);
    // Interleaved, so that a busy moment of the machine falls on all alike.
    Samples oursSamples, programSamples, peerSamples;
    for (int i = 0; i < runs; ++i) {
        oursSamples.RunOnce(ours.program, ours.args, oursOut);
        peerSamples.RunOnce(other.program, other.args, peerOut);
        programSamples.RunOnce(program.program, program.args, programOut);
    }
    Comparison c{oursSamples.Summary(oursOut), programSamples.Summary(programOut), peerSamples.Summary(peerOut)};
    const char *peerName = peer == Qpdf ? "qpdf --empty --pages" : "pdfunite";
    std::printf("%s (medians of %d runs)\n", title, runs);
    std::printf("  %-24s %9s %9s %9s %10s\n", "", "process s", "run s", "peak MB", "output MB");
    auto row = [](const char *name, const Figures &f) {
        std::printf("  %-24s %9.3f %9s %9.1f %10.2f%s\n", name, f.seconds,
                    f.runSeconds > 0 ? QByteArray::number(f.runSeconds, 'f', 3).constData() : "-", f.peakMb, f.outMb,
                    f.ok ? "" : "  FAILED");
    };
    row("engine combine", c.ours);
    row(peerName, c.peer);
    row("CombineOrderPdf process", c.program);
    return c;
}

/// Peak memory of a one-file run of ours and of qpdf: what either needs whatever the input count.
std::pair<double, double> OneFilePeaks(const QString &file, const QString &work)
{
    const QString list = WriteList(work + "/one.txt", {file});
    const Tool ours = Ours(list, work + "/one-ours.pdf"), qpdf = PeerTool(Qpdf, {file}, work + "/one-qpdf.pdf");
    Samples o, q;
    for (int i = 0; i < 3; ++i) {
        o.RunOnce(ours.program, ours.args, work + "/one-ours.pdf");
        q.RunOnce(qpdf.program, qpdf.args, work + "/one-qpdf.pdf");
    }
    return {bench::Median(o.peaks), bench::Median(q.peaks)};
}

const char *Verdict(double ratio, double limit) { return ratio <= limit ? "met" : "MISSED"; }

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
    // --keep-inputs DIR: the inputs are made in DIR and left there, to look into a run by hand.
    const bool keep = argc == 3 && std::strcmp(argv[1], "--keep-inputs") == 0;
    QTemporaryDir tmpDir;
    struct {
        QString root;
        QString path() const { return root; }
        QString filePath(const QString &name) const { return root + '/' + name; }
    } tmp{keep ? QDir(QString::fromLocal8Bit(argv[2])).absolutePath() : tmpDir.path()};
    QDir().mkpath(tmp.path());
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
    if (keep) {
        WriteList(tmp.filePath("light.txt"), light);
        WriteList(tmp.filePath("many.txt"), many);
        WriteList(tmp.filePath("heavy.txt"), heavy);
        std::printf("inputs in %s: light.txt, many.txt, heavy.txt list them\n", qPrintable(tmp.path()));
        return 0;
    }
    std::printf("inputs: light %.1f KB each, image-heavy %.2f MB each; open-file limit %llu\n\n",
                bench::FileSize(light[0]) / 1024.0, bench::FileSize(heavyFirst) / (1024.0 * 1024.0),
                static_cast<unsigned long long>(limit.rlim_cur));

    const Comparison light200 = CompareOnSet("200 light PDFs of 10 pages", light, tmp.path(), Pdfunite, Runs);
    const Comparison light2000 = CompareOnSet("2,000 light PDFs of 10 pages, ulimit -n 1024 (pdfunite's raised)", many,
                                              tmp.path(), Pdfunite, Runs);
    const Comparison heavy200 = CompareOnSet("200 image-heavy PDFs of 10 pages", heavy, tmp.path(), Qpdf, Runs);
    const auto [oursOneMb, qpdfOneMb] = OneFilePeaks(heavyFirst, tmp.path());
    std::printf("  one-file run: engine combine peak %.1f MB, qpdf %.1f MB\n\n", oursOneMb, qpdfOneMb);

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

    const double r200 = light200.ours.seconds / light200.peer.seconds;
    const double r2000 = light2000.ours.seconds / light2000.peer.seconds;
    const double perInput = (light2000.ours.seconds / 2000) / (light200.ours.seconds / 200);
    const double rHeavy = heavy200.ours.seconds / heavy200.peer.seconds;
    const double rMemory = (heavy200.ours.peakMb - oursOneMb) / (heavy200.peer.peakMb - qpdfOneMb);
    const double rSize = heavy200.ours.outMb / heavy200.peer.outMb;
    std::printf("\ntargets (whole processes; ratio, limit)\n");
    std::printf("  200 light, time to pdfunite's:                      %.2f  <= 1.5 (aim 1.0)  %s\n", r200, Verdict(r200, 1.5));
    std::printf("  2,000 light, time to pdfunite's:                    %.2f  <= 1.5 (aim 1.0)  %s\n", r2000, Verdict(r2000, 1.5));
    std::printf("  time per input, 2,000 run to 200 run:               %.2f  <= 1.5            %s\n", perInput, Verdict(perInput, 1.5));
    std::printf("  200 image-heavy, time to qpdf's:                    %.2f  <= 0.5            %s\n", rHeavy, Verdict(rHeavy, 0.5));
    std::printf("  200 image-heavy, memory above a one-file run:       %.2f  <= 1.1            %s\n", rMemory, Verdict(rMemory, 1.1));
    std::printf("  200 image-heavy, output size to qpdf's:             %.3f <= 1.0            %s\n", rSize, Verdict(rSize, 1.0));
    std::printf("  (CombineOrderPdf process to pdfunite's: 200 light %.2f, 2,000 light %.2f; to qpdf's: heavy %.2f)\n",
                light200.program.seconds / light200.peer.seconds, light2000.program.seconds / light2000.peer.seconds,
                heavy200.program.seconds / heavy200.peer.seconds);
    const bool allOk = light200.ours.ok && light2000.ours.ok && heavy200.ours.ok && light200.program.ok
                       && light2000.program.ok && heavy200.program.ok;
    if (!allOk)
        std::printf("  A COMBINE FAILED\n");
    return 0;
}

#include "BenchSupport.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <cstdlib>
#include <unistd.h>

extern char **environ;

namespace folvane::bench {

namespace {

void WritePdf(const QString &path, int pages, const std::function<QPDFObjectHandle(QPDF &, int)> &makePage)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper doc(pdf);
    for (int i = 1; i <= pages; ++i)
        doc.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(makePage(pdf, i))), false);
    const QByteArray file = path.toLocal8Bit(); // the writer keeps the name until it has written
    QPDFWriter w(pdf, file.constData());
    w.setStaticID(true);
    w.write();
}

}  // namespace

void MakeTextPdf(const QString &path, int pages, const QString &tag)
{
    WritePdf(path, pages, [&](QPDF &pdf, int i) {
        QPDFObjectHandle page = QPDFObjectHandle::parse(
            "<< /Type /Page /MediaBox [0 0 612 792] /Resources << /Font << /F1 << /Type /Font /Subtype /Type1"
            " /BaseFont /Helvetica >> >> >> >>");
        const std::string text = "BT /F1 24 Tf 72 700 Td (" + QStringLiteral("%1 p%2").arg(tag).arg(i).toStdString()
                                 + ") Tj ET";
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, text));
        return page;
    });
}

void MakeImagePdf(const QString &path, int pages, const std::vector<std::string> &jpegs)
{
    WritePdf(path, pages, [&](QPDF &pdf, int i) {
        const std::string &jpeg = jpegs[static_cast<std::size_t>(i - 1) % jpegs.size()];
        QImage probe;
        probe.loadFromData(reinterpret_cast<const uchar *>(jpeg.data()), static_cast<int>(jpeg.size()));
        QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf);
        image.replaceDict(QPDFObjectHandle::parse(
            "<< /Type /XObject /Subtype /Image /ColorSpace /DeviceGray /BitsPerComponent 8 /Width "
            + std::to_string(probe.width()) + " /Height " + std::to_string(probe.height()) + " >>"));
        image.replaceStreamData(jpeg, QPDFObjectHandle::newName("/DCTDecode"), QPDFObjectHandle::newNull());
        QPDFObjectHandle page = QPDFObjectHandle::parse(
            "<< /Type /Page /MediaBox [0 0 612 792] /Resources << /XObject << >> >> >>");
        page.getKey("/Resources").getKey("/XObject").replaceKey("/Im1", image);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "q 540 0 0 720 36 36 cm /Im1 Do Q"));
        return page;
    });
}

std::string NoiseJpeg(int approximateBytes, unsigned seed)
{
    QRandomGenerator rng(seed);
    // Noise at quality 90 costs about 0.9 byte a pixel.
    const int side = static_cast<int>(std::sqrt(approximateBytes / 0.9));
    QImage img(side, side, QImage::Format_Grayscale8);
    for (int y = 0; y < side; ++y) {
        uchar *row = img.scanLine(y);
        for (int x = 0; x < side; ++x)
            row[x] = static_cast<uchar>(rng.bounded(256));
    }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", 90);
    return bytes.toStdString();
}

ChildRun RunChild(const std::string &program, const std::vector<std::string> &args)
{
    // A child's peak resident set counts the memory of the process it was spawned from, so the
    // child is started by /usr/bin/time, a small process, which reports the peak it saw.
    static const std::string peakFile = [] {
        char name[] = "/tmp/bench-peak-XXXXXX";
        const int fd = ::mkstemp(name);
        ::close(fd);
        return std::string(name);
    }();
    std::vector<std::string> all{"-f", "%M", "-o", peakFile, program};
    all.insert(all.end(), args.begin(), args.end());
    const std::string time = "/usr/bin/time";
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(time.c_str()));
    for (const std::string &a : all)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, time.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        QFile f(QString::fromStdString(peakFile));
        if (f.open(QIODevice::ReadOnly)) {
            // A failing child makes time write a status line first; the peak is the last line.
            const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
            run.peakKb = lines.back().trimmed().toLong();
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::int64_t FileSize(const QString &path) { return QFileInfo(path).size(); }

}  // namespace folvane::bench

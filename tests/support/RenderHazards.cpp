#include "support/RenderHazards.h"

#include "support/ImageFixtures.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <cstdint>
#include <initializer_list>

#include <signal.h>
#include <unistd.h>

namespace folvane::test {

namespace {

QByteArray Stream(const QByteArray &data, const QByteArray &dictionary = {})
{
    return "<< /Length " + QByteArray::number(data.size()) + " " + dictionary + " >>\nstream\n" + data + "\nendstream";
}

QByteArray Deflated(const QByteArray &data)
{
    return qCompress(data, 9).mid(4);  // a zlib stream, without Qt's length in front
}

/// Objects 1 and 2: the catalog and a page tree of the page objects numbered as given.
QList<QByteArray> Catalog(std::initializer_list<int> pages)
{
    QByteArray kids;
    for (int page : pages)
        kids += QByteArray::number(page) + " 0 R ";
    return {"<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(static_cast<int>(pages.size())) + " >>"};
}

/// Reads a "Key:   value kB" line of /proc/<process>/status.
long StatusKb(const QString &process, const char *key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

/// The fields of /proc/<pid>/stat after the command's name, which may hold spaces itself, and the
/// name; empty when the process is gone.
QList<QByteArray> StatFields(pid_t pid, QByteArray *name = nullptr)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
    if (open < 0 || close < open)
        return {};
    if (name)
        *name = text.mid(open + 1, close - open - 1);
    return text.mid(close + 2).split(' ');  // from the state on: field 3 of proc(5) is index 0
}

}  // namespace

QByteArray RawPdf(const QList<QByteArray> &objects)
{
    QByteArray out = "%PDF-1.7\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << out.size();
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
           + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

QString MakeEndlessPdf(const QString &path, bool goodFirstPage)
{
    constexpr int Depth = 12, Copies = 16;
    // 3 the plain page, 4 its content, 5 the endless page, 6 its content, 7 on the forms X0 (a
    // square) to X12.
    QList<QByteArray> objects = goodFirstPage ? Catalog({3, 5}) : Catalog({5});
    objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>"
            << Stream("1 0 0 rg 50 50 100 100 re f")
            << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << /XObject << /X"
                   + QByteArray::number(Depth) + " " + QByteArray::number(7 + Depth) + " 0 R >> >> /Contents 6 0 R >>"
            << Stream("/X" + QByteArray::number(Depth) + " Do");
    const QByteArray form = "/Type /XObject /Subtype /Form /BBox [0 0 200 200]";
    objects << Stream("0 0 1 rg 10 10 50 50 re f", form);
    for (int level = 1; level <= Depth; ++level) {
        const QByteArray inner = "/X" + QByteArray::number(level - 1);
        objects << Stream((inner + " Do ").repeated(Copies),
                          form + " /Resources << /XObject << " + inner + " " + QByteArray::number(7 + level - 1) + " 0 R >> >>");
    }
    return WriteBytes(path, RawPdf(objects));
}

QString MakeBottomlessPdf(const QString &path)
{
    const QByteArray saves = Deflated(QByteArray("q\n").repeated(5000000));
    QList<QByteArray> objects = Catalog({3});
    objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents [" + QByteArray("4 0 R ").repeated(400) + "] >>"
            << Stream(saves, "/Filter /FlateDecode");
    return WriteBytes(path, RawPdf(objects));
}

QString MakeHeavyPdf(const QString &path, int lines)
{
    QByteArray content = "0.1 w\n";
    content.reserve(lines * 24);
    std::uint32_t state = 1;
    auto next = [&](int below) {
        state = state * 1664525u + 1013904223u;  // the same pseudo-random lines every time
        return QByteArray::number(static_cast<int>((state >> 8) % static_cast<std::uint32_t>(below)));
    };
    for (int i = 0; i < lines; ++i)
        content += next(612) + ' ' + next(792) + " m " + next(612) + ' ' + next(792) + " l S\n";
    QList<QByteArray> objects = Catalog({3});
    objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>" << Stream(Deflated(content), "/Filter /FlateDecode");
    return WriteBytes(path, RawPdf(objects));
}

QString MakeHugeEmptyPdf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("%PDF-1.4\n") != 9 || !file.resize(1LL << 40))
        return {};
    return path;
}

QString MakePdfWithHugeSecondPage(const QString &path)
{
    QList<QByteArray> objects = Catalog({3, 5});
    objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>"
            << Stream("1 0 0 rg 50 50 100 100 re f")
            << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100000 100000] /Contents 4 0 R >>";
    return WriteBytes(path, RawPdf(objects));
}

QList<pid_t> RenderChildren()
{
    QList<pid_t> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        QByteArray name;
        const QList<QByteArray> fields = number ? StatFields(pid, &name) : QList<QByteArray>{};
        // The parent's id is field 4; a child that ended but was not collected yet is no longer one.
        if (fields.size() > 1 && fields[1].toInt() == ::getpid() && name == "folvane-render" && fields[0] != "Z")
            children << pid;
    }
    return children;
}

double CpuSeconds(pid_t pid)
{
    const QList<QByteArray> fields = StatFields(pid);
    if (fields.size() < 13)
        return -1;
    // utime and stime, fields 14 and 15, in clock ticks.
    return static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong()) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

RenderChildKiller::RenderChildKiller(Condition condition, double seconds)
    : watch_([this, condition = std::move(condition), seconds] {
          const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
          while (!stop_ && std::chrono::steady_clock::now() < end) {
              for (pid_t child : RenderChildren()) {
                  if (condition(child)) {
                      killed_ = ::kill(child, SIGKILL) == 0;
                      return;
                  }
              }
              std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
      })
{
}

RenderChildKiller::~RenderChildKiller() { Killed(); }

RenderChildKiller::Condition RenderChildKiller::BusyFor(double cpuSeconds)
{
    return [cpuSeconds](pid_t child) { return CpuSeconds(child) >= cpuSeconds; };
}

RenderChildKiller::Condition RenderChildKiller::LargerThan(long kb)
{
    return [kb](pid_t child) { return StatusKb(QString::number(child), "VmRSS:") > kb; };
}

bool RenderChildKiller::Killed()
{
    stop_ = true;
    if (watch_.joinable())
        watch_.join();
    return killed_;
}

long ResidentKb() { return StatusKb(QStringLiteral("self"), "VmRSS:"); }

long PeakResidentKb() { return StatusKb(QStringLiteral("self"), "VmHWM:"); }

void ResetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

}  // namespace folvane::test

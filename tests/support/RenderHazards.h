#pragma once
// PDFs made to hurt a renderer, generated in the test (nothing of them is stored), and a look at
// the render children this process started and at its own memory.

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

#include <sys/types.h>

namespace folvane::test {

/// A PDF of the objects given, numbered from 1 (the first is the catalog), with its cross-reference
/// table.
QByteArray RawPdf(const QList<QByteArray> &objects);

/// A page that never finishes rendering: nested form XObjects, each drawing the next 16 times over
/// 12 levels, so that the work grows as 16^12. After a plain first page when goodFirstPage.
QString MakeEndlessPdf(const QString &path, bool goodFirstPage = false);
/// A page whose drawing needs memory without bound: its content is one stream of five million
/// q operators (each saves the graphics state; none restores it), listed 400 times in /Contents;
/// poppler's memory grows by about 2 GB a second until it runs out. The file is 13 KB.
QString MakeBottomlessPdf(const QString &path);
/// A 1 TiB file (sparse: it takes no room) that starts like a PDF and holds nothing: a reader that
/// rebuilds its cross-reference table reads all of it before giving up.
QString MakeHugeEmptyPdf(const QString &path);
/// Two pages: a 200 x 200 point page with a red square, then one of 100,000 points square (35 m),
/// which is refused as too large to render at 8 dpi and above.
QString MakePdfWithHugeSecondPage(const QString &path);

/// A genuine page that takes a renderer long: `lines` stroked lines from edge to edge of a letter
/// page, as a plotter's drawing has them, the same lines every time. 160,000 of them take poppler
/// some fifteen seconds at 150 dpi.
QString MakeHeavyPdf(const QString &path, int lines);

/// The render children (folvane-render) of this process.
QList<pid_t> RenderChildren();
/// The CPU seconds the process has used; -1 when it is gone.
double CpuSeconds(pid_t pid);

/// Kills (SIGKILL) a render child of this process once the condition holds for it, as a user or
/// the system's out-of-memory killer might: a thread of its own looks every 10 ms, for `seconds` at
/// most, and stops after the first kill.
class RenderChildKiller {
public:
    using Condition = std::function<bool(pid_t)>;
    RenderChildKiller(Condition condition, double seconds);
    ~RenderChildKiller();
    RenderChildKiller(const RenderChildKiller &) = delete;
    RenderChildKiller &operator=(const RenderChildKiller &) = delete;

    /// Busy for cpuSeconds of CPU: at work on a page that never finishes.
    static Condition BusyFor(double cpuSeconds);
    /// Resident above kb: grown past any limit meant to hold it (a guard that keeps a test whose
    /// limit failed from taking the machine's memory).
    static Condition LargerThan(long kb);

    /// Ends the watch: whether it killed a child.
    bool Killed();

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> killed_{false};
    std::thread watch_;
};

/// Resident memory of this process now and its peak since the last ResetPeakMemory, in KB.
long ResidentKb();
long PeakResidentKb();
void ResetPeakMemory();

}  // namespace folvane::test

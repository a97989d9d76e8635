// The combine of merge_bench in a process of its own that loads only what the merge needs: it
// drives the PDF engine as CombineOrderPdf does (open, one add per document with all pages and a
// yield to the event loop, close). The program itself has its libraries loaded long before a user
// combines anything, so the start-up of a process that loads all of them is not part of a combine;
// merge_bench also times that process, for comparison.
//
// Usage: merge_bench_engine OUTPUT LIST (one input path a line). Writes OUTPUT.run with the seconds
// the combine itself took.

#include "platform/PdfMerge.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <chrono>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    QCoreApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QFile list(QString::fromLocal8Bit(argv[2]));
    if (!list.open(QIODevice::ReadOnly))
        return 2;
    QStringList inputs;
    QTextStream in(&list);
    while (!in.atEnd())
        inputs << in.readLine();
    const auto start = std::chrono::steady_clock::now();
    bool ok = false;
    {
        folvane::PdfEngine::PdfMerge merge(out);
        ok = merge.Opened().ok;
        for (const QString &path : inputs) {
            ok = ok && merge.Add(path, QStringLiteral("0")).ok;
            QCoreApplication::processEvents();
        }
        ok = ok && merge.Close().ok;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    QFile note(out + ".run");
    if (note.open(QIODevice::WriteOnly))
        note.write(QByteArray::number(seconds, 'f', 6));
    return ok ? 0 : 1;
}

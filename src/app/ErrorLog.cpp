#include "app/ErrorLog.h"

#include "app/ProgramState.h"
#include "platform/OwnFile.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <new>
#include <utility>

namespace folvane {

QString FormatErrorLine(int number, const QString &description, std::string_view procedure, int line,
                        std::string_view closingPiece)
{
    return QStringLiteral("Error ") + QString::number(number) + QStringLiteral(" (") + description
           + QStringLiteral(") in procedure ") + QString::fromUtf8(procedure.data(), qsizetype(procedure.size()))
           + QStringLiteral(" at Line No. ") + QString::number(line)
           + QString::fromUtf8(closingPiece.data(), qsizetype(closingPiece.size()));
}

namespace {

/// The locale's long time format less its time-zone part.
QString LongTimeFormatWithoutZone(const QLocale &locale)
{
    // Qt's long time formats end (or start) with the zone, as "t", "(t)", "[t]" or ", t"; the log's
    // long time is the clock time alone. Text in quotes is literal and stays.
    static const QRegularExpression zone(QStringLiteral("[\\s,]*[(\\[]?t+[)\\]]?"));
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    QString plain;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            if (!quoted)
                out += std::exchange(plain, QString()).remove(zone);
            quoted = !quoted;
            out += c;
        } else {
            (quoted ? out : plain) += c;
        }
    }
    out += plain.remove(zone);
    return out.trimmed();
}

}  // namespace

void LogError(const QString &message)
{
    try {
        // Before start-up has built the storage path the folder part is empty and the line goes to
        // "/Errors.Log", which an ordinary user cannot write: the line is then dropped.
        const QLocale locale;
        const QDateTime now = QDateTime::currentDateTime();
        const QString stamp = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                              + locale.toString(now.time(), LongTimeFormatWithoutZone(locale));
        // A FIFO or device at the log's name must neither hold the program up nor take the line: only
        // a regular file is appended to, and a write that fails drops the line.
        static_cast<void>(OwnFile::Append(State().StorageFolderPath + QStringLiteral("/Errors.Log"),
                                          (message + QStringLiteral("- ") + stamp + QStringLiteral("\r\n")).toUtf8()));
    } catch (...) {
        // A failure inside the log never reaches the procedure that was logging.
    }
}

ErrorInfo CurrentErrorInfo(int fallbackLine)
{
    try {
        throw;
    } catch (const AppError &e) {
        return {e.number(), e.description(), e.line()};
    } catch (const std::bad_alloc &) {
        return {ErrNo::OutOfMemory, QStringLiteral("Out of memory"), fallbackLine};
    } catch (const std::exception &e) {
        return {ErrNo::Unknown, QString::fromUtf8(e.what()), fallbackLine};
    } catch (...) {
        return {ErrNo::Unknown, QStringLiteral("Unknown error"), fallbackLine};
    }
}

void LogCurrentException(std::string_view procedure, std::string_view closingPiece, int fallbackLine)
{
    const ErrorInfo e = CurrentErrorInfo(fallbackLine);
    LogError(FormatErrorLine(e.number, e.description, procedure, e.line, closingPiece));
}

}  // namespace folvane

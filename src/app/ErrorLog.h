#pragma once
// The one error-handling shape of the program.
//
// A procedure that can fail wraps its body in Guarded(); every error its statements raise (an AppError,
// any std::exception, or anything else) is turned into one error line and appended to "Errors.Log",
// and the procedure then leaves with whatever result it had set. Nothing is shown to the user.

#include "platform/AppError.h"

#include <QString>

#include <exception>
#include <source_location>
#include <string_view>
#include <utility>

namespace folvane {

/// The closing piece of every unit's error line. Each unit uses its own for all its handlers.
namespace Unit {
inline constexpr std::string_view modMasterLayout = " of Module modMasterLayout at time";
inline constexpr std::string_view modGetSpecialFolder = " of Module modGetSpecialFolder at time";
inline constexpr std::string_view modGeneral = " of Module modGeneral at time";
inline constexpr std::string_view GridColumns = " of Class Module GridColumns at time";
inline constexpr std::string_view Settings = " of Class Module Settings at time";
inline constexpr std::string_view TiffPdfCommands = " of Class Module TiffPdfCommands at time";
inline constexpr std::string_view ApImgToPdf = " of Class Module ApImgToPdf at time";
inline constexpr std::string_view ApPdfToImage = " of Class Module ApPdfToImage at time";
inline constexpr std::string_view frmMain = " of Form frmMain at time";
inline constexpr std::string_view frmMain_About = " of Form frmMain"; ///< mnuAbout_Click only
inline constexpr std::string_view frmPreferences = " of Form frmPreferences at time";
inline constexpr std::string_view frmSetOrder_ComPdf = " of Form frmSetOrder_ComPdf at time";
inline constexpr std::string_view frmProgressDialog = " of Form frmProgressDialog at time";
inline constexpr std::string_view frmErrorReportDialog = " of Form frmErrorReportDialog at time";
inline constexpr std::string_view dlgSave = " of Form dlgSave";
inline constexpr std::string_view frmAbout = " of Form frmAbout";
inline constexpr std::string_view frmAppendPdfFile = " of Form frmAppendPdfFile";
}  // namespace Unit

/// "Error <n> (<description>) in procedure <name> at Line No. <line><closing piece>"
QString FormatErrorLine(int number, const QString &description, std::string_view procedure, int line,
                        std::string_view closingPiece);

/// Appends message, "- ", the local date (short) and time (long, no zone) and CR LF to
/// "<StorageFolderPath>/Errors.Log".
/// Never fails or waits: a line that cannot be written, or whose log name holds anything but a regular
/// file or a link to one, is dropped.
void LogError(const QString &message);

/// Number, description and line of the error that is being handled (call only inside a catch block).
struct ErrorInfo {
    int number;
    QString description;
    int line;
};
ErrorInfo CurrentErrorInfo(int fallbackLine = 0);

/// Logs the error that is being handled (call only inside a catch block).
void LogCurrentException(std::string_view procedure, std::string_view closingPiece, int fallbackLine);

/// Runs body under one error handler: an error is logged with the procedure's name and unit, and the
/// call answers false. The body sets its own results before failing, as the caller's handler expects.
template <class Body>
bool Guarded(std::string_view procedure, std::string_view closingPiece, Body &&body,
             std::source_location where = std::source_location::current()) noexcept
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (...) {
        LogCurrentException(procedure, closingPiece, static_cast<int>(where.line()));
        return false;
    }
}

/// Throws an AppError unless cond holds; the line of the check goes into the error line.
inline void Require(bool cond, int number, const QString &description,
                    std::source_location where = std::source_location::current())
{
    if (!cond)
        throw AppError(number, description, where);
}

}  // namespace folvane

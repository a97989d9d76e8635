#pragma once
// The run-time error of the program: a number and a description, raised by the platform's grid and
// reported by its components, logged by the handlers above (app/ErrorLog.h).

#include <QString>

#include <source_location>
#include <stdexcept>

namespace folvane {

/// Error numbers of the run-time errors the program raises itself. They keep the numbers a user of the
/// earlier program would find in an old log.
namespace ErrNo {
inline constexpr int InvalidProcedureCall = 5;
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int TypeMismatch = 13;
inline constexpr int FileNotFound = 53;
inline constexpr int BadFileMode = 54;
inline constexpr int FileAlreadyOpen = 55;
inline constexpr int DeviceIoError = 57;
inline constexpr int FileAlreadyExists = 58;
inline constexpr int DiskFull = 61;
inline constexpr int InputPastEnd = 62;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int ObjectNotSet = 91;
inline constexpr int CannotCreateObject = 429; ///< no component has that programmatic identifier
inline constexpr int MethodNotSupported = 438; ///< the component has no method of that name
inline constexpr int WrongArgumentCount = 450;
inline constexpr int KeyAlreadyExists = 457;
inline constexpr int EngineFailure = 1001; ///< the PDF engine refused or failed
inline constexpr int ComponentFailure = 1002; ///< a document component's method failed
inline constexpr int Unknown = 440;        ///< an error from a library with no number of its own
}  // namespace ErrNo

/// A run-time error with the number and description that go into the error line.
class AppError : public std::runtime_error {
public:
    AppError(int number, const QString &description,
             std::source_location where = std::source_location::current());
    int number() const noexcept { return number_; }
    const QString &description() const noexcept { return description_; }
    /// Line of the statement that raised it; it stands for the failing statement in the error line.
    int line() const noexcept { return line_; }

private:
    int number_;
    QString description_;
    int line_;
};

}  // namespace folvane

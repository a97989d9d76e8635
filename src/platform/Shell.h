#pragma once
// The desktop's opener and the print spooler, behind one seam that tests can watch.

#include <QString>
#include <QUrl>

#include <functional>

namespace folvane::Shell {

enum class Verb { Open, Explore, Print };

struct Request {
    Verb verb;
    QString target;  ///< a file, a folder or a web address
    QString printer; ///< Print only; empty for the default printer
};

/// Opens a file or folder with the desktop's opener (xdg-open), or a web address in the browser.
bool Open(const QString &target);
/// Opens a folder in the file manager.
bool Explore(const QString &folder);
/// Prints the file with `lp`, to the printer named (the default one when empty).
bool Print(const QString &file, const QString &printer = QString());

/// What Open hands the desktop: a web or mail address as it stands (characters an address may not
/// hold, such as blanks, encoded), anything without a scheme as a local file.
QUrl ToUrl(const QString &target);

/// Replaces the real actions (for tests); an empty function restores them.
void SetInterceptor(std::function<bool(const Request &)> interceptor);

}  // namespace folvane::Shell

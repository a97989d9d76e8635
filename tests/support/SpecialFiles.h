#pragma once
// What a test puts at a name before the program reaches it: nothing, a regular file, links, and the
// special files the program must never open blocking, replace or remove.

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <ostream>
#include <vector>

#include <sys/types.h>

namespace folvane::test {

enum class AtTarget { Nothing, File, LinkToFile, DanglingLink, LinkToFifo, Fifo, Socket, Folder, DeviceNode };

/// Everything that must be left exactly as it is at one of the program's own names: a dangling link,
/// a link to a FIFO, a FIFO, a socket, a folder and a device node.
const std::vector<AtTarget> &LeftAlone();

/// "a FIFO", "a dangling link", ...: for SCOPED_TRACE.
const char *Describe(AtTarget kind);

/// Makes kind at target. File holds "old bytes" with mode 0600. A link leads to ElsewhereOf(target)
/// (a file there holding "old bytes", mode 0640, for LinkToFile; a FIFO for LinkToFifo; nothing for
/// DanglingLink). DeviceNode is a character device like /dev/null, which only root may make.
void Make(AtTarget kind, const QString &target);

/// The path links made by Make(kind, target) lead to: "elsewhere/real.pdf" beside target's folder.
QString ElsewhereOf(const QString &target);

/// What stands at a name, links not followed: enough to tell it was left exactly as it was.
struct NameState {
    bool exists = false;
    mode_t mode = 0;
    ino_t inode = 0;
    QString linkTarget;
    bool operator==(const NameState &) const = default;
};
NameState StateOf(const QString &path);
/// For failure messages: the kind, inode and link target instead of raw bytes.
void PrintTo(const NameState &state, std::ostream *out);

/// Runs body on a thread of its own and answers whether it returned within limit. When it has not,
/// each of fifos is opened at both ends, so a body blocked opening one goes on and the test fails
/// instead of hanging; a body blocked on anything else is left behind. Capture by value.
bool FinishesWithin(std::chrono::milliseconds limit, const std::function<void()> &body, const QStringList &fifos);

}  // namespace folvane::test

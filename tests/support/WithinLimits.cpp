#include "support/WithinLimits.h"

#include "support/ChildRun.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace folvane::test {

namespace {

constexpr char kChildMark[] = "FOLVANE_WITHIN_LIMITS_CHILD";

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCapAddressSpace = false;
// Instrumented code runs several times slower; the time a case may take is held in the plain build.
constexpr int kSlowdown = 3;
#else
constexpr bool kCapAddressSpace = true;
constexpr int kSlowdown = 1;
#endif

/// The child's resident memory now, from /proc; 0 once it is gone.
std::int64_t ResidentBytes(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

}  // namespace

bool RanWithinLimits(const ChildLimits &limits)
{
    if (qEnvironmentVariableIsSet(kChildMark))
        return false;
    const std::string name = CurrentTestName().toStdString();

    QTemporaryFile output;
    if (!output.open()) {
        ADD_FAILURE() << "no file for the output of the child that runs " << name;
        return true;
    }
    // Everything the child needs is made before the fork: after it, only calls that are safe in the
    // child of a process with threads.
    const std::string exe = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    std::vector<std::string> args{exe, "--gtest_filter=" + name, "--gtest_color=no"};
    std::vector<std::string> env{std::string(kChildMark) + "=1"};
    for (char **e = environ; *e; ++e)
        env.emplace_back(*e);
    std::vector<char *> argv, envp;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const rlimit addressSpace{static_cast<rlim_t>(4 * limits.bytes), static_cast<rlim_t>(4 * limits.bytes)};
    const int out = output.handle();

    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ADD_FAILURE() << "the child that runs " << name << " did not start";
        return true;
    }
    if (pid == 0) {
        if (kCapAddressSpace)
            ::setrlimit(RLIMIT_AS, &addressSpace);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }

    // Wait for the child's end, looking at its memory while it runs.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    const int allowed = limits.seconds * kSlowdown;
    const auto deadline = start + std::chrono::seconds(allowed);
    std::string killedFor = pidfd < 0 ? "its end could not be waited for (pidfd_open)" : "";
    while (killedFor.empty()) {
        pollfd end{pidfd, POLLIN, 0};
        if (::poll(&end, 1, 20) > 0)
            break;
        if (const std::int64_t rss = ResidentBytes(pid); rss > limits.bytes) {
            killedFor = "its memory reached " + std::to_string(rss >> 20) + " MB";
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            killedFor = "it was still running after " + std::to_string(allowed) + " s";
            break;
        }
    }
    if (!killedFor.empty())
        ::kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (pidfd >= 0)
        ::close(pidfd);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::int64_t peak = static_cast<std::int64_t>(usage.ru_maxrss) * 1024;

    output.seek(0);
    const std::string log = output.readAll().toStdString();
    if (!killedFor.empty()) {
        ADD_FAILURE() << name << " was stopped: " << killedFor << "\n" << log;
        return true;
    }
    const bool passed = WIFEXITED(status) && WEXITSTATUS(status) == 0 && log.find("[       OK ] " + name + " ") != std::string::npos;
    if (!passed)
        ADD_FAILURE() << name << " did not pass in its child (status " << status << "):\n" << log;
    EXPECT_LE(seconds, allowed) << name;
    EXPECT_LE(peak, limits.bytes) << name << ": peak resident memory " << (peak >> 20) << " MB";
    std::printf("[ limits   ] %s: %.2f s, peak %lld MB\n", name.c_str(), seconds, static_cast<long long>(peak >> 20));
    return true;
}

}  // namespace folvane::test

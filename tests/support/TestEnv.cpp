#include "support/TestEnv.h"

#include "app/ProgramState.h"
#include "platform/CommonDialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <memory>

#include <csignal>
#include <sys/resource.h>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace folvane::test {

namespace {
std::unique_ptr<QTemporaryDir> &storage()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}
}  // namespace

void InstallTestEnvironment()
{
    storage() = std::make_unique<QTemporaryDir>();
    State().StorageFolderPath = storage()->path();
    State().StorageFolder = storage()->path() + QLatin1Char('/');
    // A test that did not script a box must never hang on a real one.
    SetMsgBoxAnswerer([](const MsgBoxCall &) { return MsgResult::OK; });
    Shell::SetInterceptor([](const Shell::Request &) { return true; });
    // Nor on a real file box: unanswered, it counts as Cancel.
    CommonDialog::SetSaveAnswerer([](const CommonDialog::SaveRequest &) { return QString(); });
    CommonDialog::SetFolderAnswerer([](const CommonDialog::FolderRequest &) { return std::optional<QString>(); });
    CommonDialog::SetOpenAnswerer([](const CommonDialog::OpenRequest &) { return QString(); });
}

QString StorageFolder() { return State().StorageFolderPath; }

StorageAt::StorageAt(const QString &folder) : savedPath_(State().StorageFolderPath), savedFolder_(State().StorageFolder)
{
    State().StorageFolderPath = folder;
    State().StorageFolder = folder + QLatin1Char('/');
}

StorageAt::~StorageAt()
{
    State().StorageFolderPath = savedPath_;
    State().StorageFolder = savedFolder_;
}

StorageInMemory::StorageInMemory()
    : dir_(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm/folvane-test-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/folvane-test-XXXXXX")),
      at_(dir_.path())
{
}

QStringList ErrorLogLines()
{
    QFile f(State().StorageFolderPath + QStringLiteral("/Errors.Log"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

void ClearErrorLog() { QFile::remove(State().StorageFolderPath + QStringLiteral("/Errors.Log")); }

StderrCapture::StderrCapture() : path_(dir_.filePath(QStringLiteral("stderr.txt")))
{
    std::fflush(stderr);
    saved_ = ::dup(2);
    const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
}

StderrCapture::~StderrCapture()
{
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
}

QByteArray StderrCapture::text() const
{
    std::fflush(stderr);
    QFile f(path_);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TempDir::TempDir() { EXPECT_TRUE(dir_.isValid()); }

QString TempDir::createFile(const QString &rel, const QByteArray &bytes, const QDateTime &mtime) const
{
    const QString full = dir_.filePath(rel);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << full.toStdString();
    f.write(bytes);
    if (mtime.isValid())
        f.setFileTime(mtime, QFileDevice::FileModificationTime);
    f.close();
    return full;
}

QString TempDir::createFolder(const QString &rel) const
{
    const QString full = dir_.filePath(rel);
    QDir().mkpath(full);
    return full;
}

ScriptedMsgBox::ScriptedMsgBox()
{
    SetMsgBoxAnswerer([this](const MsgBoxCall &call) {
        calls_.push_back(call);
        if (answers_.empty())
            return MsgResult::OK;
        const MsgResult r = answers_.front();
        answers_.pop_front();
        return r;
    });
}

ScriptedMsgBox::~ScriptedMsgBox()
{
    SetMsgBoxAnswerer([](const MsgBoxCall &) { return MsgResult::OK; });
}

QStringList ScriptedMsgBox::texts() const
{
    QStringList out;
    for (const auto &c : calls_)
        out << c.text;
    return out;
}

ShellRecorder::ShellRecorder()
{
    Shell::SetInterceptor([this](const Shell::Request &r) {
        requests_.push_back(r);
        return true;
    });
}

ShellRecorder::~ShellRecorder()
{
    Shell::SetInterceptor([](const Shell::Request &) { return true; });
}

ScopedEnv::ScopedEnv(const char *name, const std::optional<QString> &value) : name_(name)
{
    if (qEnvironmentVariableIsSet(name))
        saved_ = qgetenv(name);
    if (value)
        qputenv(name, value->toUtf8());
    else
        qunsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (saved_)
        qputenv(name_.constData(), *saved_);
    else
        qunsetenv(name_.constData());
}

DiskFullAfter::DiskFullAfter(long long bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    savedLimit_ = limit.rlim_cur;
    // Past the limit write() fails with EFBIG instead of the process being killed.
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
}

DiskFullAfter::~DiskFullAfter()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(savedLimit_);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, savedHandler_);
}

bool LoggedFor(const QString &procedure, const QString &closingPiece, const QString &part)
{
    for (const QString &line : ErrorLogLines())
        if (line.contains(QStringLiteral("in procedure %1 at Line No. ").arg(procedure)) && line.contains(closingPiece)
            && line.contains(part))
            return true;
    return false;
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList FolderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray NoiseBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    const qsizetype words = size / qsizetype(sizeof(quint32));
    rng.fillRange(reinterpret_cast<quint32 *>(bytes.data()), words);
    for (qsizetype i = words * qsizetype(sizeof(quint32)); i < size; ++i)
        bytes[i] = static_cast<char>(rng.bounded(256));
    return bytes;
}

}  // namespace folvane::test

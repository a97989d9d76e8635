#include "app/Settings.h"

#include "app/ErrorLog.h"
#include "app/ProgramState.h"
#include "app/modGeneral.h"
#include "platform/MsgBox.h"
#include "platform/PropertyBag.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace folvane {

namespace {

// The 12-byte header in front of the block: a one-dimensional array of unsigned bytes.
constexpr std::uint16_t kByteArrayTag = 8209;
constexpr std::uint16_t kDimensions = 1;
constexpr qsizetype kHeaderSize = 12;
// 48 short values fit in a few kilobytes; a header claiming more than this is damage, and the cap
// keeps a hostile file from making the loader allocate without bound.
constexpr std::uint32_t kMaxBlock = 16u << 20;

void PutLE(QByteArray &out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t GetLE(const QByteArray &in, int at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return v;
}

QByteArray WithHeader(const QByteArray &block)
{
    QByteArray record;
    record.reserve(kHeaderSize + block.size());
    PutLE(record, kByteArrayTag, 2);
    PutLE(record, kDimensions, 2);
    PutLE(record, static_cast<std::uint32_t>(block.size()), 4);
    PutLE(record, 0, 4); // lower bound
    record.append(block);
    return record;
}

/// The block of the header-and-block record at the file's start. Bytes after the block (left by an
/// earlier, longer save) are not read.
QByteArray ReadBlock(const QString &path)
{
    QFile file(path);
    Require(file.open(QIODevice::ReadOnly), ErrNo::PathFileAccessError, file.errorString());
    const QByteArray header = file.read(kHeaderSize);
    Require(header.size() == kHeaderSize, ErrNo::InputPastEnd, QStringLiteral("Input past end of file"));
    Require(GetLE(header, 0, 2) == kByteArrayTag && GetLE(header, 2, 2) == kDimensions && GetLE(header, 8, 4) == 0,
            ErrNo::TypeMismatch, QStringLiteral("Type mismatch: the file holds no byte block"));
    const std::uint32_t length = GetLE(header, 4, 4);
    Require(length <= kMaxBlock && length <= file.size() - kHeaderSize, ErrNo::InputPastEnd,
            QStringLiteral("Input past end of file: the block claims %1 bytes").arg(length));
    const QByteArray block = file.read(length);
    Require(block.size() == qsizetype(length), ErrNo::InputPastEnd, QStringLiteral("Input past end of file"));
    return block;
}

// A stored value converted to its field's type: the Load rules for strings and numbers.
void Convert(const PropertyBag::Value &stored, QString &field, const char *)
{
    field = std::visit(
        [](const auto &v) -> QString {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return QString();
            else if constexpr (std::is_same_v<T, QString>)
                return v;
            else
                return QString::number(v);
        },
        stored);
}

template <class Int>
void Convert(const PropertyBag::Value &stored, Int &field, const char *name)
{
    const double value = std::visit(
        [name](const auto &v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return 0;
            } else if constexpr (std::is_same_v<T, QString>) {
                // A number stored as text ("12") still reads as that number.
                const std::optional<double> n = modGeneral::TextToNumber(v);
                Require(n.has_value(), ErrNo::TypeMismatch, QStringLiteral("Type mismatch in %1").arg(name));
                return modGeneral::RoundHalfEven(*n);
            } else {
                return static_cast<double>(v);
            }
        },
        stored);
    Require(value >= std::numeric_limits<Int>::min() && value <= std::numeric_limits<Int>::max(), ErrNo::Overflow,
            QStringLiteral("Overflow in %1").arg(name));
    field = static_cast<Int>(value);
}

}  // namespace

QString Settings::SettingsFolderPath() const { return State().StorageFolderPath + QStringLiteral("/Settings"); }

QString Settings::SettingsFilePath() const { return SettingsFolderPath() + QStringLiteral("/settings.ini"); }

bool Settings::LoadSettings()
{
    const QString folder = SettingsFolderPath();
    const QString path = SettingsFilePath();
    // Not handled here: a folder that cannot be made is the caller's error.
    if (!QFileInfo(folder).isDir())
        Require(QDir().mkpath(folder), ErrNo::PathNotFound, QStringLiteral("Path not found: %1").arg(folder));
    // Only a regular file is opened: a folder or a pipe of that name is no settings file.
    if (!QFileInfo(path).isFile())
        return false;

    bool result = false;
    const bool handled = Guarded("LoadSettings", Unit::Settings, [&] {
        QString reason;
        const std::optional<PropertyBag> bag = PropertyBag::FromContents(ReadBlock(path), &reason);
        Require(bag.has_value(), ErrNo::TypeMismatch, QStringLiteral("The settings block is damaged: %1").arg(reason));
        // Each value is stored as soon as it is read; a later failure leaves the earlier ones in place.
#define FOLVANE_SETTINGS_LOAD(name, type, kind, def) Convert(bag->ReadProperty(QStringLiteral(#name)), m_##name, #name);
        FOLVANE_SETTINGS_FIELDS(FOLVANE_SETTINGS_LOAD)
#undef FOLVANE_SETTINGS_LOAD
        result = true;
    });
    if (!handled)
        QFile::remove(path);
    return result;
}

void Settings::SaveSettings()
{
    QByteArray record;
    // Before the file is opened a failure is shown, not logged, and the file stays as it was.
    try {
        std::vector<PropertyBag::Entry> entries;
#define FOLVANE_SETTINGS_ENTRY(name, type, kind, def) entries.push_back({QStringLiteral(#name), m_##name});
        FOLVANE_SETTINGS_FIELDS(FOLVANE_SETTINGS_ENTRY)
#undef FOLVANE_SETTINGS_ENTRY
        // Each Split triple goes in as default-path flag, default path, open-folder flag.
        const auto moveAfter = [&entries](QLatin1String name, QLatin1String after) {
            const auto at = [&entries](QLatin1String n) {
                return std::find_if(entries.begin(), entries.end(), [n](const PropertyBag::Entry &e) { return e.name == n; });
            };
            PropertyBag::Entry moved = *at(name);
            entries.erase(at(name));
            entries.insert(at(after) + 1, std::move(moved));
        };
        moveAfter(QLatin1String("IsOpenFolderSplitPDF"), QLatin1String("DefaultPathSplitPDF"));
        moveAfter(QLatin1String("IsOpenFolderSplitTIFF"), QLatin1String("DefaultPathSplitTIFF"));
        PropertyBag bag;
        for (const PropertyBag::Entry &e : entries)
            bag.WriteProperty(e.name, e.value);
        record = WithHeader(bag.Contents());
        const QString folder = SettingsFolderPath();
        if (!QFileInfo(folder).isDir())
            Require(QDir().mkpath(folder), ErrNo::PathNotFound, QStringLiteral("Path not found: %1").arg(folder));
    } catch (...) {
        MsgBox(CurrentErrorInfo().description, MsgButtons::OK, MsgIcon::Information, ProgramTitle());
        return;
    }

    // The new file is written complete beside the old one and takes its place in one rename, so a
    // save cut off half way, or one that fails (disk full, read-only folder), leaves the previous
    // file whole; the values in memory stay as they are, and the failure is logged.
    Guarded("SaveSettings", Unit::Settings, [&] {
        QSaveFile file(SettingsFilePath());
        // Unbuffered, so a short write shows here: QSaveFile would still rename after a write error
        // that only surfaces while its buffer is flushed on commit.
        Require(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered), ErrNo::PathFileAccessError,
                file.errorString());
        Require(file.write(record) == record.size() && file.error() == QFileDevice::NoError, ErrNo::DeviceIoError,
                file.errorString());
        Require(file.commit(), ErrNo::DeviceIoError, file.errorString());
    });
}

void Settings::LoadDefaultSettings()
{
#define FOLVANE_SETTINGS_DEFAULT(name, type, kind, def) m_##name = type(def);
    FOLVANE_SETTINGS_FIELDS(FOLVANE_SETTINGS_DEFAULT)
#undef FOLVANE_SETTINGS_DEFAULT
    m_StartupFolder = QDir::homePath();
    SaveSettings();
}

}  // namespace folvane

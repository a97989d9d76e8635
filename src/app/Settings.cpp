#include "app/Settings.h"

#include "app/ErrorLog.h"
#include "app/ProgramState.h"
#include "app/modGeneral.h"
#include "platform/AtomicOutput.h"
#include "platform/MsgBox.h"
#include "platform/OwnFile.h"
#include "platform/PropertyBag.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <utility>

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
/// earlier, longer save) are not used.
QByteArray ReadBlock(const QString &path)
{
    const Expected<QByteArray> read = OwnFile::Read(path, kHeaderSize + kMaxBlock);
    Require(read.ok, ErrNo::PathFileAccessError, read.reason);
    const QByteArray &bytes = *read;
    Require(bytes.size() >= kHeaderSize, ErrNo::InputPastEnd, QStringLiteral("Input past end of file"));
    Require(GetLE(bytes, 0, 2) == kByteArrayTag && GetLE(bytes, 2, 2) == kDimensions && GetLE(bytes, 8, 4) == 0,
            ErrNo::TypeMismatch, QStringLiteral("Type mismatch: the file holds no byte block"));
    const std::uint32_t length = GetLE(bytes, 4, 4);
    Require(length <= kMaxBlock && length <= bytes.size() - kHeaderSize, ErrNo::InputPastEnd,
            QStringLiteral("Input past end of file: the block claims %1 bytes").arg(length));
    return bytes.mid(kHeaderSize, length);
}

/// Puts the record in place as a complete new file. Where the folder takes no new file (a read-only
/// folder) but the file itself may be written, the file is rewritten in place from its first byte, as
/// the earlier program always wrote it.
Outcome WriteRecord(const QString &path, const QByteArray &record)
{
    AtomicOutput out(path);
    if (out.Opened()) {
        if (Outcome written = out.Write(record); !written)
            return written;
        return out.Commit();
    }
    const OwnFile::Kind kind = OwnFile::Inspect(path);
    if (kind != OwnFile::Kind::Regular && kind != OwnFile::Kind::LinkToRegular)
        return out.Opened();
    // A type tag of 0 is no byte array: a save killed half way through a long record leaves a file
    // the loader takes for damage, never one that mixes two saves.
    return OwnFile::RewriteInPlace(path, record, QByteArray(2, '\0'));
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
    // Anything but a regular file at the name (a folder, FIFO, device, a dangling link or a link to
    // one of those) is no settings file and not ours to remove or replace: the settings then live in
    // memory, and saves leave the name alone.
    const OwnFile::Kind kind = OwnFile::Inspect(path);
    keptInMemory_ = kind == OwnFile::Kind::Other;
    if (kind == OwnFile::Kind::Missing || kind == OwnFile::Kind::Other)
        return false;

    bool result = false;
    const bool handled = Guarded("LoadSettings", Unit::Settings, [&] {
        const Expected<PropertyBag> bag = PropertyBag::FromContents(ReadBlock(path));
        Require(bag.ok, ErrNo::TypeMismatch, QStringLiteral("The settings block is damaged: %1").arg(bag.reason));
        // Each value is stored as soon as it is read; a later failure leaves the earlier ones in place.
#define FOLVANE_SETTINGS_LOAD(name, type, kind, def) Convert(bag->ReadProperty(QStringLiteral(#name)), m_##name, #name);
        FOLVANE_SETTINGS_FIELDS(FOLVANE_SETTINGS_LOAD)
#undef FOLVANE_SETTINGS_LOAD
        result = true;
    });
    // A damaged file reached through a link stays, link and all: the defaults' save that follows
    // writes through it.
    if (!handled && kind == OwnFile::Kind::Regular)
        static_cast<void>(OwnFile::RemoveIfRegular(path));
    return result;
}

void Settings::SaveSettings()
{
    if (keptInMemory_)
        return;
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
        if (!std::exchange(failureShown_, true))
            MsgBox(CurrentErrorInfo().description, MsgButtons::OK, MsgIcon::Information, ProgramTitle());
        return;
    }

    const Outcome saved = WriteRecord(SettingsFilePath(), record);
    if (saved) {
        failureShown_ = false;
        return;
    }
    // The previous file stays whole and the values in memory stay as they are: a full disk must not
    // cost the user every preference, as a reset to the defaults would. The main window saves five
    // values on every move, so the reason is shown once until a save goes through again.
    if (!std::exchange(failureShown_, true)) {
        LogError(FormatErrorLine(ErrNo::PathFileAccessError, saved.reason, "SaveSettings", __LINE__, Unit::Settings));
        MsgBox(saved.reason, MsgButtons::OK, MsgIcon::Information, ProgramTitle());
    }
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

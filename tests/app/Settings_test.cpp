#include "app/Settings.h"

#include "app/ErrorLog.h"
#include "platform/PropertyBag.h"
#include "support/SmallDisk.h"
#include "support/SpecialFiles.h"
#include "support/TestEnv.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace folvane;

namespace {

QByteArray LE(std::uint32_t v, int bytes)
{
    QByteArray b;
    for (int i = 0; i < bytes; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

/// The settings file's record: the 12-byte header (byte-array tag, one dimension, length, lower
/// bound 0) and the block.
QByteArray Record(const QByteArray &block)
{
    return LE(8209, 2) + LE(1, 2) + LE(std::uint32_t(block.size()), 4) + LE(0, 4) + block;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A distinct sample value for field number i of each type.
template <class T> T Sample(int i);
template <> QString Sample<QString>(int i) { return QStringLiteral("v%1,a\\b/ä €").arg(i); }
template <> Byte Sample<Byte>(int i) { return Byte(200 + i); }
template <> Integer Sample<Integer>(int i) { return Integer(-30000 - i); }
template <> Long Sample<Long>(int i) { return Long(-2000000000 - i); }

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ClearErrorLog();
        QDir(settings.SettingsFolderPath()).removeRecursively();
        QFile::remove(settings.SettingsFolderPath());
    }
    void TearDown() override
    {
        QDir(settings.SettingsFolderPath()).removeRecursively();
        QFile::remove(settings.SettingsFolderPath());
    }

    QString FilePath() const { return settings.SettingsFilePath(); }
    /// Writes a file holding exactly the entries of bag.
    void WriteBag(const PropertyBag &bag)
    {
        QDir().mkpath(settings.SettingsFolderPath());
        WriteAll(FilePath(), Record(bag.Contents()));
    }

    Settings settings;
};

TEST_F(SettingsTest, NoFileCreatesTheFolderAndAnswersFalseSilently)
{
    settings.LoadDefaultSettings();
    QFile::remove(FilePath());
    EXPECT_FALSE(settings.LoadSettings());
    EXPECT_TRUE(QDir(settings.SettingsFolderPath()).exists());
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
    EXPECT_EQ(settings.WindowStateValue(), 2); // fields stay as they were

    QDir(settings.SettingsFolderPath()).removeRecursively();
    EXPECT_FALSE(Settings().LoadSettings());
    EXPECT_TRUE(QDir(settings.SettingsFolderPath()).exists());
}

TEST_F(SettingsTest, FileHoldsHeaderAndEveryKeyInEntryOrderWithItsType)
{
    settings.LoadDefaultSettings();
    const QByteArray file = ReadAll(FilePath());
    ASSERT_GE(file.size(), 12);
    EXPECT_EQ(file.left(4), LE(8209, 2) + LE(1, 2));
    EXPECT_EQ(file.mid(8, 4), LE(0, 4));
    EXPECT_EQ(file.mid(4, 4), LE(std::uint32_t(file.size() - 12), 4));

    const Expected<PropertyBag> bag = PropertyBag::FromContents(file.mid(12));
    ASSERT_TRUE(bag) << bag.reason.toStdString();
    QStringList names;
    for (const auto &e : bag->Entries())
        names << e.name;
    const QStringList expected = QStringLiteral(
        "ColumnVisibility ExportLocation LanguageFile StartupFolder WindowStateFlag WindowStateValue "
        "LastWindowState LastWindowLeft LastWindowTop LastWindowHeight LastWindowWidth LastGridColWidthFlag "
        "LastGridColWidth ColumnReOrder SortbyNumeric IsOpenFileAfterExport PrefeOwnerPassword PrefeUserPassword "
        "IsDefaultPathSplitPDF DefaultPathSplitPDF IsOpenFolderSplitPDF "
        "IsDefaultPathSplitTIFF DefaultPathSplitTIFF IsOpenFolderSplitTIFF "
        "IsOpenFileAftCombPDF IsDefaultPathCombPDF DefaultPathCombPDF IsOpenFileAftCombTIFF IsDefaultPathCombTIFF "
        "DefaultPathCombTIFF IsOpenFileMConvToPDF IsDefaultPathMConvToPDF DefaultPathMConvToPDF "
        "IsOpenFolderAftConvEToPDF IsDefaultPathConvEToPDF DefaultPathConvEToPDF IsOpenFolderPdfInfoUpdate "
        "IsDefaultPathPdfInfoUpdate DefaultPathPdfInfoUpdate IsOpenFolderAppPDf IsDefaultPathAppPDf "
        "DefaultPathAppPDf IsOpenFolderConImgTiff IsDefaultPathConImgTiff DefaultPathConImgTiff "
        "IsOpenFolderConPdfToTiff IsDefaultPathConPdfToTiff DefaultPathConPdfToTiff").split(' ');
    EXPECT_EQ(names, expected);

#define CHECK_TYPE(name, type, kind, def)                                                                   \
    EXPECT_TRUE(std::holds_alternative<type>(bag->ReadProperty(#name))) << #name;
    FOLVANE_SETTINGS_FIELDS(CHECK_TYPE)
#undef CHECK_TYPE
}

TEST_F(SettingsTest, EveryValueSurvivesSaveAndLoad)
{
    int i = 0;
#define SET_SAMPLE(name, type, kind, def) settings.set##name(Sample<type>(i++));
    FOLVANE_SETTINGS_FIELDS(SET_SAMPLE)
#undef SET_SAMPLE
    Settings loaded;
    ASSERT_TRUE(loaded.LoadSettings());
    i = 0;
#define CHECK_SAMPLE(name, type, kind, def) EXPECT_EQ(loaded.name(), Sample<type>(i++)) << #name;
    FOLVANE_SETTINGS_FIELDS(CHECK_SAMPLE)
#undef CHECK_SAMPLE
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(SettingsTest, DefaultsThenLoadGiveTheDefaultTable)
{
    settings.setLanguageFile(9);
    settings.setColumnReOrder("x");
    settings.LoadDefaultSettings();
    ASSERT_TRUE(settings.LoadSettings());
    EXPECT_EQ(settings.StartupFolder(), QDir::homePath());
    EXPECT_EQ(settings.ColumnVisibility(), "1,1,1,1,1,1,1,1");
    EXPECT_EQ(settings.LastGridColWidth(), "1800,250,700,1800,1000,1400,2000,2000");
    EXPECT_EQ(settings.ColumnReOrder(), "Name,Selection,Pages,Location,Size (In KB),Type,Created Date,Modified Date");
    EXPECT_EQ(settings.WindowStateFlag(), 1);
    EXPECT_EQ(settings.WindowStateValue(), 2);
    EXPECT_EQ(settings.LastGridColWidthFlag(), 1);
    EXPECT_EQ(settings.LanguageFile(), 0);
    EXPECT_EQ(settings.SortbyNumeric(), 0);
    EXPECT_EQ(settings.LastWindowWidth(), 0);
    EXPECT_EQ(settings.DefaultPathAppPDf(), "");
}

TEST_F(SettingsTest, MissingKeysLoadAsEmptyOrZero)
{
    settings.LoadDefaultSettings();
    PropertyBag bag;
    bag.WriteProperty("ExportLocation", QStringLiteral("/exports"));
    bag.WriteProperty("LanguageFile", std::uint8_t{7});
    WriteBag(bag);
    ASSERT_TRUE(settings.LoadSettings());
    EXPECT_EQ(settings.ExportLocation(), "/exports");
    EXPECT_EQ(settings.LanguageFile(), 7);
    EXPECT_EQ(settings.ColumnVisibility(), "");
    EXPECT_EQ(settings.WindowStateValue(), 0);
    EXPECT_EQ(settings.LastGridColWidthFlag(), 0);
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(SettingsTest, StoredValuesAreConvertedToTheFieldOrTheLoadFails)
{
    using V = PropertyBag::Value;
    struct Case {
        const char *key;
        V stored;
        bool loads;
        V expected; // the field's value when it loads
        int errorNumber;
    } cases[] = {
        {"LanguageFile", QStringLiteral("12"), true, Byte(12), 0},
        {"LanguageFile", QStringLiteral(" 12 "), true, Byte(12), 0},
        {"LanguageFile", QStringLiteral("12.5"), true, Byte(12), 0},
        {"LanguageFile", QStringLiteral("13.5"), true, Byte(14), 0},
        {"LanguageFile", std::int32_t{255}, true, Byte(255), 0},
        {"LanguageFile", std::int32_t{300}, false, {}, ErrNo::Overflow},
        {"LanguageFile", std::int16_t{-1}, false, {}, ErrNo::Overflow},
        {"LanguageFile", QStringLiteral("abc"), false, {}, ErrNo::TypeMismatch},
        {"LanguageFile", QStringLiteral(""), false, {}, ErrNo::TypeMismatch},
        {"LanguageFile", QStringLiteral("1e999"), false, {}, ErrNo::TypeMismatch},
        {"SortbyNumeric", std::int32_t{-32768}, true, Integer(-32768), 0},
        {"SortbyNumeric", std::int32_t{40000}, false, {}, ErrNo::Overflow},
        {"SortbyNumeric", QStringLiteral("-1e3"), true, Integer(-1000), 0},
        {"LastWindowLeft", QStringLiteral("2147483648"), false, {}, ErrNo::Overflow},
        {"LastWindowLeft", std::uint8_t{9}, true, Long(9), 0},
        {"ExportLocation", std::int32_t{5}, true, QStringLiteral("5"), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        test::ClearErrorLog();
        PropertyBag bag;
        bag.WriteProperty("ColumnVisibility", QStringLiteral("0,0")); // read before every key below
        bag.WriteProperty(c.key, c.stored);
        WriteBag(bag);
        Settings s;
        EXPECT_EQ(s.LoadSettings(), c.loads);
        EXPECT_EQ(s.ColumnVisibility(), "0,0");
        if (c.loads) {
            EXPECT_TRUE(QFile::exists(FilePath()));
            EXPECT_TRUE(test::ErrorLogLines().isEmpty());
            const V actual = QLatin1String(c.key) == QLatin1String("LanguageFile") ? V(s.LanguageFile())
                             : QLatin1String(c.key) == QLatin1String("SortbyNumeric") ? V(s.SortbyNumeric())
                             : QLatin1String(c.key) == QLatin1String("LastWindowLeft") ? V(s.LastWindowLeft())
                                                                                       : V(s.ExportLocation());
            EXPECT_TRUE(actual == c.expected);
        } else {
            EXPECT_FALSE(QFile::exists(FilePath()));
            const QStringList lines = test::ErrorLogLines();
            ASSERT_EQ(lines.size(), 1);
            EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Error %1 (").arg(c.errorNumber))) << lines[0].toStdString();
            EXPECT_TRUE(lines[0].contains(") in procedure LoadSettings at Line No. "));
            EXPECT_TRUE(lines[0].contains(" of Class Module Settings at time- "));
        }
    }
}

TEST_F(SettingsTest, BytesAfterTheBlockAreIgnored)
{
    settings.LoadDefaultSettings();
    settings.setExportLocation("/short");
    WriteAll(FilePath(), ReadAll(FilePath()) + QByteArray(300, 'z'));
    Settings loaded;
    ASSERT_TRUE(loaded.LoadSettings());
    EXPECT_EQ(loaded.ExportLocation(), "/short");
}

TEST_F(SettingsTest, DamagedFilesAreDeletedAndLogged)
{
    settings.LoadDefaultSettings();
    const QByteArray block = ReadAll(FilePath()).mid(12);
    const QByteArray n = LE(std::uint32_t(block.size()), 4);
    struct Case {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"empty file", {}},
        {"half a header", LE(8209, 2) + LE(1, 2)},
        {"not a byte array", LE(8, 2) + LE(1, 2) + n + LE(0, 4) + block},
        {"two dimensions", LE(8209, 2) + LE(2, 2) + n + LE(0, 4) + block},
        {"lower bound 1", LE(8209, 2) + LE(1, 2) + n + LE(1, 4) + block},
        {"length beyond the file", LE(8209, 2) + LE(1, 2) + LE(std::uint32_t(block.size() + 1), 4) + LE(0, 4) + block},
        {"length 4 GB", LE(8209, 2) + LE(1, 2) + LE(0xFFFFFFFFu, 4) + LE(0, 4) + block},
        {"empty block", Record({})},
        {"random bytes", QByteArray("\x9f\x01garbage that is no settings file at all", 41)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        test::ClearErrorLog();
        WriteAll(FilePath(), c.bytes);
        EXPECT_FALSE(Settings().LoadSettings());
        EXPECT_FALSE(QFile::exists(FilePath()));
        EXPECT_EQ(test::ErrorLogLines().size(), 1);
    }
}

TEST_F(SettingsTest, MutatedAndTruncatedFilesEndInNoSettingsOrLoad)
{
    settings.LoadDefaultSettings();
    settings.setDefaultPathCombPDF(QStringLiteral("/docs/out"));
    const QByteArray valid = ReadAll(FilePath());
    std::vector<QByteArray> variants;
    for (qsizetype len = 0; len < valid.size(); ++len)
        variants.push_back(valid.left(len));
    for (qsizetype at = 0; at < valid.size(); ++at) {
        for (const char flip : {char(0x01), char(0x80), char(0xFF)}) {
            QByteArray v = valid;
            v[at] = char(v[at] ^ flip);
            variants.push_back(v);
        }
    }
    QRandomGenerator rng(7);
    for (int i = 0; i < 300; ++i) {
        QByteArray v(int(rng.bounded(1, 2000)), Qt::Uninitialized);
        for (auto &ch : v)
            ch = char(rng.bounded(256));
        // Half of them behind a plausible header, so the bag itself sees random bytes.
        variants.push_back(i % 2 ? v : Record(v));
    }

    test::ClearErrorLog();
    int failures = 0;
    for (const QByteArray &bytes : variants) {
        WriteAll(FilePath(), bytes);
        Settings s;
        const bool loaded = s.LoadSettings();
        // No settings means the file is gone; loaded settings leave it in place.
        ASSERT_EQ(QFile::exists(FilePath()), loaded);
        failures += loaded ? 0 : 1;
    }
    // Every truncation fails, and each failure left exactly one line.
    EXPECT_GE(failures, int(valid.size()));
    EXPECT_EQ(test::ErrorLogLines().size(), failures);
}

TEST_F(SettingsTest, EveryPropertyWriteRewritesTheFile)
{
    settings.LoadDefaultSettings();
    QFile::remove(FilePath());
    settings.setLanguageFile(settings.LanguageFile());
    EXPECT_TRUE(QFile::exists(FilePath()));
}

TEST_F(SettingsTest, AFullDiskShowsTheReasonOnceAndKeepsThePreviousFileAndTheValues)
{
    if (test::RanOnSmallDisk(256 << 10))
        return;
    const QString disk = test::SmallDisk();
    const test::StorageAt at(disk);
    test::ScriptedMsgBox boxes;
    settings.LoadDefaultSettings();
    settings.setLanguageFile(9);
    settings.setExportLocation("/kept");
    const QByteArray before = ReadAll(FilePath());
    const QStringList entries = test::FolderEntries(settings.SettingsFolderPath());
    const QString filler = test::FillDisk(disk);

    // The main window saves five values on every move: one box for the whole run of failures.
    settings.setExportLocation("/new");
    settings.setLastWindowLeft(10);
    settings.setLastWindowTop(20);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Folvane 1.1");
    EXPECT_EQ(boxes.calls()[0].icon, MsgIcon::Information);
    EXPECT_EQ(boxes.calls()[0].buttons, MsgButtons::OK);
    EXPECT_TRUE(boxes.calls()[0].text.contains("No space left on device")) << boxes.calls()[0].text.toStdString();
    EXPECT_TRUE(boxes.calls()[0].text.contains("settings.ini")) << boxes.calls()[0].text.toStdString();
    // No reset to the defaults: memory keeps every value, the new ones included.
    EXPECT_EQ(settings.ExportLocation(), "/new");
    EXPECT_EQ(settings.LanguageFile(), 9);
    EXPECT_EQ(settings.LastWindowTop(), 20);
    // The previous file is whole and nothing half-written lies beside it.
    EXPECT_EQ(ReadAll(FilePath()), before);
    EXPECT_EQ(test::FolderEntries(settings.SettingsFolderPath()), entries);

    // With room again the next write saves everything, the values that failed included.
    ASSERT_TRUE(QFile::remove(filler));
    settings.setLanguageFile(10);
    EXPECT_EQ(boxes.calls().size(), 1u);
    Settings loaded;
    ASSERT_TRUE(loaded.LoadSettings());
    EXPECT_EQ(loaded.ExportLocation(), "/new");
    EXPECT_EQ(loaded.LastWindowTop(), 20);
    EXPECT_EQ(loaded.LanguageFile(), 10);

    // A save went through in between, so the next failure is told again.
    test::FillDisk(disk);
    settings.setLanguageFile(11);
    EXPECT_EQ(boxes.calls().size(), 2u);
}

TEST_F(SettingsTest, FailureBeforeTheFileIsOpenedShowsItsDescription)
{
    // A file where the "Settings" folder belongs: the folder cannot be made.
    WriteAll(settings.SettingsFolderPath(), "not a folder");
    test::ScriptedMsgBox boxes;
    settings.setExportLocation("/x");
    settings.setLanguageFile(3);
    EXPECT_EQ(settings.ExportLocation(), "/x");
    EXPECT_EQ(settings.LanguageFile(), 3);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains("Path not found")) << boxes.calls()[0].text.toStdString();
    EXPECT_EQ(boxes.calls()[0].title, "Folvane 1.1");
    EXPECT_EQ(boxes.calls()[0].icon, MsgIcon::Information);
    EXPECT_EQ(boxes.calls()[0].buttons, MsgButtons::OK);
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
    EXPECT_EQ(ReadAll(settings.SettingsFolderPath()), "not a folder");

    // The load leaves that failure to its caller.
    EXPECT_THROW(settings.LoadSettings(), AppError);
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(SettingsTest, ANameHeldByAnythingButARegularFileIsLeftAloneAndTheSettingsLiveInMemory)
{
    for (const test::AtTarget kind : test::LeftAlone()) {
        SCOPED_TRACE(test::Describe(kind));
        QDir(settings.SettingsFolderPath()).removeRecursively();
        test::ClearErrorLog();
        test::Make(kind, FilePath());
        const test::NameState before = test::StateOf(FilePath());
        const test::NameState elsewhere = test::StateOf(test::ElsewhereOf(FilePath()));
        const QStringList entries = test::FolderEntries(settings.SettingsFolderPath());
        test::ScriptedMsgBox boxes;

        // What start-up does: no settings, so the defaults, and then the main window's writes.
        Settings s;
        EXPECT_FALSE(s.LoadSettings());
        s.LoadDefaultSettings();
        s.setExportLocation("/in memory");
        s.setLastWindowLeft(10);
        EXPECT_EQ(s.ExportLocation(), "/in memory");
        EXPECT_EQ(s.LastWindowLeft(), 10);
        EXPECT_EQ(s.WindowStateValue(), 2);
        EXPECT_TRUE(boxes.calls().empty());
        EXPECT_TRUE(test::ErrorLogLines().isEmpty());
        EXPECT_EQ(test::StateOf(FilePath()), before);
        EXPECT_EQ(test::StateOf(test::ElsewhereOf(FilePath())), elsewhere) << "a file was made where the link leads";
        EXPECT_EQ(test::FolderEntries(settings.SettingsFolderPath()), entries);
    }
}

TEST_F(SettingsTest, ALinkToTheFileIsReadAndWrittenThroughAndStaysALink)
{
    // The link leads to a file holding "old bytes", which is no settings file.
    test::Make(test::AtTarget::LinkToFile, FilePath());
    const QString real = test::ElsewhereOf(FilePath());
    const test::NameState link = test::StateOf(FilePath());

    // Damaged: logged, and neither the link nor the file it leads to is removed...
    EXPECT_FALSE(settings.LoadSettings());
    EXPECT_EQ(test::ErrorLogLines().size(), 1);
    EXPECT_EQ(test::StateOf(FilePath()), link);
    // ...since the defaults' save that start-up runs next writes through it.
    settings.LoadDefaultSettings();
    settings.setExportLocation("/through the link");
    EXPECT_EQ(test::StateOf(FilePath()), link);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the file behind the link lost its mode";
    Settings loaded;
    ASSERT_TRUE(loaded.LoadSettings());
    EXPECT_EQ(loaded.ExportLocation(), "/through the link");
    EXPECT_EQ(test::FolderEntries(settings.SettingsFolderPath()), (QStringList{"elsewhere", "settings.ini"}));
}

TEST_F(SettingsTest, AReadOnlyFolderWithAWritableFileIsRewrittenInPlace)
{
    if (test::RanUnprivileged()) // a read-only folder does not stop root
        return;
    const QByteArray folder = QFile::encodeName(settings.SettingsFolderPath());
    const QByteArray file = QFile::encodeName(FilePath());
    settings.LoadDefaultSettings();
    settings.setDefaultPathCombPDF(QString(3000, 'x')); // a record longer than a page
    const QByteArray longer = ReadAll(FilePath());
    ASSERT_GT(longer.size(), 4096);
    struct stat st {};
    ASSERT_EQ(::stat(file.constData(), &st), 0);
    const ino_t inode = st.st_ino;
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    const QStringList entries = test::FolderEntries(settings.SettingsFolderPath());
    test::ScriptedMsgBox boxes;

    // Values that make the record longer than a page, then shorter: each is rewritten in place,
    // and the shorter one leaves the longer one's tail, which the next load does not read.
    for (const QString &path : {QString(3500, 'y'), QStringLiteral("/docs/out")}) {
        SCOPED_TRACE(path.left(10).toStdString());
        settings.setDefaultPathCombPDF(path);
        settings.setLanguageFile(Byte(path.size() % 256));
        EXPECT_TRUE(boxes.calls().empty()) << boxes.texts().join(' ').toStdString();
        ASSERT_EQ(::stat(file.constData(), &st), 0);
        EXPECT_EQ(st.st_ino, inode);
        EXPECT_EQ(test::FolderEntries(settings.SettingsFolderPath()), entries);
        Settings loaded;
        ASSERT_TRUE(loaded.LoadSettings());
        EXPECT_EQ(loaded.DefaultPathCombPDF(), path);
        EXPECT_EQ(loaded.LanguageFile(), path.size() % 256);
    }
    EXPECT_GE(ReadAll(FilePath()).size(), longer.size());

    // A file that cannot be written either: the reason is shown, and the file stays as it was.
    ASSERT_EQ(::chmod(file.constData(), 0444), 0);
    const QByteArray before = ReadAll(FilePath());
    settings.setExportLocation("/not saved");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains("Permission denied")) << boxes.calls()[0].text.toStdString();
    EXPECT_EQ(ReadAll(FilePath()), before);
    EXPECT_EQ(settings.ExportLocation(), "/not saved");
    ASSERT_EQ(::chmod(folder.constData(), 0755), 0);
}

}  // namespace

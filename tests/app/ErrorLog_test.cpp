#include "app/ErrorLog.h"

#include "app/ProgramState.h"
#include "support/SpecialFiles.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>

#include <ctime>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

class ErrorLogTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearErrorLog(); }
};

TEST_F(ErrorLogTest, LineFormatForEveryKindOfClosingPiece)
{
    struct Case {
        int number;
        QString description;
        std::string_view procedure;
        int line;
        std::string_view unit;
        QString expected;
    } cases[] = {
        {9, "D", "Main", 0, Unit::modMasterLayout,
         "Error 9 (D) in procedure Main at Line No. 0 of Module modMasterLayout at time"},
        {-2147024891, "", "cmdOK_Click", 12, Unit::dlgSave,
         "Error -2147024891 () in procedure cmdOK_Click at Line No. 12 of Form dlgSave"},
        {13, "Type mismatch", "mnuAbout_Click", 3, Unit::frmMain_About,
         "Error 13 (Type mismatch) in procedure mnuAbout_Click at Line No. 3 of Form frmMain"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatErrorLine(c.number, c.description, c.procedure, c.line, c.unit), c.expected);
}

TEST_F(ErrorLogTest, AppendsOneStampedLinePerErrorInOrder)
{
    LogError(QStringLiteral("first of Form dlgSave"));
    LogError(QStringLiteral("second"));
    const QStringList lines = test::ErrorLogLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("first of Form dlgSave- ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("second- "));
    // The stamp is a date and a time.
    EXPECT_TRUE(lines[1].contains(QRegularExpression("- .*\\d.*:\\d\\d")));
}

TEST_F(ErrorLogTest, TheStampIsTheShortDateAndTheLongTimeWithoutAZone)
{
    struct Case {
        const char *locale;
        const char *stamp; // the whole text after "- "
    } cases[] = {
        {"C", "\\d{1,2} [A-Z][a-z]{2} \\d{4} \\d{2}:\\d{2}:\\d{2}"},
        {"en_US", "\\d{1,2}/\\d{1,2}/\\d{2} \\d{1,2}:\\d{2}:\\d{2}[ \\x{202F}]?[AP]M"},
        {"es_ES", "\\d{1,2}/\\d{1,2}/\\d{2} \\d{1,2}:\\d{2}:\\d{2}"},         // zone in parentheses
        {"zh_CN", "\\d{4}/\\d{1,2}/\\d{1,2} \\d{2}:\\d{2}:\\d{2}"},          // zone first
        {"fr_CA", "\\d{4}-\\d{2}-\\d{2} \\d{2} h \\d{2} min \\d{2} s"},      // quoted words stay
    };
    const QLocale saved;
    for (const char *zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
        const test::ScopedEnv tz("TZ", QString::fromLatin1(zone));
        tzset();
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(zone) + " " + c.locale);
            QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
            test::ClearErrorLog();
            LogError(QStringLiteral("x"));
            const QStringList lines = test::ErrorLogLines();
            ASSERT_EQ(lines.size(), 1);
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^x- %1$").arg(QString::fromLatin1(c.stamp))).match(lines[0]).hasMatch())
                << lines[0].toStdString();
        }
    }
    QLocale::setDefault(saved);
    tzset();
}

TEST_F(ErrorLogTest, GuardedLogsWithProcedureUnitAndThrowLineAndKeepsResult)
{
    int result = 0;
    int throwLine = 0;
    const bool ok = Guarded("LoadSettings", Unit::Settings, [&] {
        result = 7;
        throwLine = __LINE__ + 1;
        throw AppError(ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(result, 7);
    const QStringList lines = test::ErrorLogLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Error 13 (Type mismatch) in procedure LoadSettings at Line No. %1 "
                                                   "of Class Module Settings at time- ")
                                        .arg(throwLine)))
        << lines[0].toStdString();
}

TEST_F(ErrorLogTest, GuardedTurnsForeignExceptionsIntoLines)
{
    EXPECT_FALSE(Guarded("Add", Unit::GridColumns, [] { throw std::runtime_error("boom"); }));
    EXPECT_FALSE(Guarded("Add", Unit::GridColumns, [] { throw 42; }));
    EXPECT_TRUE(Guarded("Add", Unit::GridColumns, [] {}));
    const QStringList lines = test::ErrorLogLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Error 440 (boom) in procedure Add"));
    EXPECT_TRUE(lines[1].startsWith("Error 440 (Unknown error) in procedure Add"));
}

TEST_F(ErrorLogTest, MissingStorageFolderDropsLinesSilently)
{
    const QString saved = State().StorageFolderPath;
    State().StorageFolderPath = saved + QStringLiteral("/gone/away");
    LogError(QStringLiteral("lost"));
    EXPECT_FALSE(QDir(State().StorageFolderPath).exists());
    State().StorageFolderPath = saved;
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(ErrorLogTest, ALogNameHeldByAnythingButARegularFileDropsTheLineAndStaysAsItWas)
{
    using namespace std::chrono_literals;
    using test::AtTarget;
    struct Case {
        AtTarget kind;
        bool readerOnTheFifo; // someone reads it: the open does not wait, and the line must not go in
    };
    std::vector<Case> cases{{AtTarget::Fifo, true}, {AtTarget::LinkToFifo, true}};
    for (const AtTarget kind : test::LeftAlone())
        cases.push_back({kind, false});
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(test::Describe(c.kind)) + (c.readerOnTheFifo ? " with a reader" : ""));
        test::TempDir storage;
        const test::StorageAt at(storage.path());
        const QString log = storage.filePath(QStringLiteral("Errors.Log"));
        test::Make(c.kind, log);
        const QString fifo = c.kind == AtTarget::LinkToFifo ? test::ElsewhereOf(log) : log;
        const int reader = c.readerOnTheFifo ? ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK) : -1;
        const test::NameState before = test::StateOf(log);
        const test::NameState elsewhere = test::StateOf(test::ElsewhereOf(log));
        const QStringList entries = test::FolderEntries(storage.path());

        EXPECT_TRUE(test::FinishesWithin(10s, [] { LogError(QStringLiteral("a line")); }, {fifo}))
            << "the log waited for the other end of a FIFO";
        if (reader >= 0) {
            char byte = 0;
            EXPECT_LE(::read(reader, &byte, 1), 0) << "the line went into the FIFO";
            ::close(reader);
        }
        EXPECT_EQ(test::StateOf(log), before);
        EXPECT_EQ(test::StateOf(test::ElsewhereOf(log)), elsewhere) << "a file was made where the link leads";
        EXPECT_EQ(test::FolderEntries(storage.path()), entries);
    }
}

TEST_F(ErrorLogTest, ALinkToARegularFileIsAppendedThroughAndStaysALink)
{
    test::TempDir storage;
    const test::StorageAt at(storage.path());
    const QString log = storage.filePath(QStringLiteral("Errors.Log"));
    test::Make(test::AtTarget::LinkToFile, log);
    const test::NameState before = test::StateOf(log);
    LogError(QStringLiteral("a line"));
    EXPECT_EQ(test::StateOf(log), before);
    const QByteArray written = test::FileBytes(test::ElsewhereOf(log));
    EXPECT_TRUE(written.startsWith("old bytesa line- ")) << written.toStdString();
    EXPECT_TRUE(written.endsWith("\r\n"));
}

}  // namespace

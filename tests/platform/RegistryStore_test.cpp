#include "platform/RegistryStore.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace folvane;
using folvane::test::ScopedEnv;
using folvane::test::TempDir;

namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
    TempDir config;
    ScopedEnv env{"XDG_CONFIG_HOME", config.path()};
    QString write(const QByteArray &ini) const
    {
        return config.createFile(QStringLiteral("Folvane 1.1/Folvane 1.1.ini"), ini);
    }
};

TEST_F(RegistryStoreTest, LivesUnderTheProgramTitleInTheConfigFolder)
{
    EXPECT_EQ(RegistryStore::FilePath(), config.path() + QStringLiteral("/Folvane 1.1/Folvane 1.1.ini"));
}

TEST_F(RegistryStoreTest, MissingFileOrKeyGivesTheDefaultAndCreatesNothing)
{
    EXPECT_EQ(RegistryStore::GetSetting(QStringLiteral("Settings"), QStringLiteral("MainLeft"), QStringLiteral("1000")),
              QStringLiteral("1000"));
    EXPECT_TRUE(RegistryStore::PaneLayout().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(config.path() + QStringLiteral("/Folvane 1.1")));

    write("[Settings]\nMainTop=5\n");
    EXPECT_EQ(RegistryStore::GetSetting(QStringLiteral("Settings"), QStringLiteral("MainLeft"), QStringLiteral("7")),
              QStringLiteral("7"));
}

TEST_F(RegistryStoreTest, ValuesComeBackAsTheTextStoredAndTheFileIsNeverWritten)
{
    const QByteArray layout("\x00\x01pane layout\xff", 15);
    const QByteArray ini = "[Settings]\nMainLeft=1500\nMainTop=1,5\nMainWidth=abc\n\n[Layout]\nState="
                           + layout.toBase64() + "\n";
    const QString path = write(ini);
    const QString s = QStringLiteral("Settings");
    EXPECT_EQ(RegistryStore::GetSetting(s, QStringLiteral("MainLeft")), QStringLiteral("1500"));
    EXPECT_EQ(RegistryStore::GetSetting(s, QStringLiteral("MainTop")), QStringLiteral("1,5"));
    EXPECT_EQ(RegistryStore::GetSetting(s, QStringLiteral("MainWidth")), QStringLiteral("abc"));
    EXPECT_EQ(RegistryStore::PaneLayout(), layout);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), ini);
}

TEST_F(RegistryStoreTest, ALayoutThatIsNotBase64IsNoLayout)
{
    write("[Layout]\nState=not*base64!\n");
    EXPECT_TRUE(RegistryStore::PaneLayout().isEmpty());
}

}  // namespace

#include "platform/AutomationComponent.h"

#include "support/PdfFixtures.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace folvane;

TEST(AutomationComponentTest, ComponentsAreFoundByTheirIdentifierOnly)
{
    for (const char *id : {"TiffPdf.Converter", "PdfInfo.Stamper.1", "PdfPages.Counter.1", "TiffPages.Editor.1",
                           "tiffpages.editor.1"})
        EXPECT_NE(CreateComponent(id), nullptr) << id;
    for (const char *id : {"", "TiffPages.Editor", "PdfPages.Counter.2", "Shell.Application"})
        EXPECT_EQ(CreateComponent(id), nullptr) << id;
}

TEST(AutomationComponentTest, AScopedFactoryStandsInUntilItGoes)
{
    int asked = 0;
    {
        ScopedComponentFactory none([&](const QString &) {
            ++asked;
            return std::unique_ptr<AutomationComponent>();
        });
        EXPECT_EQ(CreateComponent("TiffPdf.Converter"), nullptr);
    }
    EXPECT_EQ(asked, 1);
    EXPECT_NE(CreateComponent("TiffPdf.Converter"), nullptr);
}

TEST(AutomationComponentTest, PageCounterCountsOrRaisesAnError)
{
    test::TempDir dir;
    const QString pdf = test::MakeTaggedPdf(dir.path(), "a", 3);
    test::PdfSpec locked;
    locked.userPassword = "u";
    locked.ownerPassword = "o";
    test::MakePdf(dir.filePath("locked.pdf"), locked);
    const QString damaged = dir.createFile("damaged.pdf", "%PDF-1.4\ngarbage");
    const auto counter = CreateComponent("PdfPages.Counter.1");
    ASSERT_NE(counter, nullptr);
    struct Case {
        QVariantList args;
        int error;
        int pages;
    } cases[] = {
        {{pdf, ""}, 0, 3},
        {{dir.filePath("locked.pdf"), "u"}, 0, 1},
        {{dir.filePath("locked.pdf"), ""}, 1002, 0},
        {{damaged, ""}, 1002, 0},
        {{dir.filePath("gone.pdf"), ""}, 1002, 0},
        {{pdf}, 450, 0},
    };
    for (const Case &c : cases) {
        const CallResult r = counter->Invoke("GetNumberOfPages", c.args);
        EXPECT_EQ(r.error, c.error) << c.args.value(0).toString().toStdString();
        if (c.error == 0) {
            EXPECT_EQ(r.value_or(QVariant()).toInt(), c.pages);
        } else {
            EXPECT_FALSE(r.reason.isEmpty());
        }
    }
    EXPECT_EQ(counter->Invoke("PageCount", {pdf, ""}).error, 438);
}

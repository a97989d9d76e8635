#include "platform/Shell.h"

#include <QDir>

#include <gtest/gtest.h>

#include <vector>

using namespace folvane;

namespace {

TEST(ShellTest, AddressesStayAddressesAndPathsBecomeFiles)
{
    struct Case {
        QString target;
        QString url; // fully encoded
    };
    const std::vector<Case> cases = {
        {"mailto:support@example.org?subject=Folvane 1.1", "mailto:support@example.org?subject=Folvane%201.1"},
        {"https://www.example.org/", "https://www.example.org/"},
        {"https://www.example.org/a b", "https://www.example.org/a%20b"},
        {"/docs/a b.pdf", "file:///docs/a%20b.pdf"},
        {"/docs/ünï.pdf", "file:///docs/%C3%BCn%C3%AF.pdf"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Shell::ToUrl(c.target).toString(QUrl::FullyEncoded), c.url) << c.target.toStdString();
    EXPECT_EQ(Shell::ToUrl("rel.pdf"), QUrl::fromLocalFile(QDir::current().absoluteFilePath("rel.pdf")));
}

}  // namespace

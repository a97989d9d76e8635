#include "platform/WildcardMatch.h"

#include <gtest/gtest.h>

using namespace folvane;

TEST(WildcardMatch, CasesOfTheFilePatterns)
{
    struct Case {
        const char *name;
        const char *pattern;
        bool match;
    };
    const Case cases[] = {
        {"a.pdf", "*.pdf", true},
        {"X.PDF", "*.pdf", true},         // letters without regard to case
        {"report.Pdf", "*.PDF", true},
        {".pdf", "*.pdf", true},          // "*" may be empty
        {"a.pdf.txt", "*.pdf", false},    // the whole name must match
        {"a.pd", "*.pdf", false},
        {"ab", "a?", true},
        {"a", "a?", false},               // "?" needs one character
        {"abc", "a?", false},
        {"[x].pdf", "[x].pdf", true},     // brackets are plain characters
        {"x.pdf", "[x].pdf", false},
        {"a*b", "a*b", true},
        {"aXYZb", "a*b", true},
        {"a\nb.pdf", "a?b.pdf", true},
        {"anything", "*", true},
        {"", "*", true},
        {"", "", true},
        {"a", "", false},
        {"abcabcabd", "*abd", true},
        {"a.b.c", "*.*", true},
        {"nodot", "*.*", false},          // the pattern itself knows no special "*.*" rule
        {"\xc3\x84" "bc.PDF", "\xc3\xa4" "bc.pdf", true},  // non-ASCII letters fold too
        {"\xf0\x9f\x98\x80.pdf", "?.pdf", true},            // one character outside the basic plane
        {"ss", "\xc3\x9f", false},                          // no expansion: one character is one
    };
    for (const Case &c : cases)
        EXPECT_EQ(WildcardMatch(QString::fromUtf8(c.name), QString::fromUtf8(c.pattern)), c.match)
            << "name \"" << c.name << "\" pattern \"" << c.pattern << "\"";
}

TEST(WildcardMatch, ManyStarsDoNotBacktrackWithoutEnd)
{
    // A naive recursive matcher would not finish this in the test's lifetime.
    const QString name(200, QLatin1Char('a'));
    EXPECT_FALSE(WildcardMatch(name, QStringLiteral("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b")));
    EXPECT_TRUE(WildcardMatch(name + QLatin1Char('b'), QStringLiteral("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b")));
}

#include "platform/RtfWriter.h"

#include "support/RtfReader.h"
#include "support/TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

TEST(RtfWriterTest, EscapesSpecialAndNonAsciiCharacters)
{
    struct Case {
        QString text;
        QByteArray expected;
    } cases[] = {
        {QStringLiteral("plain text 123"), "plain text 123"},
        {QStringLiteral("a\\b{c}d"), "a\\\\b\\{c\\}d"},
        {QStringLiteral("x\ty"), "x\\tab y"},
        {QStringLiteral("\u00e9"), "\\u233?"},          // below 0x8000: positive
        {QStringLiteral("\u65e5\u672c"), "\\u26085?\\u26412?"},
        {QStringLiteral("\ud55c"), "\\u-10916?"},        // 0xD55C as signed 16 bits
        {QStringLiteral("\uffff"), "\\u-1?"},
        {QString::fromUcs4(U"\U0001F600"), "\\u-10179?\\u-8704?"}, // surrogate pair D83D DE00
        {QStringLiteral("\u00e95"), "\\u233?5"},         // a digit after an escape stays text
    };
    for (const auto &c : cases)
        EXPECT_EQ(RtfWriter::EscapeText(c.text), c.expected) << c.text.toStdString();
}

TEST(RtfWriterTest, DocumentIsSevenBitAndReadsBackLineForLine)
{
    const QString texts[] = {
        QStringLiteral("one\r\ntwo\r\n\r\nthree"),
        QStringLiteral("ends with breaks\r\n\r\n\r\n"),
        QStringLiteral("/docs/\u00fcber {1}\\x\r\n/\u65e5\u672c/\U0001F600.pdf\r\n"),
        // Only CR LF ends a line; a lone CR or LF, a no-break space and a line separator are characters.
        QStringLiteral("/docs/a\u00a0b.pdf\r\n/docs/c\nd\re\u2028f.pdf\r\n"),
        QString(),
    };
    for (const QString &text : texts) {
        const QByteArray rtf = RtfWriter::ToRtf(text);
        for (const char b : rtf)
            ASSERT_LT(static_cast<unsigned char>(b), 0x80u) << rtf.toStdString();
        const std::optional<QString> back = test::ReadRtfText(rtf);
        ASSERT_TRUE(back.has_value()) << rtf.toStdString();
        // Every line comes back ended by a break; a text without a final break gains one.
        const QString expected = text.isEmpty() || text.endsWith(QStringLiteral("\r\n")) ? text
                                                                                         : text + "\r\n";
        EXPECT_EQ(*back, expected) << rtf.toStdString();
    }
}

TEST(RtfWriterTest, SaveReplacesOnlyWhenCompleteAndReportsFailures)
{
    test::TempDir dir;
    const QString path = dir.createFile(QStringLiteral("Berichte \u00e4/r\u00e9sum\u00e9 \u65e5.rtf"), "old");
    const Outcome ok = RtfWriter::Save(path, QStringLiteral("new\r\n"));
    ASSERT_TRUE(ok.ok) << ok.reason.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(test::ReadRtfText(f.readAll()), std::optional<QString>(QStringLiteral("new\r\n")));

    const Outcome bad = RtfWriter::Save(dir.filePath("missing/x.rtf"), QStringLiteral("x"));
    EXPECT_FALSE(bad.ok);
    EXPECT_FALSE(bad.reason.isEmpty());
}

}  // namespace

#include "platform/PropertyBag.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

PropertyBag SampleBag()
{
    PropertyBag bag;
    bag.WriteProperty("Text", QStringLiteral("a,b\\c/ä€"));
    bag.WriteProperty("Empty", QString());
    bag.WriteProperty("Byte", std::uint8_t{255});
    bag.WriteProperty("Integer", std::int16_t{-32768});
    bag.WriteProperty("Long", std::int32_t{-2147483647 - 1});
    return bag;
}

TEST(PropertyBagTest, RoundTripKeepsNamesOrderTypesAndValues)
{
    const QByteArray block = SampleBag().Contents();
    const Expected<PropertyBag> back = PropertyBag::FromContents(block);
    ASSERT_TRUE(back) << back.reason.toStdString();
    ASSERT_EQ(back->Entries().size(), 5u);
    EXPECT_EQ(back->Entries()[0].name, "Text");
    EXPECT_EQ(back->Entries()[4].name, "Long");
    EXPECT_EQ(std::get<QString>(back->ReadProperty("Text")), QStringLiteral("a,b\\c/ä€"));
    EXPECT_EQ(std::get<QString>(back->ReadProperty("Empty")), QString());
    EXPECT_EQ(std::get<std::uint8_t>(back->ReadProperty("Byte")), 255);
    EXPECT_EQ(std::get<std::int16_t>(back->ReadProperty("Integer")), -32768);
    EXPECT_EQ(std::get<std::int32_t>(back->ReadProperty("Long")), -2147483647 - 1);
    // A name the bag lacks reads as an empty value; names are spelled exactly.
    EXPECT_TRUE(std::holds_alternative<std::monostate>(back->ReadProperty("Missing")));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(back->ReadProperty("text")));
}

TEST(PropertyBagTest, RewritingANameReplacesItsValueInPlace)
{
    PropertyBag bag = SampleBag();
    bag.WriteProperty("Text", std::int32_t{5});
    ASSERT_EQ(bag.Entries().size(), 5u);
    EXPECT_EQ(bag.Entries()[0].name, "Text");
    EXPECT_EQ(std::get<std::int32_t>(bag.ReadProperty("Text")), 5);
}

QByteArray LE32(std::uint32_t v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

TEST(PropertyBagTest, HostileBlocksAreRejectedWithAReason)
{
    const QByteArray magic("FPB\x01", 4);
    const QByteArray oneName = QByteArray("\x01\x00", 2) + "A";
    struct Case {
        const char *what;
        QByteArray block;
    } cases[] = {
        {"empty", {}},
        {"foreign bytes", QByteArray("%PDF-1.7\n")},
        {"count far beyond the block", magic + LE32(0xFFFFFFFFu)},
        {"count one more than present", magic + LE32(2) + oneName + QByteArray("\x11\x07", 2)},
        {"name length beyond the block", magic + LE32(1) + QByteArray("\xFF\xFF", 2) + "A"},
        {"string length beyond the block", magic + LE32(1) + oneName + "\x08" + LE32(0x7FFFFFFFu) + "xy"},
        {"unknown type", magic + LE32(1) + oneName + "\x05" + QByteArray(8, 0)},
        {"value cut off", magic + LE32(1) + oneName + "\x03" + QByteArray(2, 0)},
        {"stray bytes", magic + LE32(1) + oneName + QByteArray("\x11\x07", 2) + "!"},
        {"name twice", magic + LE32(2) + oneName + QByteArray("\x11\x07", 2) + oneName + QByteArray("\x11\x08", 2)},
    };
    for (const Case &c : cases) {
        const Expected<PropertyBag> bag = PropertyBag::FromContents(c.block);
        EXPECT_FALSE(bag) << c.what;
        EXPECT_FALSE(bag.reason.isEmpty()) << c.what;
    }
}

TEST(PropertyBagTest, EveryTruncationAndRandomBlockIsHandled)
{
    const QByteArray block = SampleBag().Contents();
    for (qsizetype n = 0; n < block.size(); ++n)
        EXPECT_FALSE(PropertyBag::FromContents(block.left(n))) << n;
    QRandomGenerator rng(42);
    for (int i = 0; i < 2000; ++i) {
        QByteArray bytes = block;
        for (int k = 0; k < 3; ++k)
            bytes[rng.bounded(int(bytes.size()))] = char(rng.bounded(256));
        (void)PropertyBag::FromContents(bytes); // must simply answer
    }
}

}  // namespace

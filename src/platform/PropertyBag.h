#pragma once
// A bag of named, typed values that turns into one byte block and back. The settings file and the
// start-up write check store their contents through it.
//
// Block layout (little-endian): "FPB" and a format byte 1, a 32-bit entry count, then per entry a
// 16-bit name length, the name in UTF-8, a type byte (2 signed 16-bit, 3 signed 32-bit, 8 string,
// 17 unsigned 8-bit) and the value: 2 or 4 bytes for the numbers, 1 byte for the byte value, or a
// 32-bit length and UTF-8 text for a string.

#include "platform/Outcome.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <variant>
#include <vector>

namespace folvane {

class PropertyBag {
public:
    /// monostate stands for a name the bag does not hold.
    using Value = std::variant<std::monostate, QString, std::uint8_t, std::int16_t, std::int32_t>;
    struct Entry {
        QString name;
        Value value;
    };

    /// Adds the value under name, or replaces the value of an entry of that name where it stands.
    void WriteProperty(const QString &name, const Value &value);
    /// The value stored under name (exact spelling); monostate when the bag lacks it.
    Value ReadProperty(const QString &name) const;
    /// The entries in the order they were first written.
    const std::vector<Entry> &Entries() const noexcept { return entries_; }

    /// The serialized block.
    QByteArray Contents() const;

    /// Reads a block made by Contents(); the reason for any other bytes. Every length is checked
    /// against what is left of the block before it is used, so no input crashes or over-allocates.
    static Expected<PropertyBag> FromContents(const QByteArray &block);

private:
    std::vector<Entry> entries_;
};

}  // namespace folvane

#include "platform/PropertyBag.h"

#include <QSet>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace folvane {

namespace {

constexpr char kMagic[4] = {'F', 'P', 'B', 1};
constexpr std::uint8_t kTypeInteger = 2;
constexpr std::uint8_t kTypeLong = 3;
constexpr std::uint8_t kTypeString = 8;
constexpr std::uint8_t kTypeByte = 17;
// name length, empty name, type byte, smallest value (one byte)
constexpr qsizetype kSmallestEntry = 2 + 0 + 1 + 1;

void putLE(QByteArray &out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

/// Reads forward through a block; every read checks the bytes left first.
class Reader {
public:
    explicit Reader(const QByteArray &b) : data_(b) {}
    qsizetype left() const { return data_.size() - pos_; }
    bool take(qsizetype n, const char *&p)
    {
        if (n < 0 || n > left())
            return false;
        p = data_.constData() + pos_;
        pos_ += n;
        return true;
    }
    bool uint(int bytes, std::uint32_t &v)
    {
        const char *p = nullptr;
        if (!take(bytes, p))
            return false;
        v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= std::uint32_t(static_cast<unsigned char>(p[i])) << (8 * i);
        return true;
    }

private:
    const QByteArray &data_;
    qsizetype pos_ = 0;
};

}  // namespace

void PropertyBag::WriteProperty(const QString &name, const Value &value)
{
    for (auto &e : entries_) {
        if (e.name == name) {
            e.value = value;
            return;
        }
    }
    entries_.push_back({name, value});
}

PropertyBag::Value PropertyBag::ReadProperty(const QString &name) const
{
    for (const auto &e : entries_)
        if (e.name == name)
            return e.value;
    return std::monostate{};
}

QByteArray PropertyBag::Contents() const
{
    QByteArray out(kMagic, sizeof kMagic);
    putLE(out, static_cast<std::uint32_t>(entries_.size()), 4);
    for (const auto &e : entries_) {
        const QByteArray name = e.name.toUtf8();
        if (name.size() > std::numeric_limits<std::uint16_t>::max())
            throw std::length_error("property name too long");
        putLE(out, static_cast<std::uint32_t>(name.size()), 2);
        out.append(name);
        std::visit(
            [&out](const auto &v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, QString>) {
                    const QByteArray text = v.toUtf8();
                    out.append(static_cast<char>(kTypeString));
                    putLE(out, static_cast<std::uint32_t>(text.size()), 4);
                    out.append(text);
                } else if constexpr (std::is_same_v<T, std::uint8_t>) {
                    out.append(static_cast<char>(kTypeByte));
                    putLE(out, v, 1);
                } else if constexpr (std::is_same_v<T, std::int16_t>) {
                    out.append(static_cast<char>(kTypeInteger));
                    putLE(out, static_cast<std::uint16_t>(v), 2);
                } else if constexpr (std::is_same_v<T, std::int32_t>) {
                    out.append(static_cast<char>(kTypeLong));
                    putLE(out, static_cast<std::uint32_t>(v), 4);
                } else {
                    throw std::invalid_argument("an empty value cannot be stored");
                }
            },
            e.value);
    }
    return out;
}

Expected<PropertyBag> PropertyBag::FromContents(const QByteArray &block)
{
    Reader r(block);
    const char *p = nullptr;
    if (!r.take(sizeof kMagic, p) || !std::equal(p, p + sizeof kMagic, kMagic))
        return Outcome::Failed(QStringLiteral("not a property bag"));
    std::uint32_t count = 0;
    if (!r.uint(4, count))
        return Outcome::Failed(QStringLiteral("entry count missing"));
    // A count that the remaining bytes cannot hold is rejected before anything is reserved.
    if (count > static_cast<std::uint64_t>(r.left() / kSmallestEntry))
        return Outcome::Failed(QStringLiteral("entry count %1 larger than the block").arg(count));

    PropertyBag bag;
    bag.entries_.reserve(count);
    QSet<QString> seen;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t nameLen = 0;
        if (!r.uint(2, nameLen) || !r.take(nameLen, p))
            return Outcome::Failed(QStringLiteral("entry %1: name past the end of the block").arg(i));
        const QString name = QString::fromUtf8(p, nameLen);
        if (seen.contains(name))
            return Outcome::Failed(QStringLiteral("entry %1: name %2 stored twice").arg(i).arg(name));
        seen.insert(name);

        std::uint32_t type = 0;
        std::uint32_t v = 0;
        if (!r.uint(1, type))
            return Outcome::Failed(QStringLiteral("entry %1: type past the end of the block").arg(i));
        Value value;
        bool ok = true;
        switch (type) {
        case kTypeByte:
            ok = r.uint(1, v);
            value = static_cast<std::uint8_t>(v);
            break;
        case kTypeInteger:
            ok = r.uint(2, v);
            value = static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
            break;
        case kTypeLong:
            ok = r.uint(4, v);
            value = static_cast<std::int32_t>(v);
            break;
        case kTypeString:
            ok = r.uint(4, v) && r.take(static_cast<qsizetype>(v), p);
            if (ok)
                value = QString::fromUtf8(p, static_cast<qsizetype>(v));
            break;
        default:
            return Outcome::Failed(QStringLiteral("entry %1: unknown type %2").arg(i).arg(type));
        }
        if (!ok)
            return Outcome::Failed(QStringLiteral("entry %1: value past the end of the block").arg(i));
        bag.entries_.push_back({name, std::move(value)});
    }
    if (r.left() != 0)
        return Outcome::Failed(QStringLiteral("%1 stray bytes after the last entry").arg(r.left()));
    return bag;
}

}  // namespace folvane

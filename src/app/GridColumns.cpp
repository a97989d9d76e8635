#include "app/GridColumns.h"

#include "app/ErrorLog.h"
#include "app/modGeneral.h"

namespace folvane {

namespace {
bool SameKey(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
}  // namespace

int GridColumns::find(const ColumnRef &ref) const
{
    if (const int *position = std::get_if<int>(&ref))
        return *position >= 1 && *position <= Count() ? *position - 1 : -1;
    const QString &key = std::get<QString>(ref);
    if (key.isEmpty())
        return -1;
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (SameKey(items_[i].key, key))
            return static_cast<int>(i);
    return -1;
}

GridColumns::Ptr GridColumns::Add(const QString &ColumnKey, float ColumnWidth, std::int16_t ColumnIndex,
                                  const QString &ColumnName, std::int32_t ColumnDatatype, const QString &sKey,
                                  const std::optional<ColumnRef> &Before, const std::optional<ColumnRef> &After)
{
    Ptr result;
    Guarded("Add", Unit::GridColumns, [&] {
        Require(sKey.isEmpty() || find(sKey) < 0, ErrNo::KeyAlreadyExists,
                QStringLiteral("This key is already associated with an element of this collection"));
        std::size_t at = items_.size();
        if (Before || After) {
            const int anchor = find(Before ? *Before : *After);
            Require(anchor >= 0, ErrNo::InvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
            at = static_cast<std::size_t>(Before ? anchor : anchor + 1);
        }
        auto record = std::make_shared<GridColumn>(
            GridColumn{ColumnName, ColumnIndex, ColumnWidth, ColumnKey, ColumnDatatype});
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), Entry{sKey, record});
        result = std::move(record);
    });
    return result;
}

GridColumns::Ptr GridColumns::Item(const ColumnRef &ref) const
{
    const int i = find(ref);
    return i < 0 ? nullptr : items_[static_cast<std::size_t>(i)].record;
}

void GridColumns::Remove(const ColumnRef &ref)
{
    const int i = find(ref);
    if (i >= 0)
        items_.erase(items_.begin() + i);
}

void AddDefaultResultColumns(GridColumns &model)
{
    struct Column {
        QLatin1StringView key;
        float width;
        std::int32_t type;
    };
    static constexpr Column columns[] = {
        {ColumnKey::Name, 1800, ColType::String},     {ColumnKey::Selection, 250, ColType::Boolean},
        {ColumnKey::Pages, 700, ColType::Decimal},    {ColumnKey::Location, 1800, ColType::String},
        {ColumnKey::Size, 1000, ColType::Decimal},    {ColumnKey::Type, 1400, ColType::String},
        {ColumnKey::Created, 1400, ColType::Date},    {ColumnKey::Modified, 1400, ColType::Date},
    };
    std::int16_t index = 0;
    for (const Column &c : columns) {
        const QString key = c.key;
        model.Add(key, c.width, index++, key, c.type, key);
    }
}

int ColumnOf(QLatin1StringView key) { return modGeneral::GetColumnIndexByKey(key); }

}  // namespace folvane

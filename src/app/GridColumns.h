#pragma once
// The result-grid column model: a keyed, ordered collection of column records.

#include <QLatin1StringView>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace folvane {

/// The grid's column data types.
namespace ColType {
inline constexpr std::int32_t Date = 7;
inline constexpr std::int32_t String = 8;
inline constexpr std::int32_t Boolean = 11;
inline constexpr std::int32_t Decimal = 14;
}  // namespace ColType

/// Keys of the result grid's columns: the column model, the stored column lists and the grids' headers
/// all name the columns so.
namespace ColumnKey {
inline constexpr QLatin1StringView Name{"Name"};
inline constexpr QLatin1StringView Selection{"Selection"};
inline constexpr QLatin1StringView Pages{"Pages"};
inline constexpr QLatin1StringView Location{"Location"};
inline constexpr QLatin1StringView Size{"Size (In KB)"};
inline constexpr QLatin1StringView Type{"Type"};
inline constexpr QLatin1StringView Created{"Created Date"};
inline constexpr QLatin1StringView Modified{"Modified Date"};
/// The header of the document dialogs' last column, which follows the model's columns; no column of
/// the model has this key.
inline constexpr QLatin1StringView Range{"Range"};
}  // namespace ColumnKey

struct GridColumn {
    QString ColumnName;
    std::int16_t ColumnIndex = 0; ///< display position from 0
    float ColumnWidth = 0;        ///< twips
    QString ColumnKey;
    std::int32_t ColumnDatatype = 0;
};

/// A 1-based position or a key (keys compare without regard to case).
using ColumnRef = std::variant<int, QString>;

class GridColumns {
public:
    using Ptr = std::shared_ptr<GridColumn>;

    /// Inserts a new record under sKey (when not empty), before `Before`, else after `After`, else at
    /// the end. A duplicate key or a Before/After naming no item is logged; the result is then null.
    Ptr Add(const QString &ColumnKey, float ColumnWidth, std::int16_t ColumnIndex, const QString &ColumnName,
            std::int32_t ColumnDatatype, const QString &sKey = QString(),
            const std::optional<ColumnRef> &Before = std::nullopt,
            const std::optional<ColumnRef> &After = std::nullopt);
    /// Null for a position or key that names no item.
    Ptr Item(const ColumnRef &ref) const;
    std::int32_t Count() const noexcept { return static_cast<std::int32_t>(items_.size()); }
    /// Ignores a position or key that names no item.
    void Remove(const ColumnRef &ref);

    // NewEnum: for-each over the records in collection order.
    auto begin() const { return RecordIterator{items_.begin()}; }
    auto end() const { return RecordIterator{items_.end()}; }

private:
    struct Entry {
        QString key; ///< empty when added without one
        Ptr record;
    };
    struct RecordIterator {
        std::vector<Entry>::const_iterator it;
        const Ptr &operator*() const { return it->record; }
        RecordIterator &operator++()
        {
            ++it;
            return *this;
        }
        bool operator!=(const RecordIterator &o) const { return it != o.it; }
        bool operator==(const RecordIterator &o) const { return it == o.it; }
    };
    /// Zero-based index of the entry a ref names, or -1.
    int find(const ColumnRef &ref) const;

    std::vector<Entry> items_;
};

/// Builds the eight result columns in their default order and widths.
void AddDefaultResultColumns(GridColumns &model);

/// Display position of the column with this key in the program's column model
/// (modGeneral::GetColumnIndexByKey, which logs a missing model and then answers 0).
int ColumnOf(QLatin1StringView key);

}  // namespace folvane

#include "sort/RoleSort.h"

#include "core/ValueOrder.h"
#include "item/ZEPHTreeItem.h"
#include "sort/SortEngine.h"
#include "sort/TypeComparison.h"

#include <cmath>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// The sort keys of values of type T: a bool sorts as an int and a character as its code unit, so
// that they share the sort of a key type that is there anyway; other values are their own keys.
int sortKey(bool value) {
    return value;
}
ushort sortKey(QChar value) {
    return value.unicode();
}
template <typename T> T sortKey(T value) {
    return value;
}

// The built-in comparison on the keys of values that all have type T, with T's own comparison.
// Ascending it is less(x, y) = x < y; descending it is the negation, which places like a stable sort
// with the reversed ordering. The direction is a run-time choice inside one comparison, so that each
// key type instantiates the sort once (these instantiations dominate the build time of this file).
// Empty when T's comparison is no ordering of these values.
template <typename T> QVector<int> keyedOrder(const QVector<QVariant>& values, bool ascending) {
    if constexpr (std::is_same<T, QDateTime>::value) {
        // Date-times in local time compare by local or by UTC time depending on their daylight
        // saving state, which is not always an ordering.
        Q_UNUSED(values)
        Q_UNUSED(ascending)
        return {};
    } else {
        using Key = decltype(sortKey(std::declval<T>()));
        std::vector<Key> keys;
        keys.reserve(values.size());
        for (const QVariant& value : values)
            keys.push_back(sortKey(ValueOrder::valueAs<T>(value)));
        if constexpr (std::is_same<T, double>::value) {
            // NaN compares false with everything, which is no ordering.
            for (double key : keys) {
                if (std::isnan(key)) return {};
            }
        }
        return SortEngine::keyedStableOrder(
            std::move(keys), ascending, [ascending](const Key& a, const Key& b) {
                return ascending ? ValueOrder::compare(a, b) : ValueOrder::compare(b, a);
            });
    }
}

} // namespace

RoleSort::RoleSort(const QList<ZEPHTreeItem*>& items, int role) {
    m_rows.reserve(items.size());
    m_values.reserve(items.size());
    // Whether a value equals an invalid QVariant depends on its type only (the comparison fails
    // on the conversion to or from the invalid type), so it is asked once per type.
    int lastType = -1;
    bool lastInvalid = false;
    for (int row = 0; row < items.size(); ++row) {
        QVariant value = items.at(row)->getData(role);
        if (value.userType() != lastType) {
            lastType = value.userType();
            lastInvalid = value == QVariant();
        }
        if (lastInvalid) {
            m_setAside.append(row);
        } else {
            m_rows.append(row);
            m_values.append(std::move(value));
        }
    }
}

QVector<int> RoleSort::rowsOf(const QVector<int>& entries) const {
    QVector<int> rows;
    rows.reserve(entries.size() + m_setAside.size());
    for (int entry : entries)
        rows.append(m_rows.at(entry));
    rows += m_setAside;
    return rows;
}

QVector<int> RoleSort::orderBy(const Compare& compare, bool ascending) const {
    return rowsOf(SortEngine::treeOrder(m_values.size(), [&](int placed, int incoming) {
        const bool r = compare(m_values.at(placed), m_values.at(incoming));
        return ascending ? r : !r;
    }));
}

QVector<int> RoleSort::orderByType(bool ascending) const {
    const int count = m_values.size();
    const int common = count > 0 ? int(m_values.first().type()) : int(QVariant::Invalid);
    bool oneType = true;
    bool anyOrdered = false;
    for (const QVariant& value : m_values) {
        const int type = value.type();
        oneType = oneType && type == common;
        anyOrdered = anyOrdered || TypeComparison::hasOrder(type);
    }
    // No value has an ordered type: every comparison is false, so every entry goes in front.
    if (!anyOrdered) return rowsOf(SortEngine::stableOrder(count, true, [](int, int) { return 0; }));
    if (oneType) {
        QVector<int> order = typedOrder(common, ascending);
        if (!order.isEmpty()) return rowsOf(order);
    }
    // Mixed types: the comparison need not be an ordering, so only the placement itself is exact.
    return rowsOf(SortEngine::treeOrder(count, [&](int placed, int incoming) {
        return TypeComparison::less(m_values.at(placed), m_values.at(incoming), ascending);
    }));
}

// Values of one ordered type, compared with a consistent less-than: the stable sort gives the
// placement's order. Empty when the type's comparison is not consistent for these values.
QVector<int> RoleSort::typedOrder(int type, bool ascending) const {
    QVector<int> order;
    ValueOrder::withOrderedType(type, [&](auto valueType) {
        order = keyedOrder<typename decltype(valueType)::type>(m_values, ascending);
    });
    return order;
}

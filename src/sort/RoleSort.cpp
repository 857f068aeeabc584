#include "sort/RoleSort.h"

#include "item/ZEPHTreeItem.h"
#include "sort/SortEngine.h"
#include "sort/TypeComparison.h"

#include <QDate>
#include <QTime>

#include <cmath>
#include <vector>

namespace {

template <typename T> int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The built-in comparison on keys read out of values that all have one type. Ascending it is
// less(x, y) = x < y; descending it is the negation, which places like a stable sort with the
// reversed ordering. The direction is a run-time choice inside one comparison, so that each key
// type instantiates the sort once (these instantiations dominate the build time of this file).
template <typename Key, typename Cmp>
QVector<int> keyedOrder(std::vector<Key> keys, bool ascending, Cmp cmp) {
    return SortEngine::keyedStableOrder(
        std::move(keys), ascending,
        [&cmp, ascending](const Key& a, const Key& b) { return ascending ? cmp(a, b) : cmp(b, a); });
}

template <typename Key, typename Read> std::vector<Key> keysOf(const QVector<QVariant>& values, Read read) {
    std::vector<Key> keys;
    keys.reserve(values.size());
    for (const QVariant& value : values)
        keys.push_back(read(value));
    return keys;
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
    switch (type) {
    case QVariant::String: {
        auto keys = keysOf<QString>(m_values, [](const QVariant& v) { return v.toString(); });
        return keyedOrder(std::move(keys), ascending,
                          [](const QString& a, const QString& b) { return QString::compare(a, b); });
    }
    case QVariant::Bool:
        return keyedOrder(keysOf<int>(m_values, [](const QVariant& v) { return int(v.toBool()); }), ascending,
                          threeWay<int>);
    case QVariant::Int:
        return keyedOrder(keysOf<int>(m_values, [](const QVariant& v) { return v.toInt(); }), ascending,
                          threeWay<int>);
    case QVariant::UInt:
        return keyedOrder(keysOf<uint>(m_values, [](const QVariant& v) { return v.toUInt(); }), ascending,
                          threeWay<uint>);
    case QVariant::LongLong:
        return keyedOrder(keysOf<qlonglong>(m_values, [](const QVariant& v) { return v.toLongLong(); }),
                          ascending, threeWay<qlonglong>);
    case QVariant::ULongLong:
        return keyedOrder(keysOf<qulonglong>(m_values, [](const QVariant& v) { return v.toULongLong(); }),
                          ascending, threeWay<qulonglong>);
    case QVariant::Char:
        return keyedOrder(keysOf<ushort>(m_values, [](const QVariant& v) { return v.toChar().unicode(); }),
                          ascending, threeWay<ushort>);
    case QVariant::Double: {
        auto keys = keysOf<double>(m_values, [](const QVariant& v) { return v.toDouble(); });
        // NaN compares false with everything, which is no ordering.
        for (double key : keys) {
            if (std::isnan(key)) return {};
        }
        return keyedOrder(std::move(keys), ascending, threeWay<double>);
    }
    case QVariant::ByteArray:
        return keyedOrder(keysOf<QByteArray>(m_values, [](const QVariant& v) { return v.toByteArray(); }),
                          ascending, [](const QByteArray& a, const QByteArray& b) { return qstrcmp(a, b); });
    case QVariant::Date:
        return keyedOrder(keysOf<QDate>(m_values, [](const QVariant& v) { return v.toDate(); }), ascending,
                          threeWay<QDate>);
    case QVariant::Time:
        return keyedOrder(keysOf<QTime>(m_values, [](const QVariant& v) { return v.toTime(); }), ascending,
                          threeWay<QTime>);
    default:
        // Date-times in local time compare by local or by UTC time depending on their daylight
        // saving state, which is not always an ordering.
        return {};
    }
}

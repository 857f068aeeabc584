#pragma once

#include <QList>
#include <QVariant>
#include <QVector>

#include <functional>

class ZEPHTreeItem;

// One role sort over a snapshot of a model's rows: every item's value for the role is read once,
// in row order; items whose value is invalid are set aside and keep their relative order after
// the sorted ones. The orders returned list row numbers of the snapshot.
class RoleSort {
public:
    /// A comparison r(placed, incoming): true when `placed` sorts before `incoming`.
    using Compare = std::function<bool(const QVariant& placed, const QVariant& incoming)>;

    RoleSort(const QList<ZEPHTreeItem*>& items, int role);

    /// The values of the items that take part in the sort, in row order.
    const QVector<QVariant>& values() const { return m_values; }
    /// The new order with the built-in comparison by value type.
    QVector<int> orderByType(bool ascending) const;
    /// The new order with `compare`, negated when descending. Exceptions from `compare` propagate.
    QVector<int> orderBy(const Compare& compare, bool ascending) const;

private:
    QVector<int> typedOrder(int type, bool ascending) const;
    QVector<int> rowsOf(const QVector<int>& entries) const;

    QVector<int> m_rows; // row of each value
    QVector<QVariant> m_values;
    QVector<int> m_setAside;
};

#pragma once

#include "sort/SortRules.h"

#include <QList>
#include <QObject>

#include <vector>

class QAbstractItemModel;
class ZEPHTreeItem;

// What a rule sort over plain items with string values leaves behind for the next one on the same
// model: the sorted rows, their keys and which rows rank equal to the row before. A keep-sorted
// model re-sorts after every insertion; with this state the re-sort only places the new rows
// (O(k log n) comparisons) instead of reading and comparing every row again.
//
// The state stays valid only while the model reports no change other than one block of inserted
// rows: any dataChanged (an item's ID or name changed), removal, move, reset or layout change
// drops it. Plain items announce every change of their ID and name through valueChanged(), which
// the model turns into dataChanged; the rows themselves are checked against the model's list
// before the state is used.
class RuleSortCache : public QObject {
    Q_OBJECT
public:
    using State = SortRules::State;

    /// Smaller lists are sorted in full: the state would cost more than it saves.
    static constexpr int MinimumRows = 256;

    /// The cache of `model` (a child object of it), made on first use.
    static RuleSortCache* of(QAbstractItemModel* model);
    /// The cache of `model` when it has one.
    static RuleSortCache* find(QAbstractItemModel* model);

    /// True when the state is still valid and was made with these rules.
    bool usable(const QVector<SortRules::Rule>& rules) const;
    /// The rows as last sorted; the rows inserted since form the block of insertedCount() rows at
    /// insertedFirst() in the model's list.
    const QList<ZEPHTreeItem*>& rows() const { return m_rows; }
    const State& state() const { return m_state; }
    int insertedFirst() const { return m_insertedFirst; }
    int insertedCount() const { return m_insertedCount; }

    /// Records the rows just installed by a sort and the state that describes them; an unset state
    /// drops the cache's state.
    void store(const QList<ZEPHTreeItem*>& rows, State state);
    /// Set around the sort's own dataChanged: the first one that arrives meanwhile changes nothing.
    void setAnnouncing(bool announcing) { m_ownDataChanged = announcing; }
    /// Hands the state over (its keys move on to the next state) and drops it.
    State takeState();
    /// Drops the state.
    void invalidate();

private:
    explicit RuleSortCache(QAbstractItemModel* model);
    void onDataChanged();
    void onRowsInserted(int first, int last);

    QList<ZEPHTreeItem*> m_rows;
    State m_state;
    bool m_valid = false;
    bool m_ownDataChanged = false;
    int m_insertedFirst = 0;
    int m_insertedCount = 0;
};

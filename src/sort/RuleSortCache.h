#pragma once

#include "sort/SortRules.h"

#include <QObject>

class QAbstractItemModel;

// What a rule sort over plain items with string values leaves behind for the next one on the same
// model: the rows are in rule order, and the state says where their runs of tied rows are. A
// keep-sorted model re-sorts after every insertion; with this state the re-sort only places the
// new rows (O(k log n) comparisons) instead of reading and comparing every row again.
//
// The state stays valid only while the model reports no change other than one block of inserted
// rows: any dataChanged (an item's ID or name changed), removal, move, reset or layout change
// drops it. Plain items announce every change of their ID and name through valueChanged(), which
// the model turns into dataChanged. The model does not keep the state for rows that may change
// unseen (rows without a value-change connection, an item list handed out to the host).
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

    /// True when the state is still valid, was made with these rules and describes the model's
    /// `count` rows: the rows as last sorted, with the block of insertedCount() rows inserted since
    /// at insertedFirst().
    bool usable(const QVector<SortRules::Rule>& rules, int count) const;
    const State& state() const { return m_state; }
    int insertedFirst() const { return m_insertedFirst; }
    int insertedCount() const { return m_insertedCount; }

    /// Records the state of the `count` rows just put in order by a sort; an unset state drops the
    /// cache's state.
    void store(int count, State state);
    /// Set around the sort's own dataChanged: the first one that arrives meanwhile changes nothing.
    void setAnnouncing(bool announcing) { m_ownDataChanged = announcing; }
    /// Drops the state.
    void invalidate();

private:
    explicit RuleSortCache(QAbstractItemModel* model);
    void onDataChanged();
    void onRowsInserted(int first, int last);

    State m_state;
    int m_count = 0;
    bool m_valid = false;
    bool m_ownDataChanged = false;
    int m_insertedFirst = 0;
    int m_insertedCount = 0;
};

#pragma once

#include <QList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <vector>

class RuleSortCache;
class ZEPHTreeItem;

// A rule list compiled once per sort: every entry that converts to a non-empty map becomes a role
// number and a direction. Items are compared rule by rule; a rule decides when neither value is
// null and one value is less (QVariant ordering) than the other; items no rule tells apart compare
// false both ways.
class SortRules {
public:
    struct Rule {
        int role = 0;
        bool ascending = false;
    };

    /// A run of rows that rank equal, `count` (at least two) rows from row `first`.
    struct TieRun {
        int first = 0;
        int count = 0;
    };

    /// What a sort of plain items by ID and name leaves for the next sort of the same rows: they
    /// are in rule order, and these are their runs of rows that rank equal.
    struct State {
        QVector<Rule> rules;
        QVector<bool> active;     // per rule: false when all its values are null
        std::vector<TieRun> runs; // by row
        bool isSet() const { return !rules.isEmpty(); }
    };

    /// What the re-sort of sorted rows after at most one insertion does: the inserted row (if any)
    /// moves from row `from` to row `to` as QList::move() moves it, and then every run of the next
    /// state is turned round.
    struct Step {
        int from = -1;
        int to = -1;
        /// The row that `row` (numbered before the step) ends up in.
        int rowAfter(int row, const State& next) const;
    };

    /// Compiles `rules`; `resolve` turns a role name into a role number.
    SortRules(const QVariantList& rules, const std::function<int(const QString&)>& resolve);

    const QVector<Rule>& rules() const { return m_rules; }
    /// The new order of `items` (row numbers), as their placement in rule order gives it. Uses (and
    /// takes) the state in `cache` when it describes these rows; fills `next` with the state of the
    /// new order when it can be used again (else leaves it unset).
    QVector<int> order(const QList<ZEPHTreeItem*>& items, RuleSortCache* cache, State* next) const;
    /// order() as a step, in O(log n) comparisons plus the length of the runs, when the state in
    /// `cache` describes these rows but for at most one row inserted since; else false, and the
    /// cache is left as it was.
    bool step(const QList<ZEPHTreeItem*>& items, RuleSortCache& cache, Step* step, State* next) const;

private:
    QVector<int> placement(const QList<ZEPHTreeItem*>& items) const;
    QVector<int> stringOrder(const QList<ZEPHTreeItem*>& items, State* next) const;
    bool incrementalOrder(const QList<ZEPHTreeItem*>& items, RuleSortCache& cache, QVector<int>* order,
                          State* next) const;
    bool cacheable(int count) const;

    QVector<Rule> m_rules;
};

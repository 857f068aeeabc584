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

    /// What a sort of plain items by ID and name leaves for the next sort of the same rows.
    struct State {
        QVector<Rule> rules;
        QVector<bool> active;                   // per rule: false when all its values are null
        std::vector<std::vector<QString>> keys; // per active rule, the key of each sorted row
        std::vector<char> ties;                 // sorted row i ranks equal to row i - 1
        bool isSet() const { return !rules.isEmpty(); }
    };

    /// Compiles `rules`; `resolve` turns a role name into a role number.
    SortRules(const QVariantList& rules, const std::function<int(const QString&)>& resolve);

    const QVector<Rule>& rules() const { return m_rules; }
    /// The new order of `items` (row numbers), as their placement in rule order gives it. Uses (and
    /// takes) the state in `cache` when it describes these rows; fills `next` with the state of the
    /// new order when it can be used again (else leaves it unset).
    QVector<int> order(const QList<ZEPHTreeItem*>& items, RuleSortCache* cache, State* next) const;

private:
    QVector<int> placement(const QList<ZEPHTreeItem*>& items) const;
    QVector<int> stringOrder(const QList<ZEPHTreeItem*>& items, State* next) const;
    bool incrementalOrder(const QList<ZEPHTreeItem*>& items, RuleSortCache& cache, QVector<int>* order,
                          State* next) const;
    bool cacheable(int count) const;

    QVector<Rule> m_rules;
};

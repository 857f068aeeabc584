#include "sort/SortRules.h"

#include "item/ZEPHTreeItem.h"
#include "sort/RuleSortCache.h"
#include "sort/SortEngine.h"

#include <algorithm>
#include <typeinfo>
#include <vector>

namespace {

enum Decision { Undecided, Before, NotBefore };

// One rule's verdict on two values, with Qt's QVariant less-than and greater-than.
Decision decide(const QVariant& a, const QVariant& b, bool ascending) {
    if (a.isNull() || b.isNull()) return Undecided;
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    if (a < b) return ascending ? Before : NotBefore;
    if (a > b) return ascending ? NotBefore : Before;
    QT_WARNING_POP
    return Undecided;
}

// QVariant orders two different strings case-insensitively and ranks two that differ only in case
// ("case twins") as greater each than the other. Without case twins that is a consistent three-way
// comparison, which this computes; case twins are ranked equal and noted in `caseTwins`, and the
// sort then takes the placement itself. The folding is QString's, with a fast path for ASCII, where
// it maps A-Z to a-z and nothing else. Equal units need no folding; a differing unit outside ASCII
// hands the whole pair to QString (its folding of a surrogate depends on the unit before it).
int foldedCompare(const QString& a, const QString& b, bool* caseTwins) {
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    const int sizeA = a.size();
    const int sizeB = b.size();
    const int common = qMin(sizeA, sizeB);
    bool exact = true;
    for (int i = 0; i < common; ++i) {
        const ushort ca = pa[i].unicode();
        const ushort cb = pb[i].unicode();
        if (ca == cb) continue;
        if ((ca | cb) >= 0x80) {
            const int c = QString::compare(a, b, Qt::CaseInsensitive);
            if (c == 0) *caseTwins = true;
            return c;
        }
        exact = false;
        const ushort fa = (ca >= 'A' && ca <= 'Z') ? ushort(ca + 32) : ca;
        const ushort fb = (cb >= 'A' && cb <= 'Z') ? ushort(cb + 32) : cb;
        if (fa != fb) return fa < fb ? -1 : 1;
    }
    if (sizeA != sizeB) return sizeA < sizeB ? -1 : 1;
    if (!exact) *caseTwins = true;
    return 0;
}

// The string a plain item gives for `role`, read from its fields where getData() would only wrap
// them; false when the value is not a string.
bool readString(const ZEPHTreeItem* item, int role, QString* out, bool* isNull) {
    if (role == ZEPHTreeItem::IdRole || role == ZEPHTreeItem::NameRole) {
        *out = role == ZEPHTreeItem::IdRole ? item->ID() : item->Name();
        *isNull = out->isNull();
        return true;
    }
    const QVariant value = item->getData(role);
    *isNull = value.isNull();
    if (*isNull) return true;
    if (value.userType() != QMetaType::QString) return false;
    *out = value.toString();
    return true;
}

// A plain item answers a role the same way however often it is asked, so its values can be read
// once; an item subclass may not, and is asked on every comparison.
bool allPlain(const QList<ZEPHTreeItem*>& items) {
    for (const ZEPHTreeItem* item : items) {
        if (typeid(*item) != typeid(ZEPHTreeItem)) return false;
    }
    return true;
}

// The value of a rule over ID or name, read from the item's fields.
QString fieldOf(const ZEPHTreeItem* item, int role) {
    return role == ZEPHTreeItem::IdRole ? item->ID() : item->Name();
}

// The three-way comparison of plain items by the rules of a sort state that have values, read from
// the items' fields as needed. Case twins are noted as foldedCompare() notes them.
class FieldCompare {
public:
    explicit FieldCompare(const SortRules::State& state) {
        for (int r = 0; r < state.rules.size(); ++r) {
            if (state.active.at(r)) m_rules.push_back(state.rules.at(r));
        }
    }
    int operator()(const ZEPHTreeItem* a, const ZEPHTreeItem* b) {
        for (const SortRules::Rule& rule : m_rules) {
            const int c = foldedCompare(fieldOf(a, rule.role), fieldOf(b, rule.role), &m_caseTwins);
            if (c != 0) return rule.ascending ? c : -c;
        }
        return 0;
    }
    bool caseTwins() const { return m_caseTwins; }

private:
    std::vector<SortRules::Rule> m_rules;
    bool m_caseTwins = false;
};

// True when `item` is a plain item with a value for exactly the rules of `state` that have values.
bool fits(const ZEPHTreeItem* item, const SortRules::State& state) {
    if (typeid(*item) != typeid(ZEPHTreeItem)) return false;
    for (int r = 0; r < state.rules.size(); ++r) {
        if (fieldOf(item, state.rules.at(r).role).isNull() == state.active.at(r)) return false;
    }
    return true;
}

// The runs of tied rows that a sort's ties describe.
std::vector<SortRules::TieRun> runsOf(const SortEngine::Ties& ties) {
    std::vector<SortRules::TieRun> runs;
    for (int row = 1; row < int(ties.size()); ++row) {
        if (!ties[row]) continue;
        if (!runs.empty() && runs.back().first + runs.back().count == row)
            ++runs.back().count;
        else
            runs.push_back(SortRules::TieRun{row - 1, 2});
    }
    return runs;
}

bool startsBefore(const SortRules::TieRun& run, int row) {
    return run.first < row;
}

} // namespace

int SortRules::Step::rowAfter(int row, const State& next) const {
    if (from >= 0) {
        if (row == from)
            row = to;
        else if (from < row && row <= to)
            --row;
        else if (to <= row && row < from)
            ++row;
    }
    // The last run that starts at or before the row.
    auto run = std::lower_bound(next.runs.cbegin(), next.runs.cend(), row + 1, startsBefore);
    if (run == next.runs.cbegin()) return row;
    --run;
    return row < run->first + run->count ? 2 * run->first + run->count - 1 - row : row;
}

SortRules::SortRules(const QVariantList& rules, const std::function<int(const QString&)>& resolve) {
    for (const QVariant& entry : rules) {
        const QVariantMap map = entry.toMap();
        if (map.isEmpty()) continue;
        Rule rule;
        rule.role = resolve(map.value(QStringLiteral("RoleName")).toString());
        rule.ascending = map.value(QStringLiteral("Ascending")).toBool();
        m_rules.append(rule);
    }
}

QVector<int> SortRules::order(const QList<ZEPHTreeItem*>& items, RuleSortCache* cache, State* next) const {
    *next = State();
    if (m_rules.isEmpty()) // nothing tells items apart: each one goes in front
        return SortEngine::stableOrder(items.size(), true, [](int, int) { return 0; });
    QVector<int> order;
    if (cache && cacheable(items.size()) && incrementalOrder(items, *cache, &order, next)) return order;
    if (allPlain(items)) return stringOrder(items, next);
    // An item subclass is asked for its values on every comparison, as the placement does.
    return SortEngine::treeOrder(items.size(), [&](int placed, int incoming) {
        for (const Rule& rule : m_rules) {
            const Decision d = decide(items.at(placed)->getData(rule.role),
                                      items.at(incoming)->getData(rule.role), rule.ascending);
            if (d != Undecided) return d == Before;
        }
        return false;
    });
}

bool SortRules::cacheable(int count) const {
    if (count < RuleSortCache::MinimumRows) return false;
    for (const Rule& rule : m_rules) {
        if (rule.role != ZEPHTreeItem::IdRole && rule.role != ZEPHTreeItem::NameRole) return false;
    }
    return true;
}

// The placement over values read once (plain items answer the same every time).
QVector<int> SortRules::placement(const QList<ZEPHTreeItem*>& items) const {
    const int count = items.size();
    std::vector<QVector<QVariant>> columns(m_rules.size());
    for (int r = 0; r < m_rules.size(); ++r) {
        columns[r].reserve(count);
        for (const ZEPHTreeItem* item : items)
            columns[r].append(item->getData(m_rules.at(r).role));
    }
    return SortEngine::treeOrder(count, [&](int placed, int incoming) {
        for (int r = 0; r < m_rules.size(); ++r) {
            const Decision d =
                decide(columns[r].at(placed), columns[r].at(incoming), m_rules.at(r).ascending);
            if (d != Undecided) return d == Before;
        }
        return false;
    });
}

// Plain items whose rule values are all strings (or, per rule, all null) order consistently: a
// stable sort gives the placement's order. Any other mix goes through the placement.
QVector<int> SortRules::stringOrder(const QList<ZEPHTreeItem*>& items, State* next) const {
    const int count = items.size();
    State state;
    state.rules = m_rules;
    std::vector<std::vector<QString>> columns;
    std::vector<bool> ascending;
    for (const Rule& rule : m_rules) {
        std::vector<QString> keys;
        keys.reserve(count);
        int nulls = 0;
        for (const ZEPHTreeItem* item : items) {
            QString key;
            bool isNull = false;
            if (!readString(item, rule.role, &key, &isNull)) return placement(items);
            nulls += isNull;
            keys.push_back(std::move(key));
        }
        if (nulls > 0 && nulls < count) return placement(items);
        const bool active = nulls == 0 && count > 0;
        state.active.append(active);
        if (active) {
            columns.push_back(std::move(keys));
            ascending.push_back(rule.ascending);
        }
    }

    bool caseTwins = false;
    SortEngine::Ties ties;
    QVector<int> order;
    if (columns.size() == 1) {
        const bool up = ascending.front();
        order = SortEngine::keyedStableOrder(
            std::move(columns.front()), true,
            [&](const QString& a, const QString& b) {
                const int c = foldedCompare(a, b, &caseTwins);
                return up ? c : -c;
            },
            &ties);
    } else {
        order = SortEngine::stableOrder(
            count, true,
            [&](int p, int q) {
                for (size_t k = 0; k < columns.size(); ++k) {
                    const int c = foldedCompare(columns[k][p], columns[k][q], &caseTwins);
                    if (c != 0) return ascending[k] ? c : -c;
                }
                return 0;
            },
            &ties);
    }
    // Strings that differ only in case decide against each other both ways: only the placement
    // itself gives the exact order.
    if (caseTwins) return placement(items);
    if (cacheable(count)) {
        state.runs = runsOf(ties);
        *next = std::move(state);
    }
    return order;
}

// The rows outside the block inserted since the last sort are that sort's result, in order, with
// their runs of tied rows known: only the inserted rows are placed among them. The result is the
// one the full sort gives (both are the stable order of the same ranking); false when the state
// does not describe these rows or the inserted values do not fit the fast comparison.
bool SortRules::incrementalOrder(const QList<ZEPHTreeItem*>& items, RuleSortCache& cache, QVector<int>* order,
                                 State* next) const {
    const int count = items.size();
    if (!cache.usable(m_rules, count)) return false;
    const State& state = cache.state();
    const int first = cache.insertedFirst();
    const int added = cache.insertedCount();
    if (first < 0 || first > count - added) return false;
    for (int i = first; i < first + added; ++i) {
        if (!fits(items.at(i), state)) return false;
    }
    // Entries are rows of `items`: the sorted rows around the inserted block.
    FieldCompare fields(state);
    auto compare = [&](int p, int q) { return fields(items.at(p), items.at(q)); };
    const int kept = count - added;
    std::vector<int> run(kept);
    for (int i = 0; i < kept; ++i)
        run[i] = i < first ? i : i + added;
    SortEngine::Ties runTies(kept, 0);
    for (const TieRun& tied : state.runs)
        std::fill(runTies.begin() + tied.first + 1, runTies.begin() + tied.first + tied.count, 1);
    std::vector<int> rest(added);
    for (int i = 0; i < added; ++i)
        rest[i] = first + i;
    SortEngine::Ties ties;
    *order = SortEngine::mergedOrder(count, std::move(run), runTies, std::move(rest), true, compare, &ties);
    // A new row that differs from another only in case: the full sort finds it and takes the
    // placement.
    if (fields.caseTwins()) return false;
    next->rules = m_rules;
    next->active = state.active;
    next->runs = runsOf(ties);
    return true;
}

// The sorted rows are in rule order with their ties in reverse of their order before, which the
// next sort turns round again: it reverses every run of tied rows. An inserted row joins the rows
// it ties with (a run, one row, or none) where a binary search among the others finds them, after
// the rows of that run that were above it and before those that were below it, and is moved
// there; then every run is turned round.
bool SortRules::step(const QList<ZEPHTreeItem*>& items, RuleSortCache& cache, Step* step, State* next) const {
    const int count = items.size();
    if (!cacheable(count) || !cache.usable(m_rules, count) || cache.insertedCount() > 1) return false;
    const State& state = cache.state();
    std::vector<TieRun> runs = state.runs;
    *step = Step();
    if (cache.insertedCount() == 1) {
        const int from = cache.insertedFirst();
        if (from < 0 || from >= count || !fits(items.at(from), state)) return false;
        const ZEPHTreeItem* item = items.at(from);
        FieldCompare compare(state);
        // The sorted rows are the rows other than `from`.
        const int sorted = count - 1;
        auto sortedAt = [&](int i) { return items.at(i < from ? i : i + 1); };
        // The search compares the new row with both rows around the place it finds: the rows it
        // could tie with, or be a case twin of where the order depends on it, are there, since the
        // sorted rows hold no case twins of each other where their order depends on it. A case
        // twin leaves the order to the full sort.
        int low = 0;
        int atLow = 1; // the comparison of sortedAt(low) with the new row
        for (int high = sorted; low < high;) {
            const int middle = low + (high - low) / 2;
            const int c = compare(sortedAt(middle), item);
            if (c < 0) {
                low = middle + 1;
            } else {
                high = middle;
                atLow = c;
            }
        }
        if (compare.caseTwins()) return false;
        const bool tied = low < sorted && atLow == 0;
        auto run = std::lower_bound(runs.begin(), runs.end(), low, startsBefore);
        int end = low;
        if (tied && run != runs.end() && run->first == low) {
            end = low + run->count;
            ++run->count;
            ++run;
        } else if (tied) {
            end = low + 1;
            run = runs.insert(run, TieRun{low, 2}) + 1;
        }
        for (; run != runs.end(); ++run)
            ++run->first;
        step->from = from;
        step->to = qBound(low, from, end);
    }
    next->rules = m_rules;
    next->active = state.active;
    next->runs = std::move(runs);
    return true;
}

#include "sort/SortRules.h"

#include "item/ZEPHTreeItem.h"
#include "sort/RuleSortCache.h"
#include "sort/SortEngine.h"

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

} // namespace

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
            state.keys.push_back(std::move(keys));
            ascending.push_back(rule.ascending);
        }
    }

    const bool keep = cacheable(count);
    bool caseTwins = false;
    QVector<int> order;
    if (state.keys.size() == 1) {
        const bool up = ascending.front();
        std::vector<QString> keys = keep ? state.keys.front() : std::move(state.keys.front());
        order = SortEngine::keyedStableOrder(
            std::move(keys), true,
            [&](const QString& a, const QString& b) {
                const int c = foldedCompare(a, b, &caseTwins);
                return up ? c : -c;
            },
            &state.ties);
    } else {
        order = SortEngine::stableOrder(
            count, true,
            [&](int p, int q) {
                for (size_t k = 0; k < state.keys.size(); ++k) {
                    const int c = foldedCompare(state.keys[k][p], state.keys[k][q], &caseTwins);
                    if (c != 0) return ascending[k] ? c : -c;
                }
                return 0;
            },
            &state.ties);
    }
    // Strings that differ only in case decide against each other both ways: only the placement
    // itself gives the exact order.
    if (caseTwins) return placement(items);
    if (keep) {
        for (std::vector<QString>& keys : state.keys) {
            std::vector<QString> sorted;
            sorted.reserve(count);
            for (int row : order)
                sorted.push_back(std::move(keys[row]));
            keys.swap(sorted);
        }
        *next = std::move(state);
    }
    return order;
}

// The rows outside the block inserted since the last sort are that sort's result, in order, with
// their keys and ties known: only the inserted rows are read and placed among them. The result is
// the one the full sort gives (both are the stable order of the same ranking); false when the state
// does not describe these rows or the inserted values do not fit the fast comparison.
bool SortRules::incrementalOrder(const QList<ZEPHTreeItem*>& items, RuleSortCache& cache, QVector<int>* order,
                                 State* next) const {
    if (!cache.usable(m_rules)) return false;
    const QList<ZEPHTreeItem*>& rows = cache.rows();
    const State& state = cache.state();
    const int first = cache.insertedFirst();
    const int added = cache.insertedCount();
    const int count = items.size();
    if (count != rows.size() + added || first < 0 || first > rows.size()) return false;
    if (!std::equal(items.cbegin(), items.cbegin() + first, rows.cbegin()) ||
        !std::equal(items.cbegin() + first + added, items.cend(), rows.cbegin() + first))
        return false;

    std::vector<std::vector<QString>> addedKeys(state.keys.size());
    std::vector<bool> ascending;
    for (int r = 0, k = 0; r < m_rules.size(); ++r) {
        if (state.active.at(r)) ascending.push_back(m_rules.at(r).ascending);
        for (int i = first; i < first + added; ++i) {
            const ZEPHTreeItem* item = items.at(i);
            if (typeid(*item) != typeid(ZEPHTreeItem)) return false;
            QString key;
            bool isNull = false;
            if (!readString(item, m_rules.at(r).role, &key, &isNull) || isNull == state.active.at(r))
                return false;
            if (!isNull) addedKeys[k].push_back(std::move(key));
        }
        k += state.active.at(r);
    }

    // Entries are rows of `items`: the sorted rows around the inserted block.
    auto keyOf = [&](size_t column, int row) -> const QString& {
        if (row < first) return state.keys[column][row];
        if (row < first + added) return addedKeys[column][row - first];
        return state.keys[column][row - added];
    };
    bool caseTwins = false;
    auto compare = [&](int p, int q) {
        for (size_t k = 0; k < ascending.size(); ++k) {
            const int c = foldedCompare(keyOf(k, p), keyOf(k, q), &caseTwins);
            if (c != 0) return ascending[k] ? c : -c;
        }
        return 0;
    };
    std::vector<int> run(rows.size());
    for (int i = 0; i < rows.size(); ++i)
        run[i] = i < first ? i : i + added;
    std::vector<int> rest(added);
    for (int i = 0; i < added; ++i)
        rest[i] = first + i;
    State result;
    *order = SortEngine::mergedOrder(count, std::move(run), state.ties, std::move(rest), true, compare,
                                     &result.ties);
    // A new row that differs from another only in case: the full sort finds it and takes the
    // placement.
    if (caseTwins) return false;
    // The keys move on to the new state in the new order.
    State previous = cache.takeState();
    result.rules = m_rules;
    result.active = previous.active;
    result.keys.resize(previous.keys.size());
    for (size_t k = 0; k < previous.keys.size(); ++k) {
        std::vector<QString>& old = previous.keys[k];
        result.keys[k].reserve(count);
        for (int row : *order) {
            if (row < first)
                result.keys[k].push_back(std::move(old[row]));
            else if (row < first + added)
                result.keys[k].push_back(std::move(addedKeys[k][row - first]));
            else
                result.keys[k].push_back(std::move(old[row - added]));
        }
    }
    *next = std::move(result);
    return true;
}

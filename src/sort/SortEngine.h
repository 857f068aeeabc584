#pragma once

#include <QVector>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

// Orders the entries 0..count-1 the way placing them one by one, in index order, into an ordered
// multimap does: from the root, at every entry x already placed go right when less(x, new) holds
// and left otherwise; the new entry becomes a leaf where the walk ends. Every sort of the library
// is this placement; the sorts differ only in the comparison they hand over. A result lists entry
// indices in map order.
//
// For a consistent comparison the placement's result is a stable sort, which the other functions
// compute without the tree. `compare(p, q)` is then a three-way comparison (negative: p sorts
// first) that must be a strict weak ordering; entries it ranks equal come out in reverse index
// order when `reverseTies`, else in index order. The placement gives exactly this order when
// less(x, y) is compare(x, y) < 0 and `reverseTies` is set, and when less(x, y) is
// !(compare(y, x) < 0), the negation of a reversed ordering, and `reverseTies` is clear (the
// descending role sort).
//
// When `ties` is given, every two entries that end up next to each other have been passed to
// `compare` (so that a comparison can watch for pairs that break its consistency), and (*ties)[i]
// tells whether the entry at position i of the result ranks equal to the one before it.
class SortEngine {
public:
    using Less = std::function<bool(int placed, int incoming)>;
    using Ties = std::vector<char>;

    /// The placement itself, in a QMultiMap whose keys compare through `less`. Exact for every
    /// comparison, consistent or not; an exception from `less` propagates and leaves no result.
    static QVector<int> treeOrder(int count, const Less& less);

    /// The stable order of entries ranked by `compare`.
    template <typename Compare>
    static QVector<int> stableOrder(int count, bool reverseTies, Compare compare, Ties* ties = nullptr);

    /// stableOrder() for entries ranked by keys: `compare(a, b)` is a three-way comparison of two
    /// keys. A full sort moves the keys themselves rather than indexes into them, which keeps it
    /// close to the cost of sorting the bare keys.
    template <typename Key, typename KeyCompare>
    static QVector<int> keyedStableOrder(std::vector<Key> keys, bool reverseTies, KeyCompare compare,
                                         Ties* ties = nullptr);

    /// stableOrder() when the entries of `run` are already in ranked order, runTies[i] telling
    /// whether run[i] ranks equal to run[i - 1], and the entries of `rest` (all others) are to be
    /// placed among them: O(n) moves and O(|rest| log n) comparisons.
    template <typename Compare>
    static QVector<int> mergedOrder(int count, std::vector<int> run, const Ties& runTies,
                                    std::vector<int> rest, bool reverseTies, Compare compare,
                                    Ties* ties = nullptr);

private:
    template <typename Compare>
    static bool nearlySortedOrder(int count, bool reverseTies, Compare& compare, Ties* ties,
                                  QVector<int>* order);
};

template <typename Compare>
QVector<int> SortEngine::stableOrder(int count, bool reverseTies, Compare compare, Ties* ties) {
    QVector<int> order;
    if (ties) ties->clear();
    if (count <= 0) return order;
    if (nearlySortedOrder(count, reverseTies, compare, ties, &order)) return order;
    // Ranked by the comparison, then by index: a strict total order, so any sort gives the one
    // stable order.
    order.resize(count);
    for (int i = 0; i < count; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&compare, reverseTies](int p, int q) {
        const int c = compare(p, q);
        if (c != 0) return c < 0;
        return reverseTies ? p > q : p < q;
    });
    if (ties) {
        ties->assign(count, 0);
        for (int i = 1; i < count; ++i)
            (*ties)[i] = compare(order.at(i - 1), order.at(i)) == 0;
    }
    return order;
}

template <typename Key, typename KeyCompare>
QVector<int> SortEngine::keyedStableOrder(std::vector<Key> keys, bool reverseTies, KeyCompare compare,
                                          Ties* ties) {
    QVector<int> order;
    if (ties) ties->clear();
    const int count = int(keys.size());
    if (count <= 0) return order;
    auto byIndex = [&keys, &compare](int p, int q) { return compare(keys[p], keys[q]); };
    if (nearlySortedOrder(count, reverseTies, byIndex, ties, &order)) return order;
    // A stable sort of the entries in placement order: reversed when ties go in reverse.
    std::vector<std::pair<Key, int>> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int index = reverseTies ? count - 1 - i : i;
        entries.emplace_back(std::move(keys[index]), index);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [&compare](const std::pair<Key, int>& a, const std::pair<Key, int>& b) {
                         return compare(a.first, b.first) < 0;
                     });
    order.resize(count);
    for (int i = 0; i < count; ++i)
        order[i] = entries[i].second;
    if (ties) {
        ties->assign(count, 0);
        for (int i = 1; i < count; ++i)
            (*ties)[i] = compare(entries[i - 1].first, entries[i].first) == 0;
    }
    return order;
}

// When the entries in index order are already sorted except for a few (the list was sorted before
// and a few rows were inserted since), split them into a sorted run and the rest, and merge.
// False when the rest grows too large for that to pay.
template <typename Compare>
bool SortEngine::nearlySortedOrder(int count, bool reverseTies, Compare& compare, Ties* ties,
                                   QVector<int>* order) {
    const int limit = 16 + count / 64;
    std::vector<int> run;
    Ties runTies;
    std::vector<int> rest;
    run.reserve(count);
    runTies.reserve(count);
    for (int p = 0; p < count; ++p) {
        if (run.empty()) {
            run.push_back(p);
            runTies.push_back(0);
            continue;
        }
        const int c = compare(p, run.back());
        if (c >= 0) {
            run.push_back(p);
            runTies.push_back(c == 0);
            continue;
        }
        // p is smaller than the run's last entry: either that entry is the stray one (p still fits
        // after the one before it) or p is.
        const int c2 = run.size() < 2 ? 1 : compare(p, run.at(run.size() - 2));
        if (c2 >= 0) {
            rest.push_back(run.back());
            run.back() = p;
            runTies.back() = c2 == 0;
        } else {
            rest.push_back(p);
        }
        if (int(rest.size()) > limit) return false;
    }
    *order = mergedOrder(count, std::move(run), runTies, std::move(rest), reverseTies, compare, ties);
    return true;
}

// The wanted order is the one ranked by (compare, tie position), a strict total order. The run
// needs only its groups of equal entries turned round (when ties go in reverse); the rest is
// sorted on its own and each of its entries is placed into the run by binary search.
template <typename Compare>
QVector<int> SortEngine::mergedOrder(int count, std::vector<int> run, const Ties& runTies,
                                     std::vector<int> rest, bool reverseTies, Compare compare, Ties* ties) {
    // Turning a group round keeps it where it is, so runTies still describes the run afterwards.
    // A turned group meets its neighbours with its other end; those pairs are compared when the
    // caller watches the neighbours.
    if (reverseTies) {
        const int size = int(run.size());
        int start = 0;
        bool lastTurned = false;
        for (int i = 1; i <= size; ++i) {
            if (i == size || !runTies.at(i)) {
                const bool turned = i - start > 1;
                std::reverse(run.begin() + start, run.begin() + i);
                if (ties && start > 0 && (turned || lastTurned)) compare(run.at(start - 1), run.at(start));
                lastTurned = turned;
                start = i;
            }
        }
    }
    auto precedes = [&compare, reverseTies](int p, int q) {
        const int c = compare(p, q);
        if (c != 0) return c < 0;
        return reverseTies ? p > q : p < q;
    };
    if (rest.size() > 1) std::sort(rest.begin(), rest.end(), precedes);
    QVector<int> order(count);
    int* out = order.data();
    std::vector<int> placedAt; // positions in the result of the entries of `rest`
    placedAt.reserve(rest.size());
    auto from = run.cbegin();
    for (int entry : rest) {
        auto to = std::lower_bound(from, run.cend(), entry, precedes);
        out = std::copy(from, to, out);
        from = to;
        placedAt.push_back(int(out - order.data()));
        *out++ = entry;
    }
    std::copy(from, run.cend(), out);
    if (!ties) return order;
    // Two run entries still next to each other keep their tie; a placed entry is compared with its
    // neighbours.
    ties->assign(count, 0);
    std::vector<char> placed(count, 0);
    for (int at : placedAt)
        placed[at] = 1;
    int runIndex = 0;
    for (int i = 0; i < count; ++i) {
        if (placed[i]) {
            if (i > 0) (*ties)[i] = compare(order.at(i - 1), order.at(i)) == 0;
            continue;
        }
        if (i > 0)
            (*ties)[i] = placed[i - 1] ? compare(order.at(i - 1), order.at(i)) == 0 : runTies.at(runIndex);
        ++runIndex;
    }
    return order;
}

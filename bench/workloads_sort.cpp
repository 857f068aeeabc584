// Sorting by name once, and inserting into a model that keeps itself sorted.
#include "Fixtures.h"
#include "Workloads.h"

#include "ZEPHTreeModel.h"

#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include <algorithm>

namespace {
constexpr int kInsertions = 1000;
// A keep-sorted model that re-sorts everything per insertion takes long at large n: the case then
// stops after this much measured time (and at least three insertions) and reports the mean.
constexpr double kInsertionBudgetSeconds = 1.5;

using Keys = std::vector<std::pair<QString, int>>;

Keys nameKeys(const Dataset& data, int n) {
    Keys keys;
    keys.reserve(n);
    for (int i = 0; i < n; ++i)
        keys.emplace_back(data.names[i], i);
    return keys;
}

bool byKey(const std::pair<QString, int>& a, const std::pair<QString, int>& b) {
    return a.first < b.first;
}

bool modelSortedByName(ZEPHTreeModel* model) {
    for (int row = 1; row < model->rowCount(); ++row) {
        if (itemAt(model, row)->Name() < itemAt(model, row - 1)->Name()) return false;
    }
    return true;
}

bool proxySortedByName(const QAbstractItemModel* proxy) {
    QString previous;
    for (int row = 0; row < proxy->rowCount(); ++row) {
        const QString name = proxy->index(row, 0).data(PeerNameRole).toString();
        if (name < previous) return false;
        previous = name;
    }
    return true;
}

QSortFilterProxyModel* sortingProxy(QStandardItemModel* source) {
    auto* proxy = new QSortFilterProxyModel;
    proxy->setSortRole(PeerNameRole);
    proxy->setSourceModel(source);
    benchmark::DoNotOptimize(proxy->rowCount());
    return proxy;
}

QString newId(int i) {
    return QStringLiteral("new-%1").arg(i, 7, 10, QLatin1Char('0'));
}

void registerSortOnce(int n) {
    addCase("sort_by_name", "zeph", n, planFor(n), [n](benchmark::State& state) {
        if (!availability().sort.isEmpty()) return skip(state, availability().sort);
        ZEPHTreeModel* model = sharedModel(n);
        double sum = 0;
        for (auto _ : state) {
            model->SortByRole(ZEPHTreeItem::IdRole, true); // back to load order
            profileOn();
            Stopwatch watch;
            model->SortByRole(ZEPHTreeItem::NameRole, true);
            const double seconds = watch.seconds();
            profileOff();
            if (!modelSortedByName(model)) {
                skip(state, QStringLiteral("wrong result: SortByRole left the rows unsorted"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        model->SortByRole(ZEPHTreeItem::IdRole, true);
        reportValue(state, sum);
    });
    addCase("sort_by_name", "qsfpm", n, planFor(n), [n](benchmark::State& state) {
        QSortFilterProxyModel* proxy = sortingProxy(sharedPeer(n));
        double sum = 0;
        for (auto _ : state) {
            proxy->sort(-1); // back to source order
            Stopwatch watch;
            proxy->sort(0, Qt::AscendingOrder);
            const double seconds = watch.seconds();
            if (!proxySortedByName(proxy)) {
                skip(state, QStringLiteral("wrong result: the proxy is not sorted"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        delete proxy;
        reportValue(state, sum);
    });
    addCase("sort_by_name", "base", n, planFor(n), [n](benchmark::State& state) {
        const Keys loaded = nameKeys(dataset(n), n);
        double sum = 0;
        for (auto _ : state) {
            Keys keys = loaded;
            Stopwatch watch;
            std::stable_sort(keys.begin(), keys.end(), byKey);
            const double seconds = watch.seconds();
            benchmark::DoNotOptimize(keys.data());
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
}

// With `withView`, a filter view listens to the keep-sorted model, and a filter proxy to the sorting
// proxy: both re-test rows after every re-sort, and must show the same rows as before.
void registerKeepSorted(int n, bool withView) {
    const Plan plan{1, 3};
    const std::vector<QString> names = freshNames(kInsertions, 99);
    const std::string workload = withView ? "keep_sorted_view" : "keep_sorted_insert";
    const QVariantList rules{QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                                         {QStringLiteral("Rule"), int(ZEPHTreeModel::SubStr)},
                                         {QStringLiteral("Value"), kMarker}}};
    addCase(workload, "zeph", n, plan, [n, names, withView, rules](benchmark::State& state) {
        if (!availability().keepSort.isEmpty()) return skip(state, availability().keepSort);
        ZEPHTreeModel* model = sharedModel(n);
        double sum = 0;
        for (auto _ : state) {
            model->SortByRoleAndKeep(ZEPHTreeItem::NameRole, true);
            QObject* view = withView ? model->GetFilterModel(rules, true, 0) : nullptr;
            QList<ZEPHTreeItem*> items;
            QStringList ids;
            for (int i = 0; i < kInsertions; ++i) {
                items << new ZEPHTreeItem(newId(i), names[i], nullptr);
                ids << newId(i);
            }
            double seconds = 0;
            int done = 0;
            profileOn();
            while (done < kInsertions && (done < 3 || seconds < kInsertionBudgetSeconds)) {
                Stopwatch watch;
                model->AppendItem(items[done]);
                seconds += watch.seconds();
                ++done;
            }
            profileOff();
            qDeleteAll(items.mid(done));
            const bool sorted =
                modelSortedByName(model) &&
                (!view || qobject_cast<ZEPHTreeModel*>(view)->rowCount() == dataset(n).markedCount);
            destroy(view);
            model->Remove(ids.mid(0, done));
            model->SortByRole(ZEPHTreeItem::IdRole, true); // keep-sorting off, load order back
            if (!sorted) {
                skip(state, QStringLiteral("wrong result: the keep-sorted model lost its order"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3 / done;
        }
        reportValue(state, sum);
    });
    addCase(workload, "qsfpm", n, plan, [n, names, withView](benchmark::State& state) {
        QStandardItemModel* source = sharedPeer(n);
        double sum = 0;
        for (auto _ : state) {
            QSortFilterProxyModel* proxy = sortingProxy(source);
            proxy->sort(0, Qt::AscendingOrder);
            QSortFilterProxyModel* filter = nullptr;
            if (withView) {
                filter = new QSortFilterProxyModel;
                filter->setFilterRole(PeerNameRole);
                filter->setFilterCaseSensitivity(Qt::CaseSensitive);
                filter->setFilterFixedString(kMarker);
                filter->setSourceModel(proxy);
            }
            QList<QStandardItem*> items;
            for (int i = 0; i < kInsertions; ++i) {
                auto* item = new QStandardItem;
                item->setData(newId(i), PeerIdRole);
                item->setData(names[i], PeerNameRole);
                item->setData(0, PeerGroupRole);
                items << item;
            }
            profileOn();
            Stopwatch watch;
            for (QStandardItem* item : items)
                source->appendRow(item);
            const double seconds = watch.seconds();
            profileOff();
            const bool sorted =
                proxySortedByName(proxy) && (!filter || filter->rowCount() == dataset(n).markedCount);
            source->removeRows(n, kInsertions);
            delete filter;
            delete proxy;
            if (!sorted) {
                skip(state, QStringLiteral("wrong result: the proxy lost its order"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3 / kInsertions;
        }
        reportValue(state, sum);
    });
    if (withView) return;
    addCase(workload, "base", n, plan, [n, names](benchmark::State& state) {
        Keys loaded = nameKeys(dataset(n), n);
        std::stable_sort(loaded.begin(), loaded.end(), byKey);
        double sum = 0;
        for (auto _ : state) {
            Keys keys = loaded;
            Stopwatch watch;
            for (int i = 0; i < kInsertions; ++i) {
                const std::pair<QString, int> key(names[i], n + i);
                keys.insert(std::upper_bound(keys.begin(), keys.end(), key, byKey), key);
            }
            const double seconds = watch.seconds();
            benchmark::DoNotOptimize(keys.data());
            state.SetIterationTime(seconds);
            sum += seconds * 1e3 / kInsertions;
        }
        reportValue(state, sum);
    });
}
} // namespace

void registerSortWorkloads(int n) {
    if (n <= 100000) registerSortOnce(n);
    registerKeepSorted(n, false);
    registerKeepSorted(n, true);
}

// Loading, single appends, lookups by ID and memory per item.
#include "Fixtures.h"
#include "Workloads.h"

#include "ZEPHTreeModel.h"

#include <QHash>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include <malloc.h>

#include <algorithm>
#include <random>

namespace {
// The plain-container baseline: rows in a vector and an ID index beside it.
struct BaseRow {
    QString id;
    QString name;
    int group;
};

struct BaseTable {
    std::vector<BaseRow> rows;
    QHash<QString, int> index;
    void append(const QString& id, const QString& name, int group) {
        index.insert(id, int(rows.size()));
        rows.push_back({id, name, group});
    }
};

constexpr int kLookups = 10000;

std::vector<QString> lookupIds(const Dataset& data) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> row(0, data.n - 1);
    std::vector<QString> ids;
    ids.reserve(kLookups);
    for (int i = 0; i < kLookups; ++i)
        ids.push_back(data.ids[row(rng)]);
    return ids;
}

// The Qt peer of both lookups: match() scans the rows, so it runs a share of the lookups and the
// time is scaled up.
void registerMatchPeer(const std::string& workload, int n) {
    const int share = std::clamp(2000000 / n, 5, kLookups);
    addCase(workload, "qsi", n, {1, 3}, [n, share](benchmark::State& state) {
        const std::vector<QString> ids = lookupIds(dataset(n));
        QStandardItemModel* model = sharedPeer(n);
        double sum = 0;
        for (auto _ : state) {
            int found = 0;
            Stopwatch watch;
            for (int i = 0; i < share; ++i)
                found += model->match(model->index(0, 0), PeerIdRole, ids[i], 1, Qt::MatchExactly).size();
            const double seconds = watch.seconds();
            if (found != share) {
                skip(state, QStringLiteral("wrong result: match() missed IDs"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3 * kLookups / share;
        }
        reportValue(state, sum, share < kLookups);
    });
}

// The plain baseline of both lookups: the row that a QHash of IDs gives.
void registerHashBaseline(const std::string& workload, int n) {
    addCase(workload, "base", n, {20, 5}, [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        const std::vector<QString> ids = lookupIds(data);
        QHash<QString, int> index;
        for (int i = 0; i < n; ++i)
            index.insert(data.ids[i], i);
        double sum = 0;
        for (auto _ : state) {
            long long rows = 0;
            Stopwatch watch;
            for (const QString& id : ids)
                rows += index.value(id, -1);
            const double seconds = watch.seconds();
            benchmark::DoNotOptimize(rows);
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
}

// Loading the same rows: with one list append, item by item, and into the peer.
void registerLoad(const std::string& workload, int n, bool asList) {
    addCase(workload, "zeph", n, planFor(n), [n, asList](benchmark::State& state) {
        const Dataset& data = dataset(n);
        double sum = 0;
        for (auto _ : state) {
            ZEPHTreeModel* model = makeModel();
            profileOn();
            Stopwatch watch;
            if (asList) {
                model->AppendItemsList(makeItems(data, n, data.names));
            } else {
                for (int i = 0; i < n; ++i)
                    model->AppendItem(new ZEPHTreeItem(data.ids[i], data.names[i], nullptr));
            }
            const double seconds = watch.seconds();
            profileOff();
            const bool complete = model->rowCount() == n;
            destroy(model);
            if (!complete) {
                skip(state, QStringLiteral("wrong result: the model does not hold every row"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
    addCase(workload, "qsi", n, planFor(n), [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        double sum = 0;
        for (auto _ : state) {
            QStandardItemModel* model = makePeerModel();
            Stopwatch watch;
            for (int i = 0; i < n; ++i)
                appendPeerRow(model, data.ids[i], data.names[i], data.groups[i]);
            const double seconds = watch.seconds();
            delete model;
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
    addCase(workload, "base", n, planFor(n), [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        double sum = 0;
        for (auto _ : state) {
            BaseTable table;
            Stopwatch watch;
            for (int i = 0; i < n; ++i)
                table.append(data.ids[i], data.names[i], data.groups[i]);
            const double seconds = watch.seconds();
            benchmark::DoNotOptimize(table.rows.data());
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
}

void registerFind(int n) {
    const Plan plan{20, 5};
    addCase("find_by_id", "zeph", n, plan, [n](benchmark::State& state) {
        const std::vector<QString> ids = lookupIds(dataset(n));
        ZEPHTreeModel* model = sharedModel(n);
        double sum = 0;
        for (auto _ : state) {
            int found = 0;
            profileOn();
            Stopwatch watch;
            for (const QString& id : ids)
                found += model->FindItem(id) != nullptr;
            const double seconds = watch.seconds();
            profileOff();
            if (found != kLookups) {
                skip(state, QStringLiteral("wrong result: FindItem missed IDs"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
    registerMatchPeer("find_by_id", n);
    registerHashBaseline("find_by_id", n);
}

// FindItemRow against the row a QHash of IDs gives, and against match() (scaled as above).
void registerFindRow(int n) {
    addCase("find_row", "zeph", n, {20, 5}, [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        const std::vector<QString> ids = lookupIds(data);
        ZEPHTreeModel* model = sharedModel(n);
        double sum = 0;
        for (auto _ : state) {
            long long rows = 0;
            profileOn();
            Stopwatch watch;
            for (const QString& id : ids)
                rows += model->FindItemRow(id);
            const double seconds = watch.seconds();
            profileOff();
            if (model->FindItemRow(ids.front()) != ids.front().mid(3).toInt() || rows < 0) {
                skip(state, QStringLiteral("wrong result: FindItemRow gave another row"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
    registerMatchPeer("find_row", n);
    registerHashBaseline("find_row", n);
}

// Bytes in use on the heap: every arena's allocated chunks (headers included) plus mmapped blocks.
size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A copy with its own buffer, as rows read from a file or the network would have.
QString fresh(const QString& s) {
    return QString(s.constData(), s.size());
}

// Runs `load` once per iteration and reports the heap growth it left behind, per row.
template <typename Load> void measureBytes(benchmark::State& state, int n, Load load) {
    double sum = 0;
    for (auto _ : state) {
        const size_t before = heapInUse();
        Stopwatch watch;
        auto cleanup = load();
        const double seconds = watch.seconds();
        const size_t after = heapInUse();
        cleanup();
        state.SetIterationTime(seconds);
        sum += double(after) - double(before);
    }
    reportValue(state, sum / n);
}
} // namespace

void registerModelWorkloads(int n) {
    registerLoad("bulk_load", n, true);
    registerLoad("append_single", n, false);
    registerFind(n);
    registerFindRow(n);
}

void registerMemoryWorkloads(int n) {
    const Plan once{1, 1};
    addCase("memory", "zeph", n, once, [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        measureBytes(state, n, [&] {
            ZEPHTreeModel* model = makeModel();
            QList<ZEPHTreeItem*> items;
            items.reserve(n);
            for (int i = 0; i < n; ++i)
                items.append(new ZEPHTreeItem(fresh(data.ids[i]), fresh(data.names[i]), nullptr));
            model->AppendItemsList(items);
            items.clear();
            return [model] { destroy(model); };
        });
    });
    addCase("memory", "qsi", n, once, [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        measureBytes(state, n, [&] {
            QStandardItemModel* model = makePeerModel();
            for (int i = 0; i < n; ++i)
                appendPeerRow(model, fresh(data.ids[i]), fresh(data.names[i]), data.groups[i]);
            return [model] { delete model; };
        });
    });
    addCase("memory", "qsfpm", n, once, [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        measureBytes(state, n, [&] {
            QStandardItemModel* model = makePeerModel();
            for (int i = 0; i < n; ++i)
                appendPeerRow(model, fresh(data.ids[i]), fresh(data.names[i]), data.groups[i]);
            auto* proxy = new QSortFilterProxyModel;
            proxy->setSourceModel(model);
            benchmark::DoNotOptimize(proxy->rowCount());
            return [model, proxy] {
                delete proxy;
                delete model;
            };
        });
    });
    addCase("memory", "base", n, once, [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        measureBytes(state, n, [&] {
            auto* table = new BaseTable;
            for (int i = 0; i < n; ++i)
                table->append(fresh(data.ids[i]), fresh(data.names[i]), data.groups[i]);
            return [table] { delete table; };
        });
    });
}

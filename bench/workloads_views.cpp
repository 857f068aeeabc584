// Building a filter view, and keeping filter and group views live while single items change.
#include "Fixtures.h"
#include "Workloads.h"

#include "ZEPHTreeModel.h"

#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include <algorithm>
#include <random>

namespace {
// Half of the changes move an item into the view, the other half move the same items back out, so
// every iteration ends with the data it started from.
constexpr int kChangedRows = 500;
constexpr int kChanges = 2 * kChangedRows;

QVariantList substringRules() {
    return {QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                        {QStringLiteral("Rule"), int(ZEPHTreeModel::SubStr)},
                        {QStringLiteral("Value"), kMarker}}};
}

int rowCountOf(QObject* view) {
    return qobject_cast<ZEPHTreeModel*>(view)->rowCount();
}

// The filter of the build workloads: the same rows pass for every contender.
struct BuildFilter {
    std::string workload;
    QVariantList rules;                                  // the view's rule
    int role = PeerNameRole;                             // the proxy's filter role
    QString text;                                        // and its fixed string, or
    QRegularExpression pattern;                          // its pattern
    std::function<bool(int row, const Dataset&)> passes; // the baseline's test
};

std::vector<BuildFilter> buildFilters() {
    const auto rule = [](const char* role, ZEPHTreeModel::FilterRuleColne code, const QString& value) {
        return QVariantList{QVariantMap{{QStringLiteral("RoleName"), QString::fromLatin1(role)},
                                        {QStringLiteral("Rule"), int(code)},
                                        {QStringLiteral("Value"), value}}};
    };
    // Names are lower-case letters: those from "m" on start with m..z.
    return {{"filter_build", substringRules(), PeerNameRole, kMarker, QRegularExpression(),
             [](int row, const Dataset& data) { return data.names[row].contains(kMarker); }},
            {"filter_build_50", rule("nameRole", ZEPHTreeModel::Ge, QStringLiteral("m")), PeerNameRole,
             QString(), QRegularExpression(QStringLiteral("^[m-z]")),
             [](int row, const Dataset& data) { return data.names[row] >= QLatin1String("m"); }},
            {"filter_build_100", rule("idRole", ZEPHTreeModel::SubStr, QStringLiteral("id-")), PeerIdRole,
             QStringLiteral("id-"), QRegularExpression(), [](int, const Dataset&) { return true; }}};
}

QSortFilterProxyModel* filteringProxy(QAbstractItemModel* source, int role = PeerNameRole,
                                      const QString& text = kMarker,
                                      const QRegularExpression& pattern = QRegularExpression()) {
    auto* proxy = new QSortFilterProxyModel;
    proxy->setFilterRole(role);
    proxy->setFilterCaseSensitivity(Qt::CaseSensitive);
    if (text.isEmpty())
        proxy->setFilterRegularExpression(pattern);
    else
        proxy->setFilterFixedString(text);
    proxy->setSourceModel(source);
    return proxy;
}

void registerFilterBuild(int n, const BuildFilter& filter) {
    int expected = 0;
    for (int row = 0; row < n; ++row)
        expected += filter.passes(row, dataset(n));
    addCase(filter.workload, "zeph", n, planFor(n), [n, filter, expected](benchmark::State& state) {
        if (!availability().filter.isEmpty()) return skip(state, availability().filter);
        ZEPHTreeModel* model = sharedModel(n);
        double sum = 0;
        for (auto _ : state) {
            profileOn();
            Stopwatch watch;
            QObject* view = model->GetFilterModel(filter.rules, true, 0);
            const double seconds = watch.seconds();
            profileOff();
            const int rows = rowCountOf(view);
            destroy(view);
            if (rows != expected) {
                skip(state,
                     QStringLiteral("wrong result: %1 rows pass instead of %2").arg(rows).arg(expected));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
    addCase(filter.workload, "qsfpm", n, planFor(n), [n, filter, expected](benchmark::State& state) {
        QStandardItemModel* source = sharedPeer(n);
        double sum = 0;
        for (auto _ : state) {
            Stopwatch watch;
            QSortFilterProxyModel* proxy = filteringProxy(source, filter.role, filter.text, filter.pattern);
            const int rows = proxy->rowCount();
            const double seconds = watch.seconds();
            delete proxy;
            if (rows != expected) {
                skip(state, QStringLiteral("wrong result: the proxy shows %1 rows").arg(rows));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
    addCase(filter.workload, "base", n, planFor(n), [n, filter](benchmark::State& state) {
        const Dataset& data = dataset(n);
        double sum = 0;
        for (auto _ : state) {
            std::vector<int> passing;
            Stopwatch watch;
            for (int i = 0; i < n; ++i) {
                if (filter.passes(i, data)) passing.push_back(i);
            }
            const double seconds = watch.seconds();
            benchmark::DoNotOptimize(passing.data());
            state.SetIterationTime(seconds);
            sum += seconds * 1e3;
        }
        reportValue(state, sum);
    });
}

// Runs the changes in and then back out, checking the view's row count after each half.
// `change(k, in)` applies the k-th change; `rows()` reads the view's row count.
template <typename Change, typename Rows>
bool timeToggles(double& seconds, int marked, Change change, Rows rows) {
    profileOn();
    Stopwatch in;
    for (int k = 0; k < kChangedRows; ++k)
        change(k, true);
    seconds = in.seconds();
    profileOff();
    const bool allIn = rows() == marked + kChangedRows;
    profileOn();
    Stopwatch out;
    for (int k = 0; k < kChangedRows; ++k)
        change(k, false);
    seconds += out.seconds();
    profileOff();
    return allIn && rows() == marked;
}

void registerLiveFilter(int n) {
    const Plan plan{1, 5};
    addCase("live_filter", "zeph", n, plan, [n](benchmark::State& state) {
        if (!availability().filter.isEmpty()) return skip(state, availability().filter);
        const Dataset& data = dataset(n);
        ZEPHTreeModel* model = sharedModel(n);
        const std::vector<int> rows = pickRows(data, kChangedRows, 5, false);
        std::vector<ZEPHTreeItem*> items;
        for (int row : rows)
            items.push_back(static_cast<ZEPHTreeItem*>(model->FindItem(data.ids[row])));
        QObject* view = model->GetFilterModel(substringRules(), true, 0);
        double sum = 0;
        for (auto _ : state) {
            double seconds = 0;
            const bool right = timeToggles(
                seconds, data.markedCount,
                [&](int k, bool in) {
                    const QString& name = data.names[rows[k]];
                    items[k]->SetName(in ? markedName(name) : name);
                },
                [&] { return rowCountOf(view); });
            if (!right) {
                skip(state, QStringLiteral("wrong result: the filter view did not follow the changes"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e6 / kChanges;
        }
        destroy(view);
        reportValue(state, sum);
    });
    addCase("live_filter", "qsfpm", n, plan, [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        QStandardItemModel* source = sharedPeer(n);
        const std::vector<int> rows = pickRows(data, kChangedRows, 5, false);
        QSortFilterProxyModel* proxy = filteringProxy(source);
        double sum = 0;
        for (auto _ : state) {
            double seconds = 0;
            const bool right = timeToggles(
                seconds, data.markedCount,
                [&](int k, bool in) {
                    const QString& name = data.names[rows[k]];
                    source->item(rows[k])->setData(in ? markedName(name) : name, PeerNameRole);
                },
                [&] { return proxy->rowCount(); });
            if (!right) {
                skip(state, QStringLiteral("wrong result: the proxy did not follow the changes"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e6 / kChanges;
        }
        delete proxy;
        reportValue(state, sum);
    });
    // The limit: names in a vector and the passing rows in a sorted vector.
    addCase("live_filter", "base", n, plan, [n](benchmark::State& state) {
        const Dataset& data = dataset(n);
        const std::vector<int> rows = pickRows(data, kChangedRows, 5, false);
        std::vector<QString> names = data.names;
        std::vector<int> passing;
        for (int i = 0; i < n; ++i) {
            if (names[i].contains(kMarker)) passing.push_back(i);
        }
        double sum = 0;
        for (auto _ : state) {
            double seconds = 0;
            const bool right = timeToggles(
                seconds, data.markedCount,
                [&](int k, bool in) {
                    const int row = rows[k];
                    names[row] = in ? markedName(data.names[row]) : data.names[row];
                    auto at = std::lower_bound(passing.begin(), passing.end(), row);
                    const bool shown = at != passing.end() && *at == row;
                    const bool passes = names[row].contains(kMarker);
                    if (passes && !shown)
                        passing.insert(at, row);
                    else if (!passes && shown)
                        passing.erase(at);
                },
                [&] { return int(passing.size()); });
            if (!right) {
                skip(state, QStringLiteral("wrong result: the baseline did not follow the changes"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e6 / kChanges;
        }
        reportValue(state, sum);
    });
}

// Sum of the member counts of all groups, which must equal the source's row count.
int groupedMembers(QObject* view) {
    auto* groups = qobject_cast<ZEPHTreeModel*>(view);
    int members = 0;
    for (int row = 0; row < groups->rowCount(); ++row) {
        auto* group = static_cast<ZEPHTreeItem*>(groups->FindItem(row));
        if (auto* memberModel = qobject_cast<ZEPHTreeModel*>(group->ChildModel()))
            members += memberModel->rowCount();
    }
    return members;
}

void registerLiveGroup(int n) {
    addCase("live_group", "zeph", n, {1, 5}, [n](benchmark::State& state) {
        if (!availability().group.isEmpty()) return skip(state, availability().group);
        const Dataset& data = dataset(n);
        ZEPHTreeModel* model = sharedGroupedModel(n);
        const std::vector<int> rows = pickRows(data, kChangedRows, 6, false);
        std::mt19937 rng(8);
        std::uniform_int_distribution<int> step(1, kGroupCount - 1);
        std::vector<ZEPHTreeItem*> items;
        std::vector<QString> moved;
        for (int row : rows) {
            items.push_back(static_cast<ZEPHTreeItem*>(model->FindItem(data.ids[row])));
            moved.push_back(groupName((data.groups[row] + step(rng)) % kGroupCount));
        }
        QObject* view = model->GetGroupModel(ZEPHTreeItem::NameRole, false);
        const int groups = rowCountOf(view);
        double sum = 0;
        for (auto _ : state) {
            profileOn();
            Stopwatch watch;
            for (size_t k = 0; k < items.size(); ++k)
                items[k]->SetName(moved[k]);
            for (size_t k = 0; k < items.size(); ++k)
                items[k]->SetName(data.groupNames[rows[k]]);
            const double seconds = watch.seconds();
            profileOff();
            if (rowCountOf(view) != groups || groupedMembers(view) != n) {
                skip(state, QStringLiteral("wrong result: the group view did not follow the changes"));
                break;
            }
            state.SetIterationTime(seconds);
            sum += seconds * 1e6 / kChanges;
        }
        destroy(view);
        reportValue(state, sum);
    });
}
} // namespace

void registerViewWorkloads(int n) {
    for (const BuildFilter& filter : buildFilters())
        registerFilterBuild(n, filter);
    registerLiveFilter(n);
    registerLiveGroup(n);
}

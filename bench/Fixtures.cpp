#include "Fixtures.h"

#include "ZEPHTreeModel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStandardItemModel>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define ZEPH_TOGGLE_COLLECT() CALLGRIND_TOGGLE_COLLECT
#else
#define ZEPH_TOGGLE_COLLECT()
#endif

namespace {
bool g_collecting = false;
}

void profileOn() {
    if (!g_collecting) {
        g_collecting = true;
        ZEPH_TOGGLE_COLLECT();
    }
}

void profileOff() {
    if (g_collecting) {
        g_collecting = false;
        ZEPH_TOGGLE_COLLECT();
    }
}

Plan planFor(int n) {
    if (n <= 10000) return {5, 5};
    if (n <= 100000) return {1, 5};
    return {1, 3};
}

void addCase(const std::string& workload, const std::string& contender, int n, Plan plan,
             std::function<void(benchmark::State&)> body) {
    auto* b = benchmark::RegisterBenchmark((workload + "/" + contender).c_str(),
                                           [body](benchmark::State& state) { body(state); });
    if (n > 0) b->Arg(n);
    b->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(plan.iterations)
        ->Repetitions(plan.repetitions)
        ->DisplayAggregatesOnly(true);
}

void reportValue(benchmark::State& state, double sumOverIterations, bool extrapolated) {
    state.counters["v"] = benchmark::Counter(sumOverIterations, benchmark::Counter::kAvgIterations);
    if (extrapolated) state.counters["extrapolated"] = 1;
}

void skip(benchmark::State& state, const QString& reason) {
    state.SkipWithError(qPrintable(reason));
}

QList<ZEPHTreeItem*> makeItems(const Dataset& data, int n, const std::vector<QString>& names) {
    QList<ZEPHTreeItem*> items;
    items.reserve(n);
    for (int i = 0; i < n; ++i)
        items.append(new ZEPHTreeItem(data.ids[i], names[i], nullptr));
    return items;
}

ZEPHTreeModel* makeModel() {
    return new ZEPHTreeModel(nullptr, QHash<int, QByteArray>());
}

ZEPHTreeModel* makeLoadedModel(const Dataset& data, int n, const std::vector<QString>& names) {
    ZEPHTreeModel* model = makeModel();
    model->AppendItemsList(makeItems(data, n, names));
    return model;
}

ZEPHTreeItem* itemAt(ZEPHTreeModel* model, int row) {
    return static_cast<ZEPHTreeItem*>(model->FindItem(row));
}

void destroy(QObject* object) {
    delete object;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Delivering one event type leaves the delivered slots in the thread's event list; a full pass
    // compacts it, as a running event loop would (QObject::moveToThread scans that list).
    QCoreApplication::sendPostedEvents();
}

QStandardItemModel* makePeerModel() {
    auto* model = new QStandardItemModel;
    model->setItemRoleNames(
        {{PeerIdRole, "idRole"}, {PeerNameRole, "nameRole"}, {PeerGroupRole, "groupRole"}});
    return model;
}

void appendPeerRow(QStandardItemModel* model, const QString& id, const QString& name, int group) {
    auto* item = new QStandardItem;
    item->setData(id, PeerIdRole);
    item->setData(name, PeerNameRole);
    item->setData(group, PeerGroupRole);
    model->appendRow(item);
}

QStandardItemModel* makeLoadedPeer(const Dataset& data, int n) {
    QStandardItemModel* model = makePeerModel();
    for (int i = 0; i < n; ++i)
        appendPeerRow(model, data.ids[i], data.names[i], data.groups[i]);
    return model;
}

namespace {
struct Shared {
    int n = 0;
    ZEPHTreeModel* model = nullptr;
    ZEPHTreeModel* grouped = nullptr;
    QStandardItemModel* peer = nullptr;
};
Shared g_shared;

void useSize(int n) {
    if (g_shared.n != n) releaseShared();
    g_shared.n = n;
}
} // namespace

ZEPHTreeModel* sharedModel(int n) {
    useSize(n);
    if (!g_shared.model) g_shared.model = makeLoadedModel(dataset(n), n, dataset(n).names);
    return g_shared.model;
}

ZEPHTreeModel* sharedGroupedModel(int n) {
    useSize(n);
    if (!g_shared.grouped) g_shared.grouped = makeLoadedModel(dataset(n), n, dataset(n).groupNames);
    return g_shared.grouped;
}

QStandardItemModel* sharedPeer(int n) {
    useSize(n);
    if (!g_shared.peer) g_shared.peer = makeLoadedPeer(dataset(n), n);
    return g_shared.peer;
}

void releaseShared() {
    destroy(g_shared.model);
    destroy(g_shared.grouped);
    delete g_shared.peer;
    g_shared = Shared();
}

namespace {
QStringList namesOf(ZEPHTreeModel* model) {
    QStringList names;
    if (!model) return names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << itemAt(model, row)->Name();
    return names;
}

ZEPHTreeModel* probeModel(const QStringList& names) {
    ZEPHTreeModel* model = makeModel();
    QList<ZEPHTreeItem*> items;
    for (int i = 0; i < names.size(); ++i)
        items << new ZEPHTreeItem(QStringLiteral("p%1").arg(i), names.at(i), nullptr);
    model->AppendItemsList(items);
    return model;
}

Availability probe() {
    Availability a;
    const QStringList unsorted = {QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("b")};
    const QStringList sorted = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};

    ZEPHTreeModel* model = probeModel(unsorted);
    model->SortByRole(ZEPHTreeItem::NameRole, true);
    if (namesOf(model) != sorted)
        a.sort = QStringLiteral("not available: SortByRole leaves the order unchanged");
    destroy(model);

    model = probeModel(unsorted);
    model->SortByRoleAndKeep(ZEPHTreeItem::NameRole, true);
    model->AppendItem(new ZEPHTreeItem(QStringLiteral("p9"), QStringLiteral("ab"), nullptr));
    if (namesOf(model) !=
        QStringList({QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("b"), QStringLiteral("c")}))
        a.keepSort = QStringLiteral("not available: keep-sorting does not re-sort after AppendItem");
    destroy(model);

    model = probeModel({QStringLiteral("x") + kMarker, QStringLiteral("y")});
    QObject* view =
        model->GetFilterModel({QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                                           {QStringLiteral("Rule"), int(ZEPHTreeModel::SubStr)},
                                           {QStringLiteral("Value"), kMarker}}},
                              true, 0);
    if (!view)
        a.filter = QStringLiteral("not available: GetFilterModel returns null");
    else if (qobject_cast<ZEPHTreeModel*>(view)->rowCount() != 1)
        a.filter = QStringLiteral("wrong result: the SubStr filter view does not hold exactly the match");
    destroy(view);
    destroy(model);

    model = probeModel({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")});
    view = model->GetGroupModel(ZEPHTreeItem::NameRole, false);
    if (!view)
        a.group = QStringLiteral("not available: GetGroupModel returns null");
    else if (qobject_cast<ZEPHTreeModel*>(view)->rowCount() != 2)
        a.group = QStringLiteral("wrong result: the group view does not hold one row per value");
    destroy(view);
    destroy(model);
    return a;
}
} // namespace

const Availability& availability() {
    static const Availability a = probe();
    return a;
}

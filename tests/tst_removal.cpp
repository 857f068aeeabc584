#include "ProbeModel.h"
#include "SignalLog.h"
#include "TreeBuilder.h"

#include <ZEPHTreeModel.h>

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

using tree::flushDeletes;
using tree::rows;

std::unique_ptr<ProbeModel> makeProbe(const QString& shape, int flags) {
    std::unique_ptr<ProbeModel> model(new ProbeModel(nullptr, {}, flags));
    tree::fill(model.get(), shape);
    return model;
}

// Every object of a tree: its items, their child models, and so on down.
void collect(ZEPHTreeModel* model, QList<QPointer<QObject>>& objects) {
    for (ZEPHTreeItem* item : *model->GetModelItemList()) {
        objects << item;
        if (auto* child = qobject_cast<ZEPHTreeModel*>(item->ChildModel())) {
            objects << child;
            collect(child, objects);
        }
    }
}

QString idOf(const QPointer<QObject>& object) {
    if (auto* item = qobject_cast<ZEPHTreeItem*>(object.data())) return item->ID();
    return QStringLiteral("model of ") + object->objectName();
}

} // namespace

class TstRemoval : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { flushDeletes(); }

    void shouldEmitTheContractSignals_data();
    void shouldEmitTheContractSignals();
    void shouldShowListenersTheRowsOfTheMoment_data();
    void shouldShowListenersTheRowsOfTheMoment();
    void shouldFindRangeRemovedItemsUntilSignalsWereDelivered();
    void shouldInsertRatherThanMergeIntoRemovedItem();
    void shouldKeepItemThatBecameRowAgain_data();
    void shouldKeepItemThatBecameRowAgain();
    void shouldDisposeAccordingToSharedItemsFlag_data();
    void shouldDisposeAccordingToSharedItemsFlag();
    void shouldDeleteAtOnceWhenClearingContainers_data();
    void shouldDeleteAtOnceWhenClearingContainers();
    void shouldReleaseNonModelChildWithoutEmptyingIt();
    void shouldTellProxyThatDisposedChildModelIsGone();
    void shouldEndDisposalOfChildModelCycles_data();
    void shouldEndDisposalOfChildModelCycles();
    void shouldNeverLeadFromIdToNonRow_data();
    void shouldNeverLeadFromIdToNonRow();
    void shouldRemoveIndexedOneOfTwoEqualIds();
    void shouldTreatFoundNonRowAsNotFound();
    void shouldCheckRowsAgainstOwnItems();
    void shouldReorderByReplacingWithOwnItems_data();
    void shouldReorderByReplacingWithOwnItems();
    void shouldKeepItemsOfOldChildModelsThatReplacementBringsIn_data();
    void shouldKeepItemsOfOldChildModelsThatReplacementBringsIn();
    void shouldConnectNoValueChangeForExchangedItems();
    void shouldEmptyTheModelOnDestruction();
};

void TstRemoval::shouldEmitTheContractSignals_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("op");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("signalList");
    QTest::addColumn<QString>("after");

    // clang-format off
    QTest::newRow("remove one") << "A B C" << 0 << "removeOne B" << true << "aboutRem:1-1 rem:1-1 itemsRemoved:B count" << "A C";
    QTest::newRow("remove one unknown") << "A B C" << 0 << "removeOne X" << false << "" << "A B C";
    QTest::newRow("remove ids") << "A B C D" << 0 << "removeIds A X C" << true << "aboutRem:0-0 rem:0-0 aboutRem:1-1 rem:1-1 itemsRemoved:A,C count" << "B D";
    QTest::newRow("remove ids twice the same") << "A B" << 0 << "removeIds B B" << true << "aboutRem:1-1 rem:1-1 itemsRemoved:B count" << "A";
    QTest::newRow("remove ids, none known") << "A B" << 0 << "removeIds X Y" << true << "count" << "A B";
    QTest::newRow("remove ids, empty list") << "A B" << 0 << "removeIds" << true << "count" << "A B";
    QTest::newRow("remove rows") << "A B C D E" << 0 << "removeRows 1 3" << true << "aboutRem:1-3 rem:1-3 itemsRemoved:B,C,D count" << "A E";
    QTest::newRow("remove one row") << "A B" << 2 << "removeRows 1 1" << true << "aboutRem:1-1 rem:1-1 itemsRemoved:B count" << "A";
    QTest::newRow("remove rows from -1") << "A B" << 0 << "removeRows -1 0" << false << "" << "A B";
    QTest::newRow("remove rows backwards") << "A B C" << 0 << "removeRows 2 1" << false << "" << "A B C";
    QTest::newRow("remove rows past tail") << "A B" << 0 << "removeRows 0 2" << false << "" << "A B";
    QTest::newRow("remove rows of empty") << "" << 0 << "removeRows 0 0" << false << "" << "";
    QTest::newRow("remove all") << "A B" << 0 << "removeAll" << true << "aboutRem:0-1 rem:0-1 allRemoved count" << "";
    QTest::newRow("remove all, shared") << "A B" << 2 << "removeAll" << true << "aboutRem:0-1 rem:0-1 allRemoved count" << "";
    QTest::newRow("remove all of empty") << "" << 0 << "removeAll" << true << "" << "";
    QTest::newRow("clear") << "A" << 0 << "clear" << true << "aboutRem:0-0 rem:0-0 allRemoved count" << "";
    QTest::newRow("clear containers") << "A B" << 0 << "clearAll" << true << "aboutReset reset count" << "";
    QTest::newRow("move forward") << "A B C D" << 0 << "move 0 2" << true << "aboutReset reset" << "B C A D";
    QTest::newRow("move back") << "A B C D" << 0 << "move 3 0" << true << "aboutReset reset" << "D A B C";
    QTest::newRow("move in place") << "A B" << 0 << "move 1 1" << true << "aboutReset reset" << "A B";
    QTest::newRow("move from past tail") << "A B" << 0 << "move 2 0" << true << "" << "A B";
    QTest::newRow("move to past tail") << "A B" << 0 << "move 0 2" << true << "" << "A B";
    QTest::newRow("move from -1") << "A B" << 0 << "move -1 0" << true << "" << "A B";
    QTest::newRow("replace") << "A B" << 0 << "replace X ~ Y" << true << "aboutRem:0-1 rem:0-1 allRemoved count aboutIns:0-1 ins:0-1 sort count" << "X Y";
    QTest::newRow("replace empty model") << "" << 0 << "replace X" << true << "aboutIns:0-0 ins:0-0 sort count" << "X";
    QTest::newRow("replace with empty list") << "A B" << 0 << "replace" << true << "aboutRem:0-1 rem:0-1 allRemoved count" << "";
    QTest::newRow("replace, merging in list") << "A" << 4 << "replace A:1 A:2" << true << "aboutRem:0-0 rem:0-0 allRemoved count aboutIns:0-0 ins:0-0 sort count" << "A:2";
    QTest::newRow("exchange, fewer rows") << "A B C" << 0 << "replaceEx X" << true << "aboutRem:1-2 rem:1-2 count data:0-0" << "X";
    QTest::newRow("exchange, more rows") << "A" << 0 << "replaceEx X Y Z" << true << "aboutIns:1-2 ins:1-2 count data:0-2" << "X Y Z";
    QTest::newRow("exchange, as many rows") << "A B" << 2 << "replaceEx X Y" << true << "data:0-1" << "X Y";
    QTest::newRow("exchange, empty for empty") << "" << 0 << "replaceEx" << true << "" << "";
    QTest::newRow("exchange, empty list") << "A B" << 0 << "replaceEx" << true << "aboutRem:0-1 rem:0-1 count" << "";
    QTest::newRow("exchange, nulls skipped") << "A" << 0 << "replaceEx X ~ Y" << true << "aboutIns:1-1 ins:1-1 count data:0-1" << "X Y";
    QTest::newRow("exchange, no merging") << "A" << 4 << "replaceEx X:1 X:2" << true << "aboutIns:1-1 ins:1-1 count data:0-1" << "X:1 X:2";
    // clang-format on
}

void TstRemoval::shouldEmitTheContractSignals() {
    QFETCH(QString, initial);
    QFETCH(int, flags);
    QFETCH(QString, op);
    QFETCH(bool, result);
    QFETCH(QString, signalList);
    QFETCH(QString, after);

    auto model = makeProbe(initial, flags);
    QList<QPointer<QObject>> before;
    collect(model.get(), before);
    model->keepSorting();
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    model->log = &log;
    QCOMPARE(tree::run(model.get(), op), result);
    QCOMPARE(log.take(), signalList);
    QCOMPARE(rows(model.get()), after);
    if (flags & 2) {
        // A model with shared items owns none of them.
        collect(model.get(), before);
        model.reset();
        for (const QPointer<QObject>& object : before)
            delete object.data();
    }
}

void TstRemoval::shouldShowListenersTheRowsOfTheMoment_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("seen");
    // clang-format off
    QTest::newRow("remove one") << "removeOne B" << "aboutRem:A B C rem:A C itemsRemoved:A C count:A C";
    QTest::newRow("remove ids") << "removeIds C A" << "aboutRem:A B C rem:A B aboutRem:A B rem:B itemsRemoved:B count:B";
    QTest::newRow("remove rows") << "removeRows 0 1" << "aboutRem:A B C rem:C itemsRemoved:C count:C";
    QTest::newRow("remove all") << "removeAll" << "aboutRem:A B C rem: allRemoved: count:";
    // An exchange changes only the announced rows inside its announcement: it exchanges the others
    // after a removal, before an insertion.
    QTest::newRow("exchange, fewer rows") << "replaceEx X" << "aboutRem:X B C rem:X count:X";
    QTest::newRow("exchange, more rows") << "replaceEx X Y Z W" << "aboutIns:X Y Z ins:X Y Z W count:X Y Z W";
    QTest::newRow("replace") << "replace X" << "aboutRem:A B C rem: allRemoved: count: aboutIns: ins:X count:X";
    // clang-format on
}

// Listeners of a removal's announcement see the old rows, still alive; listeners of the end of a
// change read the model as it is afterwards.
void TstRemoval::shouldShowListenersTheRowsOfTheMoment() {
    QFETCH(QString, op);
    QFETCH(QString, seen);
    auto model = makeProbe(QStringLiteral("A B C"), 0);
    QList<QPointer<QObject>> old;
    collect(model.get(), old);
    QStringList log;
    bool oldAlive = true;
    const auto look = [&](const char* name) {
        return [&, name] {
            log << QLatin1String(name) + QLatin1Char(':') + tree::ids(model.get());
            if (QByteArray(name).startsWith("aboutRem")) oldAlive = oldAlive && !old.contains(nullptr);
        };
    };
    // Destroyed before the locals its connections use, so the model's teardown reaches none of them.
    QObject listener;
    connect(model.get(), &QAbstractItemModel::rowsAboutToBeRemoved, &listener, look("aboutRem"));
    connect(model.get(), &QAbstractItemModel::rowsRemoved, &listener, look("rem"));
    connect(model.get(), &QAbstractItemModel::rowsAboutToBeInserted, &listener, look("aboutIns"));
    connect(model.get(), &QAbstractItemModel::rowsInserted, &listener, look("ins"));
    connect(model.get(), &ZEPHTreeModel::itemsRemoved, &listener, look("itemsRemoved"));
    connect(model.get(), &ZEPHTreeModel::allItemRemoved, &listener, look("allRemoved"));
    connect(model.get(), &ZEPHTreeModel::rowCountChanged, &listener, look("count"));
    QVERIFY(tree::run(model.get(), op));
    QCOMPARE(log.join(QLatin1Char(' ')), seen);
    QVERIFY(oldAlive);
}

// A range removal drops the IDs only after its signals: until then a lookup by a removed ID still
// finds the (still living) removed item, though it is no row any more.
void TstRemoval::shouldFindRangeRemovedItemsUntilSignalsWereDelivered() {
    auto model = makeProbe(QStringLiteral("A B C"), 0);
    QPointer<QObject> b = model->FindItem(1);
    QStringList found;
    const auto look = [&] { found << (model->FindItem(QStringLiteral("B")) == b.data() ? "B" : "-"); };
    // Destroyed before the locals its connections use, so the model's teardown reaches none of them.
    QObject listener;
    connect(model.get(), &QAbstractItemModel::rowsRemoved, &listener, look);
    connect(model.get(), &ZEPHTreeModel::itemsRemoved, &listener, look);
    connect(model.get(), &ZEPHTreeModel::rowCountChanged, &listener, look);
    QVERIFY(model->Remove(1, 1));
    QCOMPARE(found, (QStringList{"B", "B", "B"}));
    QCOMPARE(model->FindItem(QStringLiteral("B")), nullptr);
    QVERIFY(!model->RemoveOne(QStringLiteral("B")));
    flushDeletes();
    QVERIFY(!b);
}

// While a range removal is announced the index still leads to the removed item; an item with its
// ID inserted by a listener then becomes a row instead of being merged into the leaving item.
void TstRemoval::shouldInsertRatherThanMergeIntoRemovedItem() {
    auto model = makeProbe(QStringLiteral("A B C"), 4);
    bool inserted = false;
    QObject listener;
    connect(model.get(), &QAbstractItemModel::rowsRemoved, &listener, [&] {
        if (!inserted) inserted = model->AppendItem(tree::items(QStringLiteral("B:new")).first());
    });
    QVERIFY(model->Remove(1, 1));
    flushDeletes();
    QVERIFY(inserted);
    QCOMPARE(rows(model.get()), QStringLiteral("A C B:new"));
    QCOMPARE(model->FindItem(QStringLiteral("B")), model->FindItem(2));
}

void TstRemoval::shouldKeepItemThatBecameRowAgain_data() {
    QTest::addColumn<QString>("op");
    QTest::newRow("remove one") << "removeOne B";
    QTest::newRow("remove ids") << "removeIds B";
    QTest::newRow("remove rows") << "removeRows 1 1";
}

// A listener puts the removed item back while the removal is announced: it is a row when the
// removal ends, so it is neither disposed of nor dropped from the index.
void TstRemoval::shouldKeepItemThatBecameRowAgain() {
    QFETCH(QString, op);
    auto model = makeProbe(QStringLiteral("A B C"), 0);
    QPointer<ZEPHTreeItem> b = tree::at(model.get(), 1);
    QObject listener;
    connect(model.get(), &ZEPHTreeModel::itemsRemoved, &listener, [&] { model->AppendItem(b); });
    QVERIFY(tree::run(model.get(), op));
    flushDeletes();
    QVERIFY(b);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("A C B"));
    QCOMPARE(model->FindItem(QStringLiteral("B")), b.data());
    SignalLog log(model.get());
    b->SetName(QStringLiteral("n"));
    QCOMPARE(log.take(), QStringLiteral("data:2-2"));
}

void TstRemoval::shouldDisposeAccordingToSharedItemsFlag_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("alive");
    const QString all = QStringLiteral("A B C D E model of A");
    // After each operation on "A[B C] D E" the objects still in the model survive, and all of them
    // when the model does not own its items.
    const QList<QPair<QString, QString>> cases = {{"removeOne A", "D E"},  {"removeIds A D", "E"},
                                                  {"removeRows 0 1", "E"}, {"removeAll", ""},
                                                  {"replaceOwn E", "E"},   {"replaceExOwn E D", "D E"}};
    for (const auto& c : cases) {
        QTest::addRow("%s, owning", qPrintable(c.first)) << c.first << 0 << c.second;
        QTest::addRow("%s, shared", qPrintable(c.first)) << c.first << 2 << all;
    }
}

// Removed items and their child models (with the child models' items) are gone once deferred
// deletions ran, unless the model has shared items; nothing that is still a row is touched.
void TstRemoval::shouldDisposeAccordingToSharedItemsFlag() {
    QFETCH(QString, op);
    QFETCH(int, flags);
    QFETCH(QString, alive);
    auto model = makeProbe(QStringLiteral("A[B C] D E"), flags);
    QList<QPointer<QObject>> objects;
    collect(model.get(), objects);
    auto* child = qobject_cast<ZEPHTreeModel*>(tree::at(model.get(), 0)->ChildModel());
    child->setObjectName(QStringLiteral("A"));
    SignalLog childLog(child);
    tree::run(model.get(), op);
    flushDeletes();
    QStringList living;
    for (const QPointer<QObject>& object : objects) {
        if (object) living << idOf(object);
    }
    living.sort();
    QStringList expected = alive.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (flags & 2) expected = QStringList{"A", "B", "C", "D", "E", "model of A"};
    QCOMPARE(living, expected);
    if (flags & 2) {
        // Nothing was emptied: the child model still holds its rows.
        QCOMPARE(tree::ids(child), QStringLiteral("B C"));
        model.reset();
        delete child;
        for (const QPointer<QObject>& object : objects)
            delete object.data();
    } else if (!op.startsWith(QLatin1String("replaceEx"))) {
        // Emptied with RemoveAll() before it was released (an exchange deletes it at once).
        QVERIFY(childLog.entries.contains(QStringLiteral("allRemoved")));
    }
}

void TstRemoval::shouldDeleteAtOnceWhenClearingContainers_data() {
    QTest::addColumn<int>("flags");
    QTest::newRow("owning") << 0;
    QTest::newRow("shared items") << 2;
}

// Emptying the containers is announced as a reset and deletes the whole tree at once after it,
// unless the model has shared items: it owns none of them then, and deletes nothing.
void TstRemoval::shouldDeleteAtOnceWhenClearingContainers() {
    QFETCH(int, flags);
    auto model = makeProbe(QStringLiteral("A[B[C]] D"), flags);
    QList<QPointer<QObject>> objects;
    collect(model.get(), objects);
    QCOMPARE(objects.size(), 6);
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    int aliveAtReset = 0;
    connect(model.get(), &QAbstractItemModel::modelReset, this, [&] {
        aliveAtReset = int(std::count_if(objects.begin(), objects.end(),
                                         [](const QPointer<QObject>& o) { return !o.isNull(); }));
    });
    model->ClearAllSourceContainer();
    QCOMPARE(log.take(), QStringLiteral("aboutReset reset count"));
    QCOMPARE(aliveAtReset, 6);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->FindItem(QStringLiteral("A")), nullptr);
    for (const QPointer<QObject>& object : objects)
        QCOMPARE(object.isNull(), flags == 0);
    if (flags == 0) return;
    flushDeletes();
    for (const QPointer<QObject>& object : objects)
        QVERIFY(object);
    QCOMPARE(tree::ids(objects.at(1)), QStringLiteral("B"));
    for (const QPointer<QObject>& object : objects)
        delete object.data();
}

void TstRemoval::shouldReleaseNonModelChildWithoutEmptyingIt() {
    auto model = makeProbe(QString(), 0);
    QPointer<QStringListModel> child = new QStringListModel(QStringList{"x", "y"});
    auto* item = new ZEPHTreeItem(QStringLiteral("A"), QStringLiteral("A"), child);
    QSignalSpy relays(item, &ZEPHTreeItem::childModelValueChanged);
    model->AppendItem(item);
    QVERIFY(model->RemoveOne(QStringLiteral("A")));
    QCOMPARE(child->rowCount(), 2);
    // Disconnected: the item relays nothing any more.
    child->insertRows(0, 1);
    QCOMPARE(relays.count(), 0);
    flushDeletes();
    QVERIFY(!child);
}

void TstRemoval::shouldTellProxyThatDisposedChildModelIsGone() {
    auto model = makeProbe(QStringLiteral("A[B C] D"), 0);
    auto* child = qobject_cast<ZEPHTreeModel*>(tree::at(model.get(), 0)->ChildModel());
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(child);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(proxy.rowCount(), 2);
    QVERIFY(model->RemoveOne(QStringLiteral("A")));
    QCOMPARE(proxy.rowCount(), 0);
    flushDeletes();
    QCOMPARE(proxy.sourceModel(), nullptr);
}

void TstRemoval::shouldEndDisposalOfChildModelCycles_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<bool>("selfCycle");
    const QStringList ops = {"removeOne A", "removeIds A", "removeRows 0 0",
                             "removeAll",   "clearAll",    "destroy"};
    for (const QString& op : ops) {
        QTest::addRow("%s, through another model", qPrintable(op)) << op << false;
        QTest::addRow("%s, through itself", qPrintable(op)) << op << true;
    }
}

// A's child model leads back to the model itself, directly or through a second model. Every
// disposal ends, and the model is neither emptied nor released by its own removal.
void TstRemoval::shouldEndDisposalOfChildModelCycles() {
    QFETCH(QString, op);
    QFETCH(bool, selfCycle);
    auto model = makeProbe(QStringLiteral("A D"), 0);
    QPointer<ZEPHTreeModel> root = model.get();
    QPointer<ZEPHTreeModel> second = selfCycle ? nullptr : tree::make(QStringLiteral("B"));
    QPointer<QObject> a = model->FindItem(0);
    if (selfCycle) {
        tree::at(model.get(), 0)->SetChildModel(model.get());
    } else {
        tree::at(model.get(), 0)->SetChildModel(second);
        tree::at(second, 0)->SetChildModel(model.get());
    }
    if (op == QLatin1String("destroy")) {
        model.reset();
    } else {
        tree::run(model.get(), op);
        QCOMPARE(tree::ids(model.get()),
                 op.startsWith(QLatin1String("remove")) && op != QLatin1String("removeAll")
                     ? QStringLiteral("D")
                     : QString());
    }
    flushDeletes();
    QVERIFY(!a);
    QVERIFY(!second);
    QCOMPARE(root.isNull(), op == QLatin1String("destroy"));
}

void TstRemoval::shouldNeverLeadFromIdToNonRow_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("after");
    // clang-format off
    QTest::newRow("remove one by old ID") << "removeOne A" << "B C";
    QTest::newRow("remove one by shared ID") << "removeOne C" << "A B";
    QTest::newRow("remove ids") << "removeIds A C" << "B";
    QTest::newRow("remove rows") << "removeRows 0 0" << "B C";
    QTest::newRow("remove all") << "removeAll" << "";
    QTest::newRow("exchange") << "replaceExOwn B" << "B";
    QTest::newRow("clear containers") << "clearAll" << "";
    // clang-format on
}

// Row A is renamed to "C" after insertion (two rows carry "C" now, A stays filed under "A"); after
// each removal no ID leads to an item that is not a row, once deferred deletions ran.
void TstRemoval::shouldNeverLeadFromIdToNonRow() {
    QFETCH(QString, op);
    QFETCH(QString, after);
    auto model = makeProbe(QStringLiteral("A B C"), 0);
    ZEPHTreeItem* a = tree::at(model.get(), 0);
    a->SetID(QStringLiteral("C"));
    QCOMPARE(model->FindItem(QStringLiteral("A")), a);
    tree::run(model.get(), op);
    flushDeletes();
    QStringList names;
    for (const QObject* item : *model->GetModelItemList())
        names << (item == a ? QStringLiteral("A") : qobject_cast<const ZEPHTreeItem*>(item)->ID());
    QCOMPARE(names.join(QLatin1Char(' ')), after);
    for (const char* id : {"A", "B", "C"}) {
        QObject* found = model->FindItem(QString::fromLatin1(id));
        QVERIFY2(!found || model->GetModelItemList()->contains(qobject_cast<ZEPHTreeItem*>(found)), id);
    }
    // Row C is still found by its ID while it is a row.
    if (after.contains(QLatin1Char('C')))
        QCOMPARE(model->FindItem(QStringLiteral("C")), model->GetModelItemList()->last());
}

void TstRemoval::shouldRemoveIndexedOneOfTwoEqualIds() {
    auto model = makeProbe(QStringLiteral("A:1 A:2 B"), 0);
    SignalLog log(model.get());
    QVERIFY(model->RemoveOne(QStringLiteral("A")));
    QCOMPARE(log.take(), QStringLiteral("rem:1-1 itemsRemoved:A count"));
    QCOMPARE(rows(model.get()), QStringLiteral("A:1 B"));
    QCOMPARE(model->FindItem(QStringLiteral("A")), nullptr);
    QVERIFY(!model->RemoveOne(QStringLiteral("A")));
}

void TstRemoval::shouldTreatFoundNonRowAsNotFound() {
    auto model = makeProbe(QStringLiteral("A B"), 0);
    ZEPHTreeItem stranger(QStringLiteral("A"), QStringLiteral("A"), nullptr);
    model->foreign = &stranger;
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    QVERIFY(!model->RemoveOne(QStringLiteral("A")));
    QVERIFY(model->Remove(QStringList{QStringLiteral("A")}));
    model->RemoveOne(&stranger);
    QCOMPARE(log.take(), QStringLiteral("count"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("A B"));
    flushDeletes();
    QCOMPARE(stranger.ID(), QStringLiteral("A"));
    model->foreign = nullptr;
}

// A view may answer rowCount() from elsewhere; bounds come from the model's own rows.
void TstRemoval::shouldCheckRowsAgainstOwnItems() {
    auto model = makeProbe(QStringLiteral("A B"), 0);
    model->claimedRows = 10;
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    QVERIFY(!model->Remove(0, 5));
    model->MoveRow(0, 5);
    ZEPHTreeItem x(QStringLiteral("X"), QStringLiteral("X"), nullptr);
    QVERIFY(!model->InsertItem(5, &x));
    QCOMPARE(log.take(), QString());
    model->claimedRows = -1;
    QCOMPARE(tree::ids(model.get()), QStringLiteral("A B"));
}

void TstRemoval::shouldReorderByReplacingWithOwnItems_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("signalList");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("gone");
    // clang-format off
    QTest::newRow("replace") << "replaceOwn C B A" << "rem:0-2 allRemoved count ins:0-2 count" << "C B A[X Y]" << "";
    QTest::newRow("exchange") << "replaceExOwn C B A" << "data:0-2" << "C B A[X Y]" << "";
    QTest::newRow("exchange, fewer") << "replaceExOwn C A" << "rem:2-2 count data:0-1" << "C A[X Y]" << "B";
    // clang-format on
}

// Replacing the content with the model's own items reorders it: nothing that comes back is
// disposed of, child models included, and each item stays connected once.
void TstRemoval::shouldReorderByReplacingWithOwnItems() {
    QFETCH(QString, op);
    QFETCH(QString, signalList);
    QFETCH(QString, after);
    QFETCH(QString, gone);
    auto model = makeProbe(QStringLiteral("A[X Y] B C"), 0);
    QList<QPointer<QObject>> objects;
    collect(model.get(), objects);
    tree::at(model.get(), 0)->ChildModel()->setObjectName(QStringLiteral("A"));
    QStringList ids;
    for (const QPointer<QObject>& object : objects)
        ids << idOf(object);
    SignalLog log(model.get());
    QVERIFY(tree::run(model.get(), op));
    QCOMPARE(log.take(), signalList);
    flushDeletes();
    QCOMPARE(tree::dump(model.get()), after);
    for (int i = 0; i < objects.size(); ++i)
        QVERIFY2(objects.at(i).isNull() == (ids.at(i) == gone), qPrintable(ids.at(i)));
    tree::at(model.get(), 0)->SetName(QStringLiteral("n"));
    QCOMPARE(log.take(), QStringLiteral("data:0-0"));
}

void TstRemoval::shouldKeepItemsOfOldChildModelsThatReplacementBringsIn_data() {
    QTest::addColumn<QString>("op");
    QTest::newRow("replace") << "replaceOwn B";
    QTest::newRow("exchange") << "replaceExOwn B";
}

void TstRemoval::shouldKeepItemsOfOldChildModelsThatReplacementBringsIn() {
    QFETCH(QString, op);
    auto model = makeProbe(QStringLiteral("A[B C] D"), 0);
    QPointer<QObject> a = model->FindItem(0);
    QPointer<QObject> b = model->FindItem(QStringLiteral("B"), true);
    QPointer<QObject> c = model->FindItem(QStringLiteral("C"), true);
    QVERIFY(tree::run(model.get(), op));
    flushDeletes();
    QVERIFY(!a);
    QVERIFY(!c);
    QVERIFY(b);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("B"));
    QCOMPARE(model->FindItem(QStringLiteral("B")), b.data());
}

void TstRemoval::shouldConnectNoValueChangeForExchangedItems() {
    auto model = makeProbe(QStringLiteral("A"), 0);
    QList<ZEPHTreeItem*> items = tree::items(QStringLiteral("X Y"));
    QVERIFY(model->ReplaceItemsListEx(items));
    QCOMPARE(model->FindItem(QStringLiteral("Y")), items.at(1));
    QCOMPARE(model->FindItem(QStringLiteral("A")), nullptr);
    SignalLog log(model.get());
    items.at(1)->SetName(QStringLiteral("changed"));
    QCOMPARE(log.take(), QString());
}

void TstRemoval::shouldEmptyTheModelOnDestruction() {
    auto model = makeProbe(QStringLiteral("A[B] C"), 0);
    QList<QPointer<QObject>> objects;
    collect(model.get(), objects);
    SignalLog log(model.get());
    model.reset();
    QCOMPARE(log.take(), QStringLiteral("rem:0-1 allRemoved count"));
    flushDeletes();
    for (const QPointer<QObject>& object : objects)
        QVERIFY(!object);
}

QTEST_GUILESS_MAIN(TstRemoval)
#include "tst_removal.moc"

#include "ProbeModel.h"
#include "SignalLog.h"
#include "TreeBuilder.h"

#include <ZEPHTreeModel.h>

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <QThread>
#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

// An item that answers one more role, 300, so that a merge can show which roles it copies.
class ExtraItem : public ZEPHTreeItem {
public:
    using ZEPHTreeItem::ZEPHTreeItem;
    QVariant getData(int role) const override { return role == 300 ? extra : ZEPHTreeItem::getData(role); }
    void setData(int role, QVariant value) override {
        if (role == 300)
            extra = value;
        else
            ZEPHTreeItem::setData(role, value);
    }
    using ZEPHTreeItem::getData;
    using ZEPHTreeItem::setData;
    QVariant extra;
};

using Probe = ProbeModel;
using tree::flushDeletes;
using tree::rows;

// Destroys a model with shared items together with its rows and their child models, which it does
// not own.
void destroyWithItems(std::unique_ptr<Probe>& model) {
    const QList<ZEPHTreeItem*> items = *model->GetModelItemList();
    model.reset();
    for (ZEPHTreeItem* item : items) {
        delete item->ChildModel();
        delete item;
    }
    flushDeletes();
}

std::unique_ptr<Probe> makeProbe(const QString& shape, int flags, const QHash<int, QByteArray>& roles = {},
                                 PF_DUPLICATE_HANDLER handler = {}) {
    std::unique_ptr<Probe> model(new Probe(nullptr, roles, flags, std::move(handler)));
    tree::fill(model.get(), shape);
    return model;
}

} // namespace

class TstInsertion : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { flushDeletes(); }

    void shouldEmitTheContractSignals_data();
    void shouldEmitTheContractSignals();
    void shouldAnnounceNewRowsBeforeTheyAppear_data();
    void shouldAnnounceNewRowsBeforeTheyAppear();
    void shouldSkipRowsAndRepeatedPointersInLists();
    void shouldFileLaterInsertedOfTwoEqualIds_data();
    void shouldFileLaterInsertedOfTwoEqualIds();
    void shouldCopyEveryRoleOfTheTableOnMerge();
    void shouldMergeThroughDuplicateHandlerOnly_data();
    void shouldMergeThroughDuplicateHandlerOnly();
    void shouldFinishTheMergeWhenTheDuplicateHandlerThrows_data();
    void shouldFinishTheMergeWhenTheDuplicateHandlerThrows();
    void shouldIgnoreNullsInMergeSteps();
    void shouldDisposeOfChildModelsThatAMergeDrops_data();
    void shouldDisposeOfChildModelsThatAMergeDrops();
    void shouldNameTheMergedRowAfterShifts();
    void shouldNameTheRowThatTookTheMerge();
    void shouldPassStoredRulesToKeepSorting();
    void shouldConnectValueChangeOncePerItem();
    void shouldIgnoreValueChangeWithoutRowOrSender();
    void shouldNameTheRowOfAChangedItemLikeALinearSearch();
    void shouldKeepProxyMadeOverEmptyModelInStep();
    void shouldAppendManyItemsInOneAnnouncement();
};

void TstInsertion::shouldEmitTheContractSignals_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("sorting");
    QTest::addColumn<QString>("op");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("signalList");
    QTest::addColumn<QString>("after");

    // clang-format off
    QTest::newRow("append") << "A B" << 0 << false << "append C" << true << "ins:2-2 count" << "A B C";
    QTest::newRow("append, sorting") << "A B" << 0 << true << "append C" << true << "ins:2-2 sort count" << "A B C";
    QTest::newRow("append equal ID without merging") << "A B" << 0 << false << "append B" << true << "ins:2-2 count" << "A B B";
    QTest::newRow("append merged") << "A B" << 4 << false << "append B" << true << "data:1-1 count" << "A B";
    QTest::newRow("append merged, new name") << "A B" << 4 << false << "append B:n" << true << "data:1-1 data:1-1 count" << "A B:n";
    QTest::newRow("append merged, sorting") << "A B" << 4 << true << "append A" << true << "data:0-0 sort count" << "A B";
    QTest::newRow("append null") << "A" << 0 << true << "append ~" << false << "" << "A";
    QTest::newRow("append own row") << "A B" << 0 << true << "appendRow 0" << false << "" << "A B";
    QTest::newRow("append own row, merging into itself") << "A B" << 4 << false << "appendRow 1" << true << "data:1-1 count" << "A B";
    QTest::newRow("prepend") << "A B" << 0 << false << "prepend C" << true << "ins:0-0 count" << "C A B";
    QTest::newRow("prepend, sorting") << "A B" << 0 << true << "prepend C" << true << "ins:0-0 sort count" << "C A B";
    QTest::newRow("prepend merged") << "A B" << 4 << false << "prepend B:n" << true << "data:1-1 data:1-1" << "A B:n";
    QTest::newRow("prepend merged, sorting") << "A B" << 4 << true << "prepend B" << true << "data:1-1 sort" << "A B";
    QTest::newRow("prepend null") << "A" << 0 << true << "prepend ~" << false << "" << "A";
    QTest::newRow("prepend own row") << "A B" << 0 << false << "prependRow 1" << false << "" << "A B";
    QTest::newRow("insert") << "A B" << 0 << false << "insert 1 C" << true << "ins:1-1 count" << "A C B";
    QTest::newRow("insert, sorting") << "A B" << 0 << true << "insert 1 C" << true << "ins:1-1 sort count" << "A C B";
    QTest::newRow("insert at head") << "A B" << 0 << false << "insert 0 C" << true << "ins:0-0 count" << "C A B";
    QTest::newRow("insert at tail") << "A B" << 0 << false << "insert 2 C" << true << "ins:2-2 count" << "A B C";
    QTest::newRow("insert into empty") << "" << 0 << false << "insert 0 C" << true << "ins:0-0 count" << "C";
    QTest::newRow("insert equal ID without merging") << "A B" << 0 << false << "insert 0 B" << true << "ins:0-0 count" << "B A B";
    QTest::newRow("insert duplicate") << "A B" << 4 << true << "insert 0 B" << false << "" << "A B";
    QTest::newRow("insert null") << "A B" << 0 << true << "insert 1 ~" << false << "" << "A B";
    QTest::newRow("insert before first row") << "A B" << 0 << true << "insert -1 C" << false << "" << "A B";
    QTest::newRow("insert past tail") << "A B" << 0 << true << "insert 3 C" << false << "" << "A B";
    QTest::newRow("insert own row") << "A B" << 0 << true << "insertRow 0 1" << false << "" << "A B";
    QTest::newRow("append list") << "A B C" << 0 << false << "appendList X ~ Y" << true << "ins:3-4 count" << "A B C X Y";
    QTest::newRow("append list, sorting") << "A" << 0 << true << "appendList X Y" << true << "ins:1-2 sort count" << "A X Y";
    QTest::newRow("append list of nulls, sorting") << "A" << 0 << true << "appendList ~ ~" << true << "sort" << "A";
    QTest::newRow("append list of merges") << "A B" << 4 << false << "appendList B A" << true << "" << "A B";
    QTest::newRow("append list of merges, sorting") << "A B" << 4 << true << "appendList B:n" << true << "data:1-1 sort" << "A B:n";
    QTest::newRow("append list, merges and rows") << "A B" << 4 << false << "appendList X B Y" << true << "ins:2-3 count" << "A B X Y";
    QTest::newRow("append list, merge inside list") << "A" << 4 << false << "appendList X:1 X:2" << true << "ins:1-1 count" << "A X:2";
    QTest::newRow("append list, equal IDs without merging") << "A" << 0 << false << "appendList X:1 X:2" << true << "ins:1-2 count" << "A X:1 X:2";
    QTest::newRow("append empty list, sorting") << "A" << 0 << true << "appendList" << true << "" << "A";
    QTest::newRow("prepend list") << "A B" << 0 << false << "prependList X Y Z" << true << "ins:0-2 count" << "X Y Z A B";
    QTest::newRow("prepend list, sorting") << "A" << 0 << true << "prependList X ~ Y" << true << "ins:0-1 sort count" << "X Y A";
    QTest::newRow("prepend list, merge inside list") << "A" << 4 << false << "prependList X:1 X:2" << true << "ins:0-0 count" << "X:1 A";
    QTest::newRow("prepend list of merges, sorting") << "A" << 4 << true << "prependList A" << true << "sort" << "A";
    QTest::newRow("prepend empty list, sorting") << "A" << 0 << true << "prependList" << true << "" << "A";
    // clang-format on
}

void TstInsertion::shouldEmitTheContractSignals() {
    QFETCH(QString, initial);
    QFETCH(int, flags);
    QFETCH(bool, sorting);
    QFETCH(QString, op);
    QFETCH(bool, result);
    QFETCH(QString, signalList);
    QFETCH(QString, after);

    auto model = makeProbe(initial, flags);
    if (sorting) model->keepSorting();
    SignalLog log(model.get());
    model->log = &log;
    QList<QPointer<ZEPHTreeItem>> passed;

    QCOMPARE(tree::run(model.get(), op, &passed), result);
    QCOMPARE(log.take(), signalList);
    QCOMPARE(rows(model.get()), after);
    // A refused item stays with the caller; a merged one is gone at once.
    for (const QPointer<ZEPHTreeItem>& item : passed) {
        if (!result) QVERIFY(item);
        if (item && !model->GetModelItemList()->contains(item.data())) delete item.data();
    }
}

void TstInsertion::shouldAnnounceNewRowsBeforeTheyAppear_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("append") << "append X" << "aboutIns:2-2 rows:2 ins:2-2 rows:3 count";
    QTest::newRow("prepend") << "prepend X" << "aboutIns:0-0 rows:2 ins:0-0 rows:3 count";
    QTest::newRow("insert") << "insert 1 X" << "aboutIns:1-1 rows:2 ins:1-1 rows:3 count";
    QTest::newRow("append list with a merge") << "appendList X A:n Y" << "data:0-0 aboutIns:2-3 rows:2 ins:2-3 rows:4 count";
    QTest::newRow("prepend list with a merge") << "prependList X B:n Y" << "data:1-1 aboutIns:0-1 rows:2 ins:0-1 rows:4 count";
    // clang-format on
}

void TstInsertion::shouldAnnounceNewRowsBeforeTheyAppear() {
    QFETCH(QString, op);
    QFETCH(QString, expected);
    auto model = makeProbe(QStringLiteral("A B"), 4);
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    const auto count = [&] { log.entries << QStringLiteral("rows:%1").arg(model->rowCount()); };
    // Destroyed before the locals its connections use, so the model's teardown reaches none of them.
    QObject listener;
    connect(model.get(), &QAbstractItemModel::rowsAboutToBeInserted, &listener, count);
    connect(model.get(), &QAbstractItemModel::rowsInserted, &listener, count);
    QList<QPointer<ZEPHTreeItem>> passed;
    QVERIFY(tree::run(model.get(), op, &passed));
    QCOMPARE(log.take(), expected);
}

void TstInsertion::shouldSkipRowsAndRepeatedPointersInLists() {
    auto model = makeProbe(QStringLiteral("A B"), 0);
    SignalLog log(model.get());
    auto* x = new ZEPHTreeItem(QStringLiteral("X"), QStringLiteral("X"), nullptr);
    QVERIFY(model->AppendItemsList({tree::at(model.get(), 1), x, x, tree::at(model.get(), 0)}));
    QCOMPARE(log.take(), QStringLiteral("ins:2-2 count"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("A B X"));
    auto* y = new ZEPHTreeItem(QStringLiteral("Y"), QStringLiteral("Y"), nullptr);
    QVERIFY(model->PrependItemsList({y, x, y}));
    QCOMPARE(log.take(), QStringLiteral("ins:0-0 count"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("Y A B X"));

    // A merged entry is deleted at once: a second copy of its pointer in the list is never read.
    auto merging = makeProbe(QStringLiteral("A"), 4);
    SignalLog mergeLog(merging.get());
    QPointer<ZEPHTreeItem> twice = new ZEPHTreeItem(QStringLiteral("A"), QStringLiteral("n"), nullptr);
    QVERIFY(merging->AppendItemsList({twice.data(), twice.data()}));
    QVERIFY(twice.isNull());
    QCOMPARE(mergeLog.take(), QStringLiteral("data:0-0"));
    QCOMPARE(rows(merging.get()), QStringLiteral("A:n"));
}

void TstInsertion::shouldFileLaterInsertedOfTwoEqualIds_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("found");
    // clang-format off
    QTest::newRow("append") << "append X:new" << "new";
    QTest::newRow("prepend") << "prepend X:new" << "new";
    QTest::newRow("insert") << "insert 0 X:new" << "new";
    // The list walk ends with the last entry, or with the first one at the head.
    QTest::newRow("append list") << "appendList X:1 X:2" << "2";
    QTest::newRow("prepend list") << "prependList X:1 X:2" << "1";
    // clang-format on
}

void TstInsertion::shouldFileLaterInsertedOfTwoEqualIds() {
    QFETCH(QString, op);
    QFETCH(QString, found);
    auto model = makeProbe(QStringLiteral("X:old"), 0);
    QList<QPointer<ZEPHTreeItem>> passed;
    QVERIFY(tree::run(model.get(), op, &passed));
    auto* item = qobject_cast<ZEPHTreeItem*>(model->FindItem(QStringLiteral("X")));
    QVERIFY(item);
    QCOMPARE(item->Name(), found);
}

void TstInsertion::shouldCopyEveryRoleOfTheTableOnMerge() {
    QHash<int, QByteArray> roles;
    ZEPHTreeItem::GetRolesHash(roles, ZEPHTreeItem::WithoutJsonValueRole);
    roles.insert(300, "extraRole");
    std::unique_ptr<Probe> model(new Probe(nullptr, roles, 4));
    QPointer<QStringListModel> oldChild = new QStringListModel;
    QPointer<QStringListModel> newChild = new QStringListModel;
    auto* existing = new ExtraItem(QStringLiteral("A"), QStringLiteral("old"), oldChild);
    existing->extra = 1;
    QVERIFY(model->AppendItem(existing));

    QPointer<ExtraItem> incoming = new ExtraItem(QStringLiteral("A"), QStringLiteral("new"), newChild);
    incoming->extra = 2;
    SignalLog log(model.get());
    QVERIFY(model->AppendItem(incoming));
    QVERIFY(!incoming);
    QCOMPARE(existing->Name(), QStringLiteral("new"));
    QCOMPARE(existing->ChildModel(), newChild.data());
    QCOMPARE(existing->extra, QVariant(2));
    QCOMPARE(model->rowCount(), 1);
    // Two value changes (name, child model), the merge's own dataChanged, the count.
    QCOMPARE(log.take(), QStringLiteral("data:0-0 data:0-0 data:0-0 count"));
    // The model owns its items, so the child object given up by the merge goes with them.
    flushDeletes();
    QVERIFY(!oldChild);
    QVERIFY(newChild);
    model.reset();
    flushDeletes();
    QVERIFY(!newChild);

    // A role missing from the table is not copied.
    std::unique_ptr<Probe> plain(new Probe(nullptr, {}, 4));
    auto* kept = new ExtraItem(QStringLiteral("B"), QStringLiteral("b"), nullptr);
    kept->extra = 1;
    plain->AppendItem(kept);
    auto* other = new ExtraItem(QStringLiteral("B"), QStringLiteral("b2"), nullptr);
    other->extra = 2;
    plain->CopyItem(other, kept);
    QCOMPARE(kept->Name(), QStringLiteral("b2"));
    QCOMPARE(kept->extra, QVariant(1));
    delete other;
}

void TstInsertion::shouldMergeThroughDuplicateHandlerOnly_data() {
    QTest::addColumn<QString>("op");
    QTest::newRow("append") << "append B:new";
    QTest::newRow("prepend") << "prepend B:new";
    QTest::newRow("append list") << "appendList B:new";
    QTest::newRow("prepend list") << "prependList B:new";
}

void TstInsertion::shouldMergeThroughDuplicateHandlerOnly() {
    QFETCH(QString, op);
    QStringList calls;
    const PF_DUPLICATE_HANDLER handler = [&calls](const QObject* source, QObject* target) {
        calls << qobject_cast<const ZEPHTreeItem*>(source)->Name() + QLatin1String("->") +
                     qobject_cast<ZEPHTreeItem*>(target)->Name();
    };
    auto model = makeProbe(QStringLiteral("A B"), 4, {}, handler);
    QList<QPointer<ZEPHTreeItem>> passed;
    QVERIFY(tree::run(model.get(), op, &passed));
    QCOMPARE(calls, QStringList{QStringLiteral("new->B")});
    QCOMPARE(rows(model.get()), QStringLiteral("A B"));
    QCOMPARE(passed.size(), 1);
    QVERIFY(!passed.first());
}

void TstInsertion::shouldFinishTheMergeWhenTheDuplicateHandlerThrows_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("signalList");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("fromAnotherThread");
    // clang-format off
    for (bool forwarded : {false, true}) {
        const char* from = forwarded ? ", from another thread" : "";
        QTest::addRow("append%s", from) << "append B:new" << "data:1-1 data:1-1 sort count" << "A B:h" << forwarded;
        QTest::addRow("prepend%s", from) << "prepend B:new" << "data:1-1 data:1-1 sort" << "A B:h" << forwarded;
        QTest::addRow("append list%s", from) << "appendList X B:new Y" << "data:1-1 ins:2-3 sort count" << "A B:h X Y" << forwarded;
        QTest::addRow("prepend list%s", from) << "prependList X B:new Y" << "data:1-1 ins:0-1 sort count" << "X Y A B:h" << forwarded;
        QTest::addRow("replace%s", from) << "replace X B:1 B:2" << "rem:0-1 allRemoved count ins:0-1 sort count" << "X B:h" << forwarded;
    }
    // clang-format on
}

// The handler changes the existing item, then throws: the merge is finished as after a handler that
// returned, the duplicate is deleted and the operation goes on with the other items.
void TstInsertion::shouldFinishTheMergeWhenTheDuplicateHandlerThrows() {
    QFETCH(QString, op);
    QFETCH(QString, signalList);
    QFETCH(QString, after);
    QFETCH(bool, fromAnotherThread);
    auto model = makeProbe(QStringLiteral("A B"), 4, {}, [](const QObject*, QObject* target) {
        qobject_cast<ZEPHTreeItem*>(target)->SetName(QStringLiteral("h"));
        throw std::runtime_error("refused");
    });
    model->keepSorting();
    SignalLog log(model.get());
    model->log = &log;
    QList<QPointer<ZEPHTreeItem>> passed;
    bool result = false;
    if (fromAnotherThread) {
        std::unique_ptr<QThread> thread(
            QThread::create([&] { result = tree::run(model.get(), op, &passed); }));
        QEventLoop loop;
        connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
        thread->start();
        loop.exec();
        QVERIFY(thread->wait(1000));
    } else {
        result = tree::run(model.get(), op, &passed);
    }
    QVERIFY(result);
    QCOMPARE(log.take(), signalList);
    QCOMPARE(rows(model.get()), after);
    for (const QPointer<ZEPHTreeItem>& item : passed)
        QVERIFY(!item || model->GetModelItemList()->contains(item.data()));
}

void TstInsertion::shouldIgnoreNullsInMergeSteps() {
    int calls = 0;
    auto model = makeProbe(QStringLiteral("A"), 4, {}, [&calls](const QObject*, QObject*) { ++calls; });
    ZEPHTreeItem* a = tree::at(model.get(), 0);
    model->HandleDuplicatedItem(nullptr, a);
    model->HandleDuplicatedItem(a, nullptr);
    model->CopyItem(nullptr, a);
    model->CopyItem(a, nullptr);
    QCOMPARE(calls, 0);
    QCOMPARE(rows(model.get()), QStringLiteral("A"));
}

void TstInsertion::shouldDisposeOfChildModelsThatAMergeDrops_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("disposed");
    QTest::newRow("owning") << 4 << true;
    QTest::newRow("shared items") << 6 << false;
}

// A merge that replaces the row's child model drops the old one; a handler that takes the name
// only leaves the new item's child model without a holder. An owning model disposes of both.
void TstInsertion::shouldDisposeOfChildModelsThatAMergeDrops() {
    QFETCH(int, flags);
    QFETCH(bool, disposed);
    auto model = makeProbe(QStringLiteral("A[B C] D"), flags);
    QPointer<ZEPHTreeModel> oldChild = qobject_cast<ZEPHTreeModel*>(tree::at(model.get(), 0)->ChildModel());
    QPointer<QObject> b = oldChild->FindItem(0);
    QVERIFY(model->AppendItem(tree::items(QStringLiteral("A[X]")).first()));
    QCOMPARE(tree::dump(model.get()), QStringLiteral("A[X] D"));
    flushDeletes();
    QCOMPARE(oldChild.isNull(), disposed);
    QCOMPARE(b.isNull(), disposed);
    if (!disposed) {
        QCOMPARE(tree::ids(oldChild), QStringLiteral("B C"));
        delete oldChild.data();
        destroyWithItems(model);
    }

    model = makeProbe(QStringLiteral("A[B]"), flags, {}, [](const QObject* source, QObject* target) {
        qobject_cast<ZEPHTreeItem*>(target)->SetName(qobject_cast<const ZEPHTreeItem*>(source)->Name());
    });
    ZEPHTreeItem* incoming = tree::items(QStringLiteral("A:n[X]")).first();
    QPointer<QObject> newChild = incoming->ChildModel();
    QPointer<QObject> x = qobject_cast<ZEPHTreeModel*>(newChild.data())->FindItem(0);
    QVERIFY(model->PrependItem(incoming));
    QCOMPARE(tree::dump(model.get()), QStringLiteral("A[B]"));
    QCOMPARE(rows(model.get()), QStringLiteral("A:n"));
    flushDeletes();
    QCOMPARE(newChild.isNull(), disposed);
    QCOMPARE(x.isNull(), disposed);
    if (!disposed) {
        delete newChild.data();
        destroyWithItems(model);
    }
}

void TstInsertion::shouldNameTheMergedRowAfterShifts() {
    auto model = makeProbe(QStringLiteral("A B C"), 4);
    model->PrependItemsList(tree::items(QStringLiteral("P Q")));
    model->Remove(0, 0);
    model->InsertItem(1, tree::items(QStringLiteral("R")).first());
    QCOMPARE(tree::ids(model.get()), QStringLiteral("Q R A B C"));
    SignalLog log(model.get());
    model->AppendItem(tree::items(QStringLiteral("B")).first());
    model->PrependItem(tree::items(QStringLiteral("Q")).first());
    QCOMPARE(log.take(), QStringLiteral("data:3-3 count data:0-0"));
}

// P took the ID "Q" after insertion, so two rows carry it; the index leads to row Q, and the merge
// announces the row whose item changed, not the first row carrying the ID.
void TstInsertion::shouldNameTheRowThatTookTheMerge() {
    auto model = makeProbe(QStringLiteral("P Q"), 4);
    tree::at(model.get(), 0)->SetID(QStringLiteral("Q"));
    SignalLog log(model.get());
    QVERIFY(model->AppendItem(tree::items(QStringLiteral("Q:n")).first()));
    QCOMPARE(log.take(), QStringLiteral("data:1-1 data:1-1 count"));
    QCOMPARE(rows(model.get()), QStringLiteral("Q:P Q:n"));
}

void TstInsertion::shouldPassStoredRulesToKeepSorting() {
    auto model = makeProbe(QStringLiteral("A"), 0);
    model->keepSorting({QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")}}});
    model->AppendItem(tree::items(QStringLiteral("B")).first());
    model->AppendItemsList(tree::items(QStringLiteral("C D E")));
    model->PrependItemsList({});
    QCOMPARE(model->sorts, (QStringList{QStringLiteral("1/1"), QStringLiteral("1/1")}));
}

void TstInsertion::shouldConnectValueChangeOncePerItem() {
    // A model with shared items keeps removed items connected; inserting one again must not make a
    // second connection.
    auto model = makeProbe(QStringLiteral("A B"), 2);
    ZEPHTreeItem* a = tree::at(model.get(), 0);
    QVERIFY(model->Remove(QStringList{QStringLiteral("A")}));
    QVERIFY(model->AppendItem(a));
    QVERIFY(model->Remove(QStringList{QStringLiteral("A")}));
    QVERIFY(model->AppendItemsList({a}));
    SignalLog log(model.get());
    a->SetName(QStringLiteral("changed"));
    QCOMPARE(log.take(), QStringLiteral("data:1-1"));
    destroyWithItems(model);
}

void TstInsertion::shouldIgnoreValueChangeWithoutRowOrSender() {
    auto model = makeProbe(QStringLiteral("A B"), 2);
    ZEPHTreeItem* a = tree::at(model.get(), 0);
    ZEPHTreeItem* b = tree::at(model.get(), 1);
    SignalLog log(model.get());
    QVERIFY(QMetaObject::invokeMethod(model.get(), "EmitValueChange"));
    QCOMPARE(log.take(), QString());
    // Removed without disposal (shared items): still connected, but no longer a row.
    model->Remove(QStringList{QStringLiteral("A")});
    log.clear();
    a->SetName(QStringLiteral("changed"));
    QCOMPARE(log.take(), QString());
    model->RemoveAll();
    delete a;
    delete b;
    model.reset();
}

// Rows move under the items through prepends, insertions, removals and moves; the row that a value
// change names must always be the item's row as a linear search finds it.
void TstInsertion::shouldNameTheRowOfAChangedItemLikeALinearSearch() {
    auto model = makeProbe(QString(), 0);
    QRandomGenerator random(7);
    int next = 0;
    const auto fresh = [&next](int count) {
        QList<ZEPHTreeItem*> items;
        for (int i = 0; i < count; ++i, ++next)
            items << new ZEPHTreeItem(QString::number(next), QString(), nullptr);
        return items;
    };
    model->AppendItemsList(fresh(300));
    SignalLog log(model.get());
    for (int step = 0; step < 400; ++step) {
        const int count = model->rowCount();
        switch (random.bounded(9)) {
        case 0:
            model->PrependItem(fresh(1).first());
            break;
        case 1:
            model->InsertItem(random.bounded(count + 1), fresh(1).first());
            break;
        case 2:
            model->PrependItemsList(fresh(random.bounded(2) ? 3 : 70));
            break;
        case 3:
            model->RemoveOne(model->FindItemID(random.bounded(count)));
            break;
        case 4: {
            const int first = random.bounded(count);
            model->Remove(first, qMin(count - 1, first + (random.bounded(2) ? 2 : 80)));
            break;
        }
        case 5:
            model->MoveRow(random.bounded(count), random.bounded(count));
            break;
        case 6:
            model->Remove(QStringList{model->FindItemID(random.bounded(count)), model->FindItemID(0)});
            break;
        case 7:
            model->AppendItemsList(fresh(random.bounded(2) ? 2 : 90));
            break;
        default:
            model->AppendItem(fresh(1).first());
            break;
        }
        if (model->rowCount() < 50) model->AppendItemsList(fresh(100));
        log.clear();
        for (int probe = 0; probe < 4; ++probe) {
            ZEPHTreeItem* item = tree::at(model.get(), random.bounded(model->rowCount()));
            item->SetName(QStringLiteral("n%1").arg(step * 4 + probe));
            const int row = model->GetModelItemList()->indexOf(item);
            QCOMPARE(log.take(), QStringLiteral("data:%1-%1").arg(row));
        }
        flushDeletes();
    }
}

// A proxy made before the model had rows must follow every operation to exactly the model's rows;
// its filter hides names starting with "x", so each dataChanged must name the right row.
void TstInsertion::shouldKeepProxyMadeOverEmptyModelInStep() {
    auto model = makeProbe(QString(), 4);
    QAbstractItemModelTester modelTester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(model.get());
    proxy.setFilterRole(ZEPHTreeItem::NameRole);
    proxy.setFilterRegularExpression(QRegularExpression(QStringLiteral("^(?!x)")));
    QAbstractItemModelTester proxyTester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);

    const auto shown = [&] {
        QStringList parts;
        for (int row = 0; row < proxy.rowCount(); ++row)
            parts << proxy.data(proxy.index(row, 0), ZEPHTreeItem::IdRole).toString();
        return parts.join(QLatin1Char(' '));
    };
    const auto expected = [&] {
        QStringList parts;
        for (int row = 0; row < model->rowCount(); ++row) {
            ZEPHTreeItem* item = tree::at(model.get(), row);
            if (!item->Name().startsWith(QLatin1Char('x'))) parts << item->ID();
        }
        return parts.join(QLatin1Char(' '));
    };
    const auto own = [&](const QString& ids) {
        QList<ZEPHTreeItem*> items;
        for (const QString& id : ids.split(QLatin1Char(' ')))
            items << qobject_cast<ZEPHTreeItem*>(model->FindItem(id));
        return items;
    };

    const QList<std::function<void()>> steps = {
        [&] { model->AppendItem(tree::items(QStringLiteral("A")).first()); },
        [&] { model->AppendItemsList(tree::items(QStringLiteral("B C"))); },
        [&] { model->PrependItem(tree::items(QStringLiteral("P")).first()); },
        [&] { model->PrependItemsList(tree::items(QStringLiteral("Q R"))); },
        [&] { model->InsertItem(2, tree::items(QStringLiteral("I")).first()); },
        [&] { model->AppendItem(tree::items(QStringLiteral("B:xb")).first()); },
        [&] { model->PrependItem(tree::items(QStringLiteral("R:xr")).first()); },
        [&] { model->AppendItemsList(tree::items(QStringLiteral("C:xc D B:b E"))); },
        [&] { model->PrependItemsList(tree::items(QStringLiteral("F R:r G"))); },
        [&] { tree::at(model.get(), 3)->SetName(QStringLiteral("x3")); },
        [&] { model->RemoveOne(QStringLiteral("A")); },
        [&] {
            model->Remove(QStringList{QStringLiteral("Q"), QStringLiteral("I")});
        },
        [&] { model->Remove(0, 1); },
        [&] { model->MoveRow(0, 3); },
        [&] { model->ReplaceItemsList(own(QStringLiteral("E D C B"))); },
        [&] { model->ReplaceItemsListEx(own(QStringLiteral("B C"))); },
        [&] { model->ReplaceItemsListEx(tree::items(QStringLiteral("H:xh J K L"))); },
        [&] { model->ReplaceItemsListEx(own(QStringLiteral("L K J H"))); },
        [&] { model->ReplaceItemsList(tree::items(QStringLiteral("M N:xn O"))); },
        [&] { model->RemoveAll(); },
        [&] { model->AppendItemsList(tree::items(QStringLiteral("S T"))); },
    };
    for (int i = 0; i < steps.size(); ++i) {
        steps.at(i)();
        QVERIFY2(shown() == expected(),
                 qPrintable(QStringLiteral("step %1: %2 / %3").arg(i).arg(shown(), expected())));
        flushDeletes();
    }
    QCOMPARE(shown(), QStringLiteral("S T"));
}

void TstInsertion::shouldAppendManyItemsInOneAnnouncement() {
    auto model = makeProbe(QStringLiteral("A"), 4);
    SignalLog log(model.get());
    QList<ZEPHTreeItem*> items;
    for (int i = 0; i < 100000; ++i)
        items << new ZEPHTreeItem(QString::number(i), QString(), nullptr);
    QVERIFY(model->AppendItemsList(items));
    QCOMPARE(log.take(), QStringLiteral("ins:1-100000 count"));
    QCOMPARE(model->FindItem(QStringLiteral("99999")), items.last());
    items.last()->SetName(QStringLiteral("changed"));
    QCOMPARE(log.take(), QStringLiteral("data:100000-100000"));
}

QTEST_GUILESS_MAIN(TstInsertion)
#include "tst_insertion.moc"

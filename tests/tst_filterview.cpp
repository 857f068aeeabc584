// The live filter view: construction, the handlers of its source's signals and the signals they
// produce, rule updates (also from QML), child filter views, views of views, and a view that never
// holds anything but current rows of its source.
#include "SignalLog.h"
#include "TreeBuilder.h"

#include <ZEPHTreeItem.h>
#include <ZEPHTreeModel.h>

#include <QAbstractItemModelTester>
#include <QJSEngine>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {

using ViewPtr = std::unique_ptr<ZEPHTreeModel>;

QVariantMap nameRule(int code, const QVariant& value) {
    return QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                       {QStringLiteral("Rule"), code},
                       {QStringLiteral("Value"), value}};
}

QVariantList containing(const QString& text) {
    return {nameRule(ZEPHTreeModel::SubStr, text)};
}

ZEPHTreeModel* modelOf(QObject* object) {
    return qobject_cast<ZEPHTreeModel*>(object);
}

ViewPtr filterOf(ZEPHTreeModel* source, const QVariantList& rules, bool orAll = true, int newItemPos = 0) {
    return ViewPtr(modelOf(source->GetFilterModel(rules, orAll, newItemPos)));
}

ZEPHTreeItem* itemOf(ZEPHTreeModel* model, const QString& id) {
    return qobject_cast<ZEPHTreeItem*>(model->FindItem(id, true));
}

void rename(ZEPHTreeModel* model, const QString& id, const QString& name) {
    itemOf(model, id)->SetName(name);
}

using tree::flushDeletes;

bool invoke(QObject* view, const char* slot, QGenericArgument a = QGenericArgument(),
            QGenericArgument b = QGenericArgument(), QGenericArgument c = QGenericArgument()) {
    return QMetaObject::invokeMethod(view, slot, Qt::DirectConnection, a, b, c);
}

// Watches every signal of a view and, at each one, checks that every row is a live item that is
// a current row of the source, held once. Dead items are recognised by address only, so the
// check itself never touches one.
class RowGuard : public QObject {
public:
    explicit RowGuard(ZEPHTreeModel* view) : m_view(view) {
        connect(view, &QAbstractItemModel::rowsAboutToBeRemoved, this, &RowGuard::check);
        connect(view, &QAbstractItemModel::rowsRemoved, this, &RowGuard::check);
        connect(view, &QAbstractItemModel::rowsInserted, this, &RowGuard::check);
        connect(view, &QAbstractItemModel::dataChanged, this, &RowGuard::check);
        connect(view, &QAbstractItemModel::modelReset, this, &RowGuard::check);
        connect(view, &ZEPHTreeModel::rowCountChanged, this, &RowGuard::check);
        connect(view, &ZEPHTreeModel::itemsRemoved, this, &RowGuard::check);
        connect(view, &ZEPHTreeModel::allItemRemoved, this, &RowGuard::check);
    }
    void watch(ZEPHTreeModel* model) {
        for (int row = 0; row < model->rowCount(); ++row)
            watchItem(model->FindItem(row));
    }
    void watchItems(const QList<ZEPHTreeItem*>& items) {
        for (ZEPHTreeItem* item : items)
            watchItem(item);
    }
    QStringList problems;
    int checks = 0;

private:
    void watchItem(QObject* item) {
        connect(item, &QObject::destroyed, this, [this](QObject* dead) { m_dead.insert(dead); });
    }
    void check() {
        ++checks;
        QSet<const QObject*> seen;
        for (int row = 0; row < m_view->rowCount(); ++row) {
            const QObject* item = m_view->FindItem(row);
            if (m_dead.contains(item))
                problems << QStringLiteral("dead item at row %1").arg(row);
            else if (seen.contains(item))
                problems << QStringLiteral("row %1 held twice").arg(row);
            seen.insert(item);
        }
    }
    ZEPHTreeModel* m_view;
    QSet<const QObject*> m_dead;
};

// True when every row of `view` is a current row of `source`.
bool onlySourceRows(ZEPHTreeModel* view, ZEPHTreeModel* source) {
    QSet<QObject*> sourceRows;
    for (int row = 0; row < source->rowCount(); ++row)
        sourceRows.insert(source->FindItem(row));
    for (int row = 0; row < view->rowCount(); ++row) {
        if (!sourceRows.contains(view->FindItem(row))) return false;
    }
    return true;
}

} // namespace

class tst_FilterView : public QObject {
    Q_OBJECT
private slots:
    void shouldHoldTheSourcesOwnObjects();
    void shouldOfferExactlyTheSixHandlerSlots();
    void shouldPassResetsAndLayoutChangesOn();
    void shouldAnnounceARefilterInOrder();
    void shouldIgnoreUnchangedRules();
    void shouldRefilterOnANewUserRuleValue_data();
    void shouldRefilterOnANewUserRuleValue();
    void shouldUnwrapOnlyScriptValues();
    void shouldTakeRulesFromQml();
    void shouldPlaceInsertedItemsByNewItemPos_data();
    void shouldPlaceInsertedItemsByNewItemPos();
    void shouldRetestTheChangedRow_data();
    void shouldRetestTheChangedRow();
    void shouldAnnounceExactlyTheRowsItAddsWhileOthersLeave();
    void shouldFollowRemovalsOfTheSource_data();
    void shouldFollowRemovalsOfTheSource();
    void shouldRemoveOnTheHostsRequest();
    void shouldRetestAnItemWhoseChildModelChanged();
    void shouldNotTakeBackAnItemTheSourceRemoved();
    void shouldHandOutChildFilterViews();
    void shouldLetChildViewsOfUserRulesShowEverything();
    void shouldFollowAViewOfAView();
    void shouldSurviveItsSource();
    void shouldSurviveItsChildModel();
    void shouldHoldOnlySourceRowsAfterAnExchange_data();
    void shouldHoldOnlySourceRowsAfterAnExchange();
    void shouldLetGoOfItemsDeletedAtOnce();
    void shouldNeverReachADeletedItemThroughAStack_data();
    void shouldNeverReachADeletedItemThroughAStack();
    void shouldFollowAPagingSource();
    void shouldNeverMultiplyValueChangeConnections();
    void shouldTreatItemsByIdentity();
    void shouldFollowRandomChangesLikeAnIdSnapshot();
    void shouldKeepSortingWhenItemsStartToPass();
    void shouldResortChildViewsWhenSortingRecursively();
};

void tst_FilterView::shouldHoldTheSourcesOwnObjects() {
    QHash<int, QByteArray> roles;
    ZEPHTreeItem::GetRolesHash(roles, ZEPHTreeItem::WithJsonValueRole);
    ZEPHTreeModel source(nullptr, roles);
    tree::fill(&source, QStringLiteral("a b c"));
    QList<QPointer<QObject>> items;
    for (int row = 0; row < 3; ++row)
        items << source.FindItem(row);
    {
        ViewPtr view = filterOf(&source, {});
        ViewPtr second = filterOf(&source, {});
        QVERIFY(view && second && view != second);
        QCOMPARE(view->metaObject()->className(), "FilterModelImp");
        QCOMPARE(view->parent(), nullptr);
        QCOMPARE(QQmlEngine::objectOwnership(view.get()), QQmlEngine::JavaScriptOwnership);
        QCOMPARE(view->roleNames(), roles);
        QCOMPARE(view->rowCount(), 3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(view->FindItem(row), source.FindItem(row));
        QCOMPARE(view->property("count").toInt(), 3);
    }
    flushDeletes();
    QCOMPARE(tree::ids(&source), QStringLiteral("a b c"));
    for (const QPointer<QObject>& item : items)
        QVERIFY(item);
}

void tst_FilterView::shouldOfferExactlyTheSixHandlerSlots() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a")));
    ViewPtr view = filterOf(source.get(), {});
    const QMetaObject* meta = view->metaObject();
    QStringList own;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        own << QString::fromLatin1(meta->method(i).methodSignature());
    QCOMPARE(own, QStringList({QStringLiteral("SourceModelDataChangedHandler(QModelIndex,QModelIndex)"),
                               QStringLiteral("SourceModelItemAddedHandler(QModelIndex,int,int)"),
                               QStringLiteral("SourceModelItemRemovedHandler(QString)"),
                               QStringLiteral("SourceModelItemsRemovedHandler(QStringList)"),
                               QStringLiteral("SourceModelAllItemRemovedHandler()"),
                               QStringLiteral("ChildModelValueChangedHandler()")}));
    QCOMPARE(meta->propertyOffset(), meta->propertyCount());
}

void tst_FilterView::shouldPassResetsAndLayoutChangesOn() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 b a2")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
    SignalLog log(view.get(), SignalLog::WithAboutTo);
    source->MoveRow(0, 2);
    QCOMPARE(log.take(), QStringLiteral("aboutReset reset"));
    emit source->layoutAboutToBeChanged();
    emit source->layoutChanged();
    QCOMPARE(log.take(), QStringLiteral("aboutLayout layout"));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a1 a2"));
}

void tst_FilterView::shouldAnnounceARefilterInOrder() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a ab b c")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
    QAbstractItemModelTester tester(view.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    SignalLog log(view.get());
    QVERIFY(view->UpdateFilterRules(containing(QStringLiteral("b")), true));
    QCOMPARE(log.take(), QStringLiteral("rem:0-1 allRemoved count ins:0-1 count filterChanged"));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("ab b"));
    QVERIFY(view->UpdateFilterRules(containing(QStringLiteral("z")), true));
    QCOMPARE(log.take(), QStringLiteral("rem:0-1 allRemoved count filterChanged"));
    QVERIFY(view->UpdateFilterRules(containing(QStringLiteral("y")), true));
    QCOMPARE(log.take(), QStringLiteral("filterChanged"));
}

void tst_FilterView::shouldIgnoreUnchangedRules() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a ab b")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")), true);
    SignalLog log(view.get());
    QVERIFY(view->UpdateFilterRules(containing(QStringLiteral("a")), true));
    QCOMPARE(log.take(), QString());
    QVERIFY(view->UpdateFilterRules(containing(QStringLiteral("a")), false));
    QCOMPARE(log.take(), QStringLiteral("rem:0-1 allRemoved count ins:0-1 count filterChanged"));
}

void tst_FilterView::shouldRefilterOnANewUserRuleValue_data() {
    QTest::addColumn<bool>("withPredicate");
    QTest::addColumn<QVariant>("update");
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QString>("rows");
    const QString refilter = QStringLiteral("rem:0-1 allRemoved count ins:0-0 count filterChanged");
    // clang-format off
    QTest::newRow("same value") << true << QVariant(QStringLiteral("a")) << "" << "a ab";
    QTest::newRow("new value") << true << QVariant(QStringLiteral("b")) << refilter << "b";
    QTest::newRow("no predicate, new value") << false << QVariant(QStringLiteral("b")) << QStringLiteral("rem:0-2 allRemoved count ins:0-2 count filterChanged") << "a ab b";
    // clang-format on
}

void tst_FilterView::shouldRefilterOnANewUserRuleValue() {
    QFETCH(bool, withPredicate);
    QFETCH(QVariant, update);
    QFETCH(QString, sequence);
    QFETCH(QString, rows);
    PF_USER_FILTER predicate;
    if (withPredicate) {
        predicate = [](const QObject* item, const QVariant& rules) {
            return qobject_cast<const ZEPHTreeItem*>(item)->Name().startsWith(rules.toString());
        };
    }
    ZEPHTreeModel source(nullptr, {}, 0, {}, predicate);
    tree::fill(&source, QStringLiteral("a ab b"));
    ViewPtr view(modelOf(source.GetFilterModelByUserDefinedRules(QStringLiteral("a"), 0)));
    SignalLog log(view.get());
    QVERIFY(view->UpdateUserDefinedFilterRules(update));
    QCOMPARE(log.take(), sequence);
    QCOMPARE(tree::ids(view.get()), rows);
}

// Script values become plain variants; every other value reaches the predicate as it is, from the
// factory as well as from the update.
void tst_FilterView::shouldUnwrapOnlyScriptValues() {
    QVariant seen;
    PF_USER_FILTER predicate = [&seen](const QObject*, const QVariant& rules) {
        seen = rules;
        return true;
    };
    ZEPHTreeModel source(nullptr, {}, 0, {}, predicate);
    tree::fill(&source, QStringLiteral("a"));
    QJSEngine engine;
    const QVariant script = QVariant::fromValue(engine.evaluate(QStringLiteral("({word: 'a', n: [1, 2]})")));
    ViewPtr view(modelOf(source.GetFilterModelByUserDefinedRules(script, 0)));
    const QVariantMap expected{{QStringLiteral("word"), QStringLiteral("a")},
                               {QStringLiteral("n"), QVariantList{1, 2}}};
    QCOMPARE(seen.userType(), int(QMetaType::QVariantMap));
    QCOMPARE(seen.toMap(), expected);
    const QList<QVariant> values{QVariant(QStringLiteral("typed text")), QVariant(42),
                                 QVariant(QVariantMap{{QStringLiteral("k"), 1}}), QVariant()};
    for (const QVariant& value : values) {
        QVERIFY(view->UpdateUserDefinedFilterRules(value));
        QCOMPARE(seen.userType(), value.userType());
        QCOMPARE(seen, value);
    }
    // The value no longer changes once it is the same again: no refilter.
    seen = QStringLiteral("untouched");
    QVERIFY(view->UpdateUserDefinedFilterRules(QVariant()));
    QCOMPARE(seen, QVariant(QStringLiteral("untouched")));
    QVERIFY(
        view->UpdateUserDefinedFilterRules(QVariant::fromValue(engine.evaluate(QStringLiteral("'text'")))));
    QCOMPARE(seen, QVariant(QStringLiteral("text")));
}

// The factories and updates from QML, in all their short forms, with rule lists written as
// script arrays of objects and user rule values written as script objects.
void tst_FilterView::shouldTakeRulesFromQml() {
    PF_USER_FILTER predicate = [](const QObject* item, const QVariant& rules) {
        return qobject_cast<const ZEPHTreeItem*>(item)->Name().startsWith(
            rules.toMap().value(QStringLiteral("prefix")).toString());
    };
    ZEPHTreeModel source(nullptr, {}, 0, {}, predicate);
    tree::fill(&source, QStringLiteral("a ab b c"));
    QQmlEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("source"), &source);
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQml 2.0
        import com.zephora.izephtreemodel 1.0
        QtObject {
            property var all: source.GetFilterModel()
            property var anyOf: source.GetFilterModel([{RoleName: "nameRole", Rule: IZEPHTreeModel.SubStr, Value: "a"},
                                                       {RoleName: "nameRole", Rule: IZEPHTreeModel.Eq, Value: "c"}])
            property var allOf: source.GetFilterModel([{RoleName: "nameRole", Rule: IZEPHTreeModel.SubStr, Value: "a"},
                                                       {RoleName: "nameRole", Rule: IZEPHTreeModel.SubStr, Value: "b"}], false)
            property var head: source.GetFilterModel([], true, IZEPHTreeModel.POS_HEAD)
            property var byUser: source.GetFilterModelByUserDefinedRules({prefix: "a"})
            property var byUserAll: source.GetFilterModelByUserDefinedRules()
            property var byUserPos: source.GetFilterModelByUserDefinedRules({prefix: "b"}, 1)
            function update() {
                anyOf.UpdateFilterRules([{RoleName: "nameRole", Rule: IZEPHTreeModel.Eq, Value: "b"}])
                allOf.UpdateFilterRules()
                byUser.UpdateUserDefinedFilterRules({prefix: "c"})
                byUserPos.UpdateUserDefinedFilterRules()
            }
        }
    )",
                      QUrl());
    std::unique_ptr<QObject> root(component.create());
    QVERIFY2(root, qPrintable(component.errorString()));
    const auto rows = [&](const char* name) { return tree::ids(root->property(name).value<QObject*>()); };
    QCOMPARE(rows("all"), QStringLiteral("a ab b c"));
    QCOMPARE(rows("anyOf"), QStringLiteral("a ab c"));
    QCOMPARE(rows("allOf"), QStringLiteral("ab"));
    QCOMPARE(rows("head"), QStringLiteral("a ab b c"));
    QCOMPARE(rows("byUser"), QStringLiteral("a ab"));
    QCOMPARE(rows("byUserPos"), QStringLiteral("b"));
    QMetaObject::invokeMethod(root.get(), "update");
    QCOMPARE(rows("anyOf"), QStringLiteral("b"));
    QCOMPARE(rows("allOf"), QStringLiteral("a ab b c"));
    QCOMPARE(rows("byUser"), QStringLiteral("c"));
    // Without a value the predicate gets an invalid one, whose prefix is empty.
    QCOMPARE(rows("byUserPos"), QStringLiteral("a ab b c"));
    root.reset();
    engine.collectGarbage();
    flushDeletes();
}

void tst_FilterView::shouldPlaceInsertedItemsByNewItemPos_data() {
    QTest::addColumn<int>("newItemPos");
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QString>("rows");
    // clang-format off
    QTest::newRow("tail") << int(ZEPHTreeModel::POS_TAIL) << "ins:2-3 count" << "a1 a2 a3 a4";
    QTest::newRow("head") << int(ZEPHTreeModel::POS_HEAD) << "ins:0-1 count" << "a3 a4 a1 a2";
    QTest::newRow("neither") << 7 << "" << "a1 a2";
    // clang-format on
}

void tst_FilterView::shouldPlaceInsertedItemsByNewItemPos() {
    QFETCH(int, newItemPos);
    QFETCH(QString, sequence);
    QFETCH(QString, rows);
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 b a2")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")), true, newItemPos);
    QAbstractItemModelTester tester(view.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    SignalLog log(view.get());
    tree::fill(source.get(), QStringLiteral("a3 c a4"));
    QCOMPARE(log.take(), sequence);
    QCOMPARE(tree::ids(view.get()), rows);
}

void tst_FilterView::shouldRetestTheChangedRow_data() {
    QTest::addColumn<int>("newItemPos");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QString>("rows");
    // clang-format off
    QTest::newRow("passes, still passes") << 0 << "a1" << "xa" << "data:0-0" << "a1 a2";
    QTest::newRow("passes, stops") << 0 << "a1" << "x" << "rem:0-0 itemsRemoved:a1 count data:0-0" << "a2";
    QTest::newRow("fails, still fails") << 0 << "b" << "c" << "data:0-1" << "a1 a2";
    QTest::newRow("fails, starts") << 0 << "b" << "ba" << "ins:2-2 data:0-2 count" << "a1 a2 b";
    // Whatever the view's newItemPos, an item that starts to pass through a change goes to the tail.
    QTest::newRow("fails, starts, head view") << 1 << "b" << "ba" << "ins:2-2 data:0-2 count" << "a1 a2 b";
    // clang-format on
}

void tst_FilterView::shouldRetestTheChangedRow() {
    QFETCH(int, newItemPos);
    QFETCH(QString, id);
    QFETCH(QString, name);
    QFETCH(QString, sequence);
    QFETCH(QString, rows);
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 b a2")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")), true, newItemPos);
    QAbstractItemModelTester tester(view.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    SignalLog log(view.get());
    rename(source.get(), id, name);
    QCOMPARE(log.take(), sequence);
    QCOMPARE(tree::ids(view.get()), rows);
}

// One source signal in which one row stops passing and another starts: the new row is announced,
// so the count seen by listeners stays true.
void tst_FilterView::shouldAnnounceExactlyTheRowsItAddsWhileOthersLeave() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 b a2")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
    QAbstractItemModelTester tester(view.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    SignalLog log(view.get());
    for (const auto& change : {qMakePair(QStringLiteral("a1"), QStringLiteral("x")),
                               qMakePair(QStringLiteral("b"), QStringLiteral("ba"))}) {
        ZEPHTreeItem* item = itemOf(source.get(), change.first);
        const QSignalBlocker blocker(item);
        item->SetName(change.second);
    }
    emit source->dataChanged(source->index(0, 0), source->index(2, 0));
    QCOMPARE(log.take(), QStringLiteral("rem:0-0 itemsRemoved:a1 count ins:1-1 count"));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a2 b"));
}

void tst_FilterView::shouldFollowRemovalsOfTheSource_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QString>("rows");
    // clang-format off
    QTest::newRow("RemoveOne, passing") << "one a2" << "rem:1-1 itemsRemoved:a2 count" << "a1 a3";
    QTest::newRow("RemoveOne, failing") << "one b" << "count" << "a1 a2 a3";
    QTest::newRow("Remove by IDs") << "ids a3 b zz a1" << "rem:2-2 rem:0-0 itemsRemoved:a3,a1 count" << "a2";
    QTest::newRow("Remove rows") << "rows 0 2" << "rem:0-0 rem:0-0 itemsRemoved:a1,a2 count" << "a3";
    QTest::newRow("RemoveAll") << "all" << "rem:0-2 allRemoved count" << "";
    // clang-format on
}

void tst_FilterView::shouldFollowRemovalsOfTheSource() {
    QFETCH(QString, operation);
    QFETCH(QString, sequence);
    QFETCH(QString, rows);
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 b a2 a3")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
    RowGuard guard(view.get());
    guard.watch(source.get());
    SignalLog log(view.get());
    const QStringList words = operation.split(QLatin1Char(' '));
    if (words.first() == QLatin1String("one"))
        source->RemoveOne(words.at(1));
    else if (words.first() == QLatin1String("ids"))
        source->Remove(words.mid(1));
    else if (words.first() == QLatin1String("rows"))
        source->Remove(words.at(1).toInt(), words.at(2).toInt());
    else
        source->RemoveAll();
    QCOMPARE(log.take(), sequence);
    QCOMPARE(tree::ids(view.get()), rows);
    flushDeletes();
    QCOMPARE(guard.problems, QStringList());
}

void tst_FilterView::shouldRemoveOnTheHostsRequest() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 b a2 a3")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
    SignalLog log(view.get());
    QVERIFY(invoke(view.get(), "SourceModelItemRemovedHandler", Q_ARG(QString, QStringLiteral("a2"))));
    QCOMPARE(log.take(), QStringLiteral("rem:1-1 itemsRemoved:a2 count"));
    // IDs whose items are still rows of the source stay.
    QVERIFY(invoke(view.get(), "SourceModelItemsRemovedHandler", Q_ARG(QStringList, {QStringLiteral("a1")})));
    QCOMPARE(log.take(), QStringLiteral("count"));
    QVERIFY(invoke(view.get(), "SourceModelAllItemRemovedHandler"));
    QCOMPARE(log.take(), QStringLiteral("rem:0-1 allRemoved count"));
    QCOMPARE(source->rowCount(), 4);
}

void tst_FilterView::shouldRetestAnItemWhoseChildModelChanged() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a p[x] q")));
    ViewPtr view = filterOf(source.get(), {nameRule(ZEPHTreeModel::Eq, QStringLiteral("a"))}, true,
                            ZEPHTreeModel::POS_HEAD);
    SignalLog log(view.get());
    auto* child = modelOf(itemOf(source.get(), QStringLiteral("p"))->ChildModel());
    child->AppendItem(new ZEPHTreeItem(QStringLiteral("c"), QStringLiteral("a"), nullptr));
    QCOMPARE(log.take(), QStringLiteral("ins:1-1 count"));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a p"));
    child->RemoveOne(QStringLiteral("c"));
    QCOMPARE(log.take(), QStringLiteral("rem:1-1 itemsRemoved:p count"));
    // An item whose child model changes while it keeps failing stays out, silently.
    auto* other = modelOf(itemOf(source.get(), QStringLiteral("p"))->ChildModel());
    other->AppendItem(new ZEPHTreeItem(QStringLiteral("d"), QStringLiteral("d"), nullptr));
    QCOMPARE(log.take(), QString());
    // An item that gets its child model later is followed from then on.
    auto* late = tree::make(QStringLiteral("a"));
    itemOf(source.get(), QStringLiteral("q"))->SetChildModel(late);
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a q"));
    late->RemoveAll();
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a"));
    itemOf(source.get(), QStringLiteral("q"))->SetChildModel(nullptr);
    delete late;
    flushDeletes();
}

void tst_FilterView::shouldNotTakeBackAnItemTheSourceRemoved() {
    ZEPHTreeModel source(nullptr, {}, 2);
    const QList<ZEPHTreeItem*> items = tree::items(QStringLiteral("a p[x]"));
    source.AppendItemsList(items);
    ViewPtr view = filterOf(&source, {nameRule(ZEPHTreeModel::Eq, QStringLiteral("a"))});
    source.RemoveOne(QStringLiteral("p"));
    modelOf(items.at(1)->ChildModel())
        ->AppendItem(new ZEPHTreeItem(QStringLiteral("c"), QStringLiteral("a"), nullptr));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a"));
    view.reset();
    source.RemoveAll();
    delete items.at(1)->ChildModel();
    qDeleteAll(items);
}

void tst_FilterView::shouldHandOutChildFilterViews() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("p[a b ca] qa r[s]")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("p qa"));
    std::vector<std::unique_ptr<QObject>> made;
    const auto take = [&made](const QVariant& value) {
        QObject* object = value.value<QObject*>();
        made.emplace_back(object);
        return object;
    };
    const QVariant first = view->data(view->index(0, 0), ZEPHTreeItem::ChildModelRole);
    QCOMPARE(first.typeName(), "QAbstractListModel*");
    QObject* one = take(first);
    QObject* two = take(view->data(view->index(0, 0), ZEPHTreeItem::ChildModelRole));
    QVERIFY(one && two && one != two);
    QCOMPARE(tree::ids(one), QStringLiteral("a ca"));
    QCOMPARE(tree::ids(two), QStringLiteral("a ca"));
    QCOMPARE(one->parent(), nullptr);
    QCOMPARE(QQmlEngine::objectOwnership(one), QQmlEngine::JavaScriptOwnership);
    // The lookups hand out child views as objects, by role number or by role name.
    const QList<QVariant> lookups{
        view->FindItemValue(0, int(ZEPHTreeItem::ChildModelRole)),
        view->FindItemValue(0, QStringLiteral("childModelRole")),
        view->FindItemValue(QStringLiteral("p"), int(ZEPHTreeItem::ChildModelRole)),
        view->FindItemValue(QStringLiteral("p"), QStringLiteral("childModelRole")),
        view->FindItemValueEx(QStringLiteral("p"), int(ZEPHTreeItem::ChildModelRole), false),
        view->FindItemValueEx(QStringLiteral("p"), QStringLiteral("childModelRole"), true)};
    for (const QVariant& lookup : lookups) {
        QCOMPARE(lookup.userType(), int(QMetaType::QObjectStar));
        QCOMPARE(tree::ids(take(lookup)), QStringLiteral("a ca"));
    }
    QCOMPARE(view->FindItemValue(1, QStringLiteral("nameRole")), QVariant(QStringLiteral("qa")));
    QCOMPARE(view->FindItemValue(QStringLiteral("qa"), int(ZEPHTreeItem::IdRole)),
             QVariant(QStringLiteral("qa")));
    QCOMPARE(view->FindItemValueEx(QStringLiteral("ca"), QStringLiteral("nameRole"), true),
             QVariant(QStringLiteral("ca")));
    // No item, no child model, and a child object that is not a model: no value.
    QVERIFY(!view->FindItemValue(QStringLiteral("r"), QStringLiteral("childModelRole")).isValid());
    QVERIFY(!view->FindItemValue(5, int(ZEPHTreeItem::ChildModelRole)).isValid());
    QVERIFY(!view->data(view->index(1, 0), ZEPHTreeItem::ChildModelRole).isValid());
    QObject notAModel;
    itemOf(source.get(), QStringLiteral("qa"))->SetChildModel(&notAModel);
    QVERIFY(!view->data(view->index(1, 0), ZEPHTreeItem::ChildModelRole).isValid());
    QVERIFY(!view->FindItemValue(1, QStringLiteral("childModelRole")).isValid());
    itemOf(source.get(), QStringLiteral("qa"))->SetChildModel(nullptr);
    QCOMPARE(view->data(view->index(1, 0), ZEPHTreeItem::NameRole), QVariant(QStringLiteral("qa")));
}

void tst_FilterView::shouldLetChildViewsOfUserRulesShowEverything() {
    PF_USER_FILTER predicate = [](const QObject* item, const QVariant&) {
        return qobject_cast<const ZEPHTreeItem*>(item)->ID() == QLatin1String("p");
    };
    ZEPHTreeModel source(nullptr, {}, 0, {}, predicate);
    tree::fill(&source, QStringLiteral("p[a b] q"));
    ViewPtr view(modelOf(source.GetFilterModelByUserDefinedRules(QVariant(), 0)));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("p"));
    std::unique_ptr<QObject> child(
        view->data(view->index(0, 0), ZEPHTreeItem::ChildModelRole).value<QObject*>());
    QCOMPARE(tree::ids(child.get()), QStringLiteral("a b"));
}

void tst_FilterView::shouldFollowAViewOfAView() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 b ab c")));
    ViewPtr inner = filterOf(source.get(), containing(QStringLiteral("a")));
    ViewPtr outer = filterOf(inner.get(), containing(QStringLiteral("b")));
    QAbstractItemModelTester tester(outer.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(tree::ids(outer.get()), QStringLiteral("ab"));
    tree::fill(source.get(), QStringLiteral("ba2 b2"));
    QCOMPARE(tree::ids(outer.get()), QStringLiteral("ab ba2"));
    rename(source.get(), QStringLiteral("ab"), QStringLiteral("a"));
    QCOMPARE(tree::ids(outer.get()), QStringLiteral("ba2"));
    rename(source.get(), QStringLiteral("b"), QStringLiteral("bab"));
    QCOMPARE(tree::ids(outer.get()), QStringLiteral("ba2 b"));
    QVERIFY(inner->UpdateFilterRules(containing(QStringLiteral("2")), true));
    QCOMPARE(tree::ids(inner.get()), QStringLiteral("ba2 b2"));
    QCOMPARE(tree::ids(outer.get()), QStringLiteral("ba2 b2"));
    source->RemoveOne(QStringLiteral("b2"));
    QCOMPARE(tree::ids(outer.get()), QStringLiteral("ba2"));
    source->RemoveAll();
    QCOMPARE(outer->rowCount(), 0);
    QVERIFY(onlySourceRows(outer.get(), inner.get()));
}

void tst_FilterView::shouldSurviveItsSource() {
    auto* source = tree::make(QStringLiteral("a1 b a2"));
    ViewPtr view = filterOf(source, containing(QStringLiteral("a")));
    SignalLog log(view.get());
    delete source;
    flushDeletes();
    QCOMPARE(log.take(), QStringLiteral("rem:0-1 allRemoved count"));
    // Without a source the view stays empty: updates refilter nothing and the handlers do nothing.
    QVERIFY(!view->UpdateFilterRules(containing(QStringLiteral("b")), true));
    QVERIFY(!view->UpdateUserDefinedFilterRules(QStringLiteral("x")));
    QVERIFY(invoke(view.get(), "SourceModelDataChangedHandler", Q_ARG(QModelIndex, QModelIndex()),
                   Q_ARG(QModelIndex, QModelIndex())));
    QVERIFY(invoke(view.get(), "SourceModelItemAddedHandler", Q_ARG(QModelIndex, QModelIndex()),
                   Q_ARG(int, 0), Q_ARG(int, 0)));
    QVERIFY(invoke(view.get(), "SourceModelItemRemovedHandler", Q_ARG(QString, QStringLiteral("a1"))));
    QVERIFY(invoke(view.get(), "SourceModelItemsRemovedHandler", Q_ARG(QStringList, {QStringLiteral("a1")})));
    QVERIFY(invoke(view.get(), "ChildModelValueChangedHandler"));
    QCOMPARE(log.take(), QString());
    QCOMPARE(view->rowCount(), 0);
    QVERIFY(!view->data(view->index(0, 0), ZEPHTreeItem::IdRole).isValid());
}

void tst_FilterView::shouldSurviveItsChildModel() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("p[a b]")));
    ViewPtr view = filterOf(source.get(), {});
    std::unique_ptr<QObject> child(
        view->data(view->index(0, 0), ZEPHTreeItem::ChildModelRole).value<QObject*>());
    QCOMPARE(tree::ids(child.get()), QStringLiteral("a b"));
    delete itemOf(source.get(), QStringLiteral("p"))->ChildModel();
    flushDeletes();
    QCOMPARE(modelOf(child.get())->rowCount(), 0);
    QVERIFY(!modelOf(child.get())->UpdateFilterRules(containing(QStringLiteral("a")), true));
}

void tst_FilterView::shouldHoldOnlySourceRowsAfterAnExchange_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("rows");
    for (int flags : {0, 2}) {
        const QByteArray owner = flags == 0 ? "owning source, " : "shared items, ";
        // clang-format off
        QTest::newRow(owner + "same count") << flags << "a5 x a6 y" << "a5 a6";
        QTest::newRow(owner + "fewer") << flags << "a5 x" << "a5";
        // The rows the source announces as inserted arrive first, then those found by the data change.
        QTest::newRow(owner + "more") << flags << "x a5 y a6 a7 z" << "a7 a5 a6";
        QTest::newRow(owner + "none") << flags << "" << "";
        QTest::newRow(owner + "none pass") << flags << "x y" << "";
        // clang-format on
    }
}

// The source exchanges its content announcing only a count change and a data change; with an
// owning source the old items are deleted at once, before anything is announced.
void tst_FilterView::shouldHoldOnlySourceRowsAfterAnExchange() {
    QFETCH(int, flags);
    QFETCH(QString, replacement);
    QFETCH(QString, rows);
    ZEPHTreeModel source(nullptr, {}, flags);
    const QList<ZEPHTreeItem*> old = tree::items(QStringLiteral("a1 b a2 c"));
    source.AppendItemsList(old);
    ViewPtr view = filterOf(&source, containing(QStringLiteral("a")));
    QAbstractItemModelTester tester(view.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    RowGuard guard(view.get());
    guard.watchItems(old);
    const QList<ZEPHTreeItem*> fresh = tree::items(replacement);
    guard.watchItems(fresh);
    QVERIFY(source.ReplaceItemsListEx(fresh));
    QCOMPARE(tree::ids(view.get()), rows);
    QVERIFY(onlySourceRows(view.get(), &source));
    QCOMPARE(guard.problems, QStringList());
    QCOMPARE(view->property("count").toInt(), view->rowCount());
    // Items that are no longer rows of the source no longer reach the view.
    if (flags == 2) {
        old.first()->SetName(QStringLiteral("a1 again"));
        QCOMPARE(tree::ids(view.get()), rows);
    }
    view.reset();
    source.RemoveAll();
    flushDeletes();
    if (flags == 2) qDeleteAll(old + fresh);
}

void tst_FilterView::shouldLetGoOfItemsDeletedAtOnce() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 b[a3] a2")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
    QAbstractItemModelTester tester(view.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QObject> child(
        view->data(view->index(1, 0), ZEPHTreeItem::ChildModelRole).value<QObject*>());
    QCOMPARE(tree::ids(child.get()), QStringLiteral("a3"));
    RowGuard guard(view.get());
    guard.watch(source.get());
    RowGuard childGuard(modelOf(child.get()));
    childGuard.watch(modelOf(itemOf(source.get(), QStringLiteral("b"))->ChildModel()));
    SignalLog log(view.get());
    source->ClearAllSourceContainer();
    QCOMPARE(view->rowCount(), 0);
    QCOMPARE(modelOf(child.get())->rowCount(), 0);
    QCOMPARE(guard.problems, QStringList());
    QCOMPARE(childGuard.problems, QStringList());
    QVERIFY(guard.checks > 0);
    QCOMPARE(view->property("count").toInt(), 0);
}

void tst_FilterView::shouldNeverReachADeletedItemThroughAStack_data() {
    QTest::addColumn<QString>("stack");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("renamed");
    QTest::addColumn<QString>("rows");
    // f: a filter view, p: a paging view, g: a group view by name and the member model of group "a".
    for (const QString stack : {"f f", "f p f", "p f f", "f g f"}) {
        for (bool renamed : {false, true}) {
            const QByteArray name =
                (stack + (renamed ? QStringLiteral(", IDs changed") : QString())).toUtf8();
            const QString exchanged = stack.contains('g') ? QString() : QStringLiteral("5");
            QTest::addRow("%s, exchange", name.data())
                << stack << "replaceEx 5:a 6:b" << renamed << exchanged;
            QTest::addRow("%s, silent clear", name.data()) << stack << "clearAll" << renamed << "";
        }
    }
}

// Old items deleted at once by the source leave every view of the stack, however deep, while
// they are still alive.
void tst_FilterView::shouldNeverReachADeletedItemThroughAStack() {
    QFETCH(QString, stack);
    QFETCH(QString, operation);
    QFETCH(bool, renamed);
    QFETCH(QString, rows);
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("1:a 2:a 3:b 4:a")));
    std::vector<std::unique_ptr<QObject>> views;
    ZEPHTreeModel* top = source.get();
    for (const QString& kind : stack.split(QLatin1Char(' '))) {
        QObject* made = kind == QLatin1String("f")
                            ? top->GetFilterModel(containing(QStringLiteral("a")), true, 0)
                        : kind == QLatin1String("p") ? top->GetPagingModel(10)
                                                     : top->GetGroupModel(ZEPHTreeItem::NameRole, false);
        views.emplace_back(made);
        top = modelOf(made);
        if (kind == QLatin1String("g"))
            top = modelOf(
                top->FindItemValue(QStringLiteral("a"), ZEPHTreeItem::ChildModelRole).value<QObject*>());
    }
    new QAbstractItemModelTester(top, QAbstractItemModelTester::FailureReportingMode::QtTest, top);
    RowGuard guard(top);
    guard.watch(source.get());
    QCOMPARE(tree::ids(top), QStringLiteral("1 2 4"));
    for (int row = 0; renamed && row < source->rowCount(); ++row)
        tree::at(source.get(), row)->SetID(QStringLiteral("x%1").arg(row));
    QVERIFY(tree::run(source.get(), operation));
    QCOMPARE(guard.problems, QStringList());
    flushDeletes();
    QCOMPARE(tree::ids(top), rows);
    QCOMPARE(guard.problems, QStringList());
}

// A paging view exchanges its rows when the page turns: the filter view over it follows the page.
void tst_FilterView::shouldFollowAPagingSource() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a0 b1 a2 b3 a4 b5 a6")));
    std::unique_ptr<QObject> paging(source->GetPagingModel(3));
    ZEPHTreeModel* pages = modelOf(paging.get());
    QVERIFY(pages);
    ViewPtr view = filterOf(pages, containing(QStringLiteral("a")));
    QAbstractItemModelTester tester(view.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a0 a2"));
    pages->setPage(1);
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a4"));
    QVERIFY(onlySourceRows(view.get(), pages));
    // A shorter page refreshes only the rows it keeps before it announces the rest as removed.
    pages->setPage(2);
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a6"));
    QVERIFY(onlySourceRows(view.get(), pages));
    pages->setPage(0);
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a0 a2"));
    QCOMPARE(view->property("count").toInt(), 2);
    // A reset of the source changes what the page shows: a2 goes, a6 joins at the tail.
    source->MoveRow(6, 0);
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a0 a6"));
}

// Any number of refilters leaves one value-change connection per item: one change of an item is
// one dataChanged of the view.
void tst_FilterView::shouldNeverMultiplyValueChangeConnections() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 b a2")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
    for (int i = 0; i < 5; ++i) {
        QVERIFY(view->UpdateFilterRules(containing(QStringLiteral("a")), i % 2 == 0));
        rename(source.get(), QStringLiteral("a2"), QStringLiteral("x"));
        rename(source.get(), QStringLiteral("a2"), QStringLiteral("a2"));
    }
    SignalLog log(view.get());
    rename(source.get(), QStringLiteral("a2"), QStringLiteral("a2 renamed"));
    QCOMPARE(log.take(), QStringLiteral("data:1-1"));
}

// Membership is the item itself, not its ID: items that share an ID or changed it are followed
// as what they are.
void tst_FilterView::shouldTreatItemsByIdentity() {
    {
        // Two items share the ID k; the view shows the first, the source's ID index leads to the
        // second, which the source removes.
        std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("k:a k:b")));
        ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
        QCOMPARE(tree::names(view.get()), QStringLiteral("a"));
        // A change of the other item, which keeps failing, leaves the shown one alone.
        qobject_cast<ZEPHTreeItem*>(source->FindItem(1))->SetName(QStringLiteral("bb"));
        QCOMPARE(tree::names(view.get()), QStringLiteral("a"));
        source->RemoveOne(QStringLiteral("k"));
        QCOMPARE(tree::names(source.get()), QStringLiteral("a"));
        QCOMPARE(tree::names(view.get()), QStringLiteral("a"));
    }
    {
        // An item changes its ID and then stops passing: it leaves the view all the same.
        std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a1 a2")));
        ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
        ZEPHTreeItem* item = itemOf(source.get(), QStringLiteral("a1"));
        item->SetID(QStringLiteral("z"));
        item->SetName(QStringLiteral("z"));
        QCOMPARE(tree::ids(view.get()), QStringLiteral("a2"));
    }
}

// Random single-item changes: the view holds the same rows and emits the same signals as the
// algorithm that tests membership by a snapshot of the view's IDs.
void tst_FilterView::shouldFollowRandomChangesLikeAnIdSnapshot() {
    QRandomGenerator rng(77);
    const auto randomName = [&rng] { return QStringLiteral("n%1").arg(rng.bounded(1000)); };
    const auto passes = [](const QString& name) { return name.contains(QLatin1Char('7')); };
    ZEPHTreeModel source(nullptr, {});
    for (int i = 0; i < 120; ++i)
        source.AppendItem(new ZEPHTreeItem(QStringLiteral("i%1").arg(i), randomName(), nullptr));
    ViewPtr view = filterOf(&source, containing(QStringLiteral("7")));
    QStringList expected;
    QSet<QString> connected; // items that have been rows of the view, and so reach its EmitValueChange
    for (int row = 0; row < source.rowCount(); ++row) {
        auto* item = qobject_cast<ZEPHTreeItem*>(source.FindItem(row));
        if (passes(item->Name())) {
            expected << item->ID();
            connected.insert(item->ID());
        }
    }
    QCOMPARE(tree::ids(view.get()), expected.join(QLatin1Char(' ')));
    SignalLog log(view.get());
    for (int change = 0; change < 600; ++change) {
        auto* item = qobject_cast<ZEPHTreeItem*>(source.FindItem(int(rng.bounded(source.rowCount()))));
        QString name = randomName();
        if (name == item->Name()) continue;
        const QString id = item->ID();
        // The snapshot algorithm, signal by signal.
        QStringList want;
        const int at = expected.indexOf(id);
        const bool inSnapshot = at >= 0;
        if (!passes(name)) {
            if (inSnapshot) {
                expected.removeAt(at);
                want << QStringLiteral("rem:%1-%1").arg(at) << QStringLiteral("itemsRemoved:") + id
                     << QStringLiteral("count");
            }
            if (!expected.isEmpty()) want << QStringLiteral("data:0-%1").arg(expected.size() - 1);
        } else if (inSnapshot) {
            want << QStringLiteral("data:%1-%1").arg(at);
        } else {
            expected << id;
            const int last = expected.size() - 1;
            want << QStringLiteral("ins:%1-%1").arg(last) << QStringLiteral("data:0-%1").arg(last)
                 << QStringLiteral("count");
            if (connected.contains(id)) want << QStringLiteral("data:%1-%1").arg(last);
            connected.insert(id);
        }
        item->SetName(name);
        QCOMPARE(log.take(), want.join(QLatin1Char(' ')));
        QCOMPARE(tree::ids(view.get()), expected.join(QLatin1Char(' ')));
    }
}

QVariantList byName(bool ascending) {
    return {QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                        {QStringLiteral("Ascending"), ascending}}};
}

// With keep-sorting on, the data-change handler sorts instead of announcing a change of all rows.
void tst_FilterView::shouldKeepSortingWhenItemsStartToPass() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("x1:ax x2:b x3:ay")));
    ViewPtr view = filterOf(source.get(), containing(QStringLiteral("a")));
    view->SortByRules(byName(false), ZEPHTreeModel::KeepSorting);
    QCOMPARE(tree::ids(view.get()), QStringLiteral("x3 x1"));
    SignalLog log(view.get());
    rename(source.get(), QStringLiteral("x2"), QStringLiteral("az"));
    QCOMPARE(log.take(), QStringLiteral("ins:2-2 data:0-2 count"));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("x2 x3 x1"));
    rename(source.get(), QStringLiteral("x3"), QStringLiteral("b"));
    QCOMPARE(log.take(), QStringLiteral("rem:1-1 itemsRemoved:x3 count data:0-1"));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("x2 x1"));
}

// Child views handed out by data() are sorted like the view when it sorts recursively; the
// lookups hand them out as they are.
void tst_FilterView::shouldResortChildViewsWhenSortingRecursively() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("p[b a c]")));
    ViewPtr view = filterOf(source.get(), {});
    view->SortByRules(byName(true), ZEPHTreeModel::RecursiveKeepSorting);
    std::unique_ptr<QObject> sorted(
        view->data(view->index(0, 0), ZEPHTreeItem::ChildModelRole).value<QObject*>());
    QCOMPARE(tree::ids(sorted.get()), QStringLiteral("a b c"));
    std::unique_ptr<QObject> asIs(view->FindItemValue(0, QStringLiteral("childModelRole")).value<QObject*>());
    QCOMPARE(tree::ids(asIs.get()), QStringLiteral("b a c"));
    QCOMPARE(tree::dump(source.get()), QStringLiteral("p[b a c]"));
    view->SortByRules(byName(true), ZEPHTreeModel::KeepSorting);
    std::unique_ptr<QObject> unsorted(
        view->data(view->index(0, 0), ZEPHTreeItem::ChildModelRole).value<QObject*>());
    QCOMPARE(tree::ids(unsorted.get()), QStringLiteral("b a c"));
}

QTEST_MAIN(tst_FilterView)
#include "tst_filterview.moc"

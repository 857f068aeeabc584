#include "SignalLog.h"
#include "TreeBuilder.h"

#include <ZEPHTreeModel.h>

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QQmlEngine>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

namespace {

const int kName = ZEPHTreeItem::NameRole;

ZEPHTreeModel* asModel(QObject* object) {
    return qobject_cast<ZEPHTreeModel*>(object);
}

ZEPHTreeModel* groupView(ZEPHTreeModel* source, int role = kName, bool keepSortWithSource = false) {
    return asModel(source->GetGroupModel(role, keepSortWithSource));
}

ZEPHTreeItem* itemOf(QObject* object) {
    return qobject_cast<ZEPHTreeItem*>(object);
}

ZEPHTreeItem* itemById(ZEPHTreeModel* model, const QString& id) {
    return itemOf(model->FindItem(id));
}

// The member model of the group with `value`.
ZEPHTreeModel* members(ZEPHTreeModel* view, const QString& value) {
    return asModel(view->FindItemValue(value, ZEPHTreeItem::ChildModelRole).value<QObject*>());
}

// Groups and their members independent of order: "a:1,3 b:2", groups and IDs sorted.
QString membership(ZEPHTreeModel* view) {
    QStringList groups;
    for (int row = 0; row < view->rowCount(); ++row) {
        ZEPHTreeItem* group = itemOf(view->FindItem(row));
        QStringList ids;
        if (ZEPHTreeModel* memberModel = asModel(group->ChildModel())) {
            for (int m = 0; m < memberModel->rowCount(); ++m)
                ids << itemOf(memberModel->FindItem(m))->ID();
        }
        ids.sort();
        groups << group->ID() + QLatin1Char(':') + ids.join(QLatin1Char(','));
    }
    groups.sort();
    return groups.join(QLatin1Char(' '));
}

// Every member is one of the source's rows (the object itself), in the group of its current value,
// exactly once; no group is empty. Answers what is wrong, or an empty string.
QString violations(ZEPHTreeModel* view, ZEPHTreeModel* source, int role) {
    QSet<QObject*> rows;
    for (int row = 0; row < source->rowCount(); ++row)
        rows.insert(source->FindItem(row));
    QSet<QObject*> seen;
    for (int row = 0; row < view->rowCount(); ++row) {
        ZEPHTreeItem* group = itemOf(view->FindItem(row));
        ZEPHTreeModel* memberModel = asModel(group->ChildModel());
        if (!memberModel || memberModel->rowCount() == 0) return QStringLiteral("empty group ") + group->ID();
        for (int m = 0; m < memberModel->rowCount(); ++m) {
            QObject* member = memberModel->FindItem(m);
            if (!rows.contains(member)) return QStringLiteral("member not in source in group ") + group->ID();
            if (seen.contains(member)) return QStringLiteral("member twice in group ") + group->ID();
            seen.insert(member);
            if (itemOf(member)->getData(role).toString() != group->ID())
                return QStringLiteral("member in wrong group ") + group->ID();
        }
    }
    if (seen.size() != rows.size()) return QStringLiteral("source rows missing");
    return QString();
}

// Every item a test makes; whatever a sharing model leaves alive is deleted at the end. Declare it
// before the models so that it goes last.
struct Pool {
    QList<QPointer<ZEPHTreeItem>> items;
    ~Pool() {
        tree::flushDeletes();
        for (const auto& item : qAsConst(items))
            delete item.data();
    }
    ZEPHTreeItem* make(const QString& shape) {
        ZEPHTreeItem* item = tree::items(shape).first();
        items << item;
        return item;
    }
    ZEPHTreeModel* model(const QString& shape, int flags) {
        auto* model = new ZEPHTreeModel(nullptr, {}, flags);
        for (const QString& token : shape.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            model->AppendItem(make(token));
        return model;
    }
};

// Runs "op args; op args" against a source model. New items are given as "id:name".
void apply(ZEPHTreeModel* source, const QString& script, Pool* pool = nullptr) {
    const QStringList ops = script.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& text : ops) {
        const QStringList a = text.simplified().split(QLatin1Char(' '));
        const QString& op = a.at(0);
        auto fresh = [pool](const QString& shape) {
            return pool ? pool->make(shape) : tree::items(shape).first();
        };
        // Existing items by ID, others made new.
        auto list = [&](int from) {
            QList<ZEPHTreeItem*> items;
            for (int i = from; i < a.size(); ++i) {
                ZEPHTreeItem* existing =
                    a.at(i).contains(QLatin1Char(':')) ? nullptr : itemById(source, a.at(i));
                items << (existing ? existing : fresh(a.at(i)));
            }
            return items;
        };
        if (op == QLatin1String("append"))
            source->AppendItem(fresh(a.at(1)));
        else if (op == QLatin1String("prepend"))
            source->PrependItem(fresh(a.at(1)));
        else if (op == QLatin1String("insert"))
            source->InsertItem(a.at(1).toInt(), fresh(a.at(2)));
        else if (op == QLatin1String("name"))
            itemById(source, a.at(1))->SetName(a.size() > 2 ? a.at(2) : QString());
        else if (op == QLatin1String("touch")) {
            // A rename announced by the source also for items it does not watch (those that
            // ReplaceItemsListEx brought in).
            ZEPHTreeItem* item = itemById(source, a.at(1));
            item->SetName(a.at(2));
            const QModelIndex row = source->index(source->FindItemRow(a.at(1)), 0);
            emit source->dataChanged(row, row);
        } else if (op == QLatin1String("id"))
            itemById(source, a.at(1))->SetID(a.at(2));
        else if (op == QLatin1String("removeOne"))
            source->RemoveOne(a.at(1));
        else if (op == QLatin1String("removeIds"))
            source->Remove(a.at(1).split(QLatin1Char(',')));
        else if (op == QLatin1String("remove"))
            source->Remove(a.at(1).toInt(), a.at(2).toInt());
        else if (op == QLatin1String("removeAll"))
            source->RemoveAll();
        else if (op == QLatin1String("clearAll"))
            source->ClearAllSourceContainer();
        else if (op == QLatin1String("move"))
            source->MoveRow(a.at(1).toInt(), a.at(2).toInt());
        else if (op == QLatin1String("replace"))
            source->ReplaceItemsList(list(1));
        else if (op == QLatin1String("replaceEx"))
            source->ReplaceItemsListEx(list(1));
        else
            qFatal("unknown op %s", qPrintable(op));
    }
}

} // namespace

class GroupViewTest : public QObject {
    Q_OBJECT

private slots:
    void shouldGroupInOrderOfFirstOccurrence_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("groups");
        // clang-format off
        QTest::newRow("two groups") << "1:b 2:a 3:b" << "b[1 3] a[2]";
        QTest::newRow("empty source") << "" << "";
        QTest::newRow("one item") << "1:x" << "x[1]";
        QTest::newRow("all alike") << "1:x 2:x 3:x" << "x[1 2 3]";
        QTest::newRow("interleaved") << "1:a 2:b 3:c 4:a 5:c 6:b" << "a[1 4] b[2 6] c[3 5]";
        // clang-format on
    }
    void shouldGroupInOrderOfFirstOccurrence() {
        QFETCH(QString, source);
        QFETCH(QString, groups);
        QScopedPointer<ZEPHTreeModel> model(tree::make(source));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data()));
        QCOMPARE(tree::dump(view.data()), groups);
        QCOMPARE(view->get(0).value(QStringLiteral("nameRole")).toString(),
                 groups.section(QLatin1Char('['), 0, 0));
    }

    void shouldHoldTheSourcesOwnItems() {
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:b 2:a 3:b"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data()));
        ZEPHTreeModel* b = members(view.data(), QStringLiteral("b"));
        QCOMPARE(b->FindItem(0), model->FindItem(0));
        QCOMPARE(b->FindItem(1), model->FindItem(2));
        QCOMPARE(view->data(view->index(0, 0), ZEPHTreeItem::ChildModelRole).value<QObject*>(), b);
        // The view belongs to QML once it gets there; group items and member models stay the view's.
        QCOMPARE(QQmlEngine::objectOwnership(view.data()), QQmlEngine::JavaScriptOwnership);
        QCOMPARE(QQmlEngine::objectOwnership(b), QQmlEngine::CppOwnership);
        QCOMPARE(QQmlEngine::objectOwnership(view->FindItem(0)), QQmlEngine::CppOwnership);
        QCOMPARE(view->roleNames(), model->roleNames());
    }

    void shouldResolveRoleNames_data() {
        QTest::addColumn<QString>("roleName");
        QTest::addColumn<QString>("groups");
        // clang-format off
        QTest::newRow("name role") << "nameRole" << "a[1 3] b[2]";
        QTest::newRow("id role") << "idRole" << "1[1] 2[2] 3[3]";
        QTest::newRow("unknown name groups everything under the empty value") << "noSuchRole" << "[1 2 3]";
        // clang-format on
    }
    void shouldResolveRoleNames() {
        QFETCH(QString, roleName);
        QFETCH(QString, groups);
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a"));
        QScopedPointer<ZEPHTreeModel> byFactory(asModel(model->GetGroupModel(roleName)));
        QCOMPARE(tree::dump(byFactory.data()), groups);
        QScopedPointer<ZEPHTreeModel> byUpdate(groupView(model.data(), -1));
        QVERIFY(byUpdate->UpdateGroupRole(roleName));
        QCOMPARE(tree::dump(byUpdate.data()), groups);
        // The short forms reach the same operations through the meta-object.
        QObject* viaMeta = nullptr;
        QVERIFY(QMetaObject::invokeMethod(model.data(), "GetGroupModel", Q_RETURN_ARG(QObject*, viaMeta),
                                          Q_ARG(QString, roleName)));
        QScopedPointer<ZEPHTreeModel> byMeta(asModel(viaMeta));
        QCOMPARE(tree::dump(byMeta.data()), groups);
    }

    // Source "1:a 2:b 3:a" grouped by name; each script runs on the source, then the groups and the
    // view's signals are compared.
    void shouldFollowSourceIncrementally_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("groups");
        QTest::addColumn<QString>("viewLog");
        // clang-format off
        QTest::newRow("member moves to a new group") << "name 2 c" << "a[1 3] c[2]" << "rem:1-1 itemsRemoved:b count ins:1-1 count";
        QTest::newRow("member moves to an existing group") << "name 1 b" << "a[3] b[2 1]" << "";
        QTest::newRow("last member leaves its group") << "name 2 a" << "a[1 3 2]" << "rem:1-1 itemsRemoved:b count";
        QTest::newRow("member loses its value") << "name 2" << "a[1 3] [2]" << "rem:1-1 itemsRemoved:b count ins:1-1 count";
        QTest::newRow("new ID, member comes back last") << "id 1 9" << "a[3 9] b[2]" << "";
        QTest::newRow("new ID, group comes back last") << "id 2 8" << "a[1 3] b[8]" << "rem:1-1 itemsRemoved:b count ins:1-1 count";
        QTest::newRow("new item, existing value") << "append 4:b" << "a[1 3] b[2 4]" << "";
        QTest::newRow("new item, new value") << "append 4:c" << "a[1 3] b[2] c[4]" << "ins:2-2 count";
        QTest::newRow("insertion at the front") << "insert 0 4:a" << "a[1 3 4] b[2]" << "";
        QTest::newRow("removal in the middle") << "removeOne 2" << "a[1 3]" << "rem:1-1 itemsRemoved:b count";
        QTest::newRow("removal of rows") << "remove 0 1" << "a[3]" << "rem:1-1 itemsRemoved:b count";
        QTest::newRow("removal by ID list") << "removeIds 3,1" << "b[2]" << "rem:0-0 itemsRemoved:a count";
        QTest::newRow("remove all") << "removeAll" << "" << "rem:1-1 itemsRemoved:b count rem:0-0 itemsRemoved:a count";
        QTest::newRow("removal after an insertion in front") << "insert 0 4:c; removeOne 3" << "a[1] b[2] c[4]" << "ins:2-2 count";
        QTest::newRow("removal after a move") << "move 2 0; remove 0 0" << "a[1] b[2]" << "reset";
        QTest::newRow("replacement keeping one item") << "replaceEx 2 5:c" << "b[2] c[5]" << "rem:0-0 itemsRemoved:a count ins:1-1 count";
        QTest::newRow("replacement by the same items reordered") << "replaceEx 3 2 1" << "a[1 3] b[2]" << "";
        QTest::newRow("clear of the containers") << "clearAll" << "" << "reset rem:0-0 itemsRemoved:a count rem:0-0 itemsRemoved:b count";
        QTest::newRow("replace with removal pair") << "replace 2 4:a" << "b[2] a[4]" << "rem:1-1 itemsRemoved:b count rem:0-0 itemsRemoved:a count ins:0-0 count ins:1-1 count";
        // clang-format on
    }
    void shouldFollowSourceIncrementally() {
        QFETCH(QString, script);
        QFETCH(QString, groups);
        QFETCH(QString, viewLog);
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data()));
        QAbstractItemModelTester tester(view.data(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        SignalLog log(view.data());
        apply(model.data(), script);
        QCOMPARE(tree::dump(view.data()), groups);
        QCOMPARE(log.take(), viewLog);
        QCOMPARE(violations(view.data(), model.data(), kName), QString());
        tree::flushDeletes();
        QCOMPARE(violations(view.data(), model.data(), kName), QString());
    }

    void shouldAnnounceMemberChangesInMemberModels() {
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data()));
        ZEPHTreeModel* a = members(view.data(), QStringLiteral("a"));
        ZEPHTreeModel* b = members(view.data(), QStringLiteral("b"));
        SignalLog aLog(a);
        SignalLog bLog(b);
        itemById(model.data(), QStringLiteral("1"))->SetName(QStringLiteral("b"));
        QCOMPARE(aLog.take(), QStringLiteral("rem:0-0 itemsRemoved:1 count"));
        QCOMPARE(bLog.take(), QStringLiteral("ins:1-1 count"));
        // A change that keeps the group reaches the member model through the item itself.
        emit itemById(model.data(), QStringLiteral("1"))->valueChanged();
        QCOMPARE(bLog.take(), QStringLiteral("data:1-1"));
        // A new ID takes the member out; its emptied group goes, to come back as a new last row.
        itemById(model.data(), QStringLiteral("3"))->SetID(QStringLiteral("9"));
        QCOMPARE(aLog.take(), QStringLiteral("rem:0-0 itemsRemoved:3 count"));
        QCOMPARE(tree::dump(view.data()), QStringLiteral("b[2 1] a[9]"));
        model->RemoveOne(QStringLiteral("2"));
        QCOMPARE(bLog.take(), QStringLiteral("rem:0-0 itemsRemoved:2 count"));
    }

    // Members are found by identity: with repeated IDs the removed object leaves, not its namesake.
    void shouldRemoveTheRemovedObjectWhenIdsRepeat() {
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 1:a 1:a"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data()));
        QPointer<QObject> first = model->FindItem(0);
        QPointer<QObject> last = model->FindItem(2);
        model->Remove(2, 2);
        tree::flushDeletes();
        QVERIFY(!last);
        ZEPHTreeModel* a = members(view.data(), QStringLiteral("a"));
        QCOMPARE(a->rowCount(), 2);
        QCOMPARE(a->FindItem(0), first.data());
        QCOMPARE(violations(view.data(), model.data(), kName), QString());
    }

    // Random mutations of every kind, with owning and with sharing sources; after each one the view
    // matches a view rebuilt over the source, and Qt's model tester watches the view and every member
    // model.
    void shouldMatchARebuiltViewUnderRandomMutations_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 6; ++seed) {
            QTest::addRow("owning %u", seed) << 0 << seed;
            QTest::addRow("sharing %u", seed) << 2 << seed;
        }
    }
    void shouldMatchARebuiltViewUnderRandomMutations() {
        QFETCH(int, flags);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const QStringList names = {"a", "b", "c", "d", "e"};
        int nextId = 0;
        auto newItem = [&] { return QStringLiteral("%1:%2").arg(nextId++).arg(names.at(random.bounded(5))); };
        QStringList start;
        for (int i = 0; i < 12; ++i)
            start << newItem();
        Pool pool;
        QScopedPointer<ZEPHTreeModel> model(pool.model(start.join(QLatin1Char(' ')), flags));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data()));
        QAbstractItemModelTester viewTester(view.data(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto watchMembers = [&](int first, int last) {
            for (int row = first; row <= last; ++row) {
                auto* memberModel = asModel(itemOf(view->FindItem(row))->ChildModel());
                new QAbstractItemModelTester(
                    memberModel, QAbstractItemModelTester::FailureReportingMode::QtTest, memberModel);
            }
        };
        watchMembers(0, view->rowCount() - 1);
        connect(view.data(), &QAbstractItemModel::rowsInserted, this,
                [&](const QModelIndex&, int first, int last) { watchMembers(first, last); });
        for (int step = 0; step < 150; ++step) {
            const int count = model->rowCount();
            auto anyId = [&] { return itemOf(model->FindItem(random.bounded(count)))->ID(); };
            QString op;
            switch (random.bounded(count == 0 ? 2 : 11)) {
            case 0:
                op = "append " + newItem();
                break;
            case 1:
                op = QStringLiteral("insert %1 ").arg(random.bounded(count + 1)) + newItem();
                break;
            case 2:
                op = "touch " + anyId() + ' ' + names.at(random.bounded(5));
                break;
            case 3:
                op = "removeOne " + anyId();
                break;
            case 4: {
                const int first = random.bounded(count);
                op = QStringLiteral("remove %1 %2")
                         .arg(first)
                         .arg(first + random.bounded(qMin(3, count - first)));
                break;
            }
            case 5:
                op = QStringLiteral("move %1 %2").arg(random.bounded(count)).arg(random.bounded(count));
                break;
            case 6:
                op = (random.bounded(2) ? "replaceEx " : "replace ") + anyId() + ' ' + anyId() + ' ' +
                     newItem();
                break;
            case 7:
                op = "removeIds " + anyId() + ',' + anyId();
                break;
            case 8:
                op = "prepend " + newItem();
                break;
            case 9:
                op = random.bounded(8) == 0 ? QStringLiteral("removeAll") : "touch " + anyId() + " a";
                break;
            default:
                // A silent clear can only be seen when it deletes the items.
                op =
                    flags == 0 && random.bounded(8) == 0 ? QStringLiteral("clearAll") : "append " + newItem();
                break;
            }
            apply(model.data(), op, &pool);
            tree::flushDeletes();
            QScopedPointer<ZEPHTreeModel> rebuilt(groupView(model.data()));
            QVERIFY2(membership(view.data()) == membership(rebuilt.data()), qPrintable(op));
            QVERIFY2(violations(view.data(), model.data(), kName).isEmpty(), qPrintable(op));
        }
    }

    // Deleted items leave their member models at once, before anyone can read them there.
    void shouldDropItemsDeletedAtOnce_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("groups");
        // clang-format off
        QTest::newRow("silent clear") << "clearAll" << "";
        QTest::newRow("replacement") << "replaceEx 4:b 5:c 6:a 7:a" << "a[7 6] b[4] c[5]";
        QTest::newRow("shrinking replacement") << "replaceEx 2" << "b[2]";
        // clang-format on
    }
    void shouldDropItemsDeletedAtOnce() {
        QFETCH(QString, script);
        QFETCH(QString, groups);
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data()));
        apply(model.data(), script);
        QCOMPARE(tree::dump(view.data()), groups);
        QCOMPARE(violations(view.data(), model.data(), kName), QString());
    }

    // A sharing source drops its rows without a signal and without deleting them; the view catches
    // up with its next signal.
    void shouldCatchUpAfterSilentClearOfSharingSource() {
        Pool pool;
        QScopedPointer<ZEPHTreeModel> model(pool.model("1:a 2:b 3:a", 2));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data()));
        model->ClearAllSourceContainer();
        apply(model.data(), "append 4:b", &pool);
        QCOMPARE(tree::dump(view.data()), QStringLiteral("b[4]"));
    }

    void shouldIgnoreTheSourceUntilARoleIsSet() {
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data(), -1));
        SignalLog log(view.data());
        QCOMPARE(view->rowCount(), 0);
        apply(model.data(), "append 3:c; name 1 c; removeOne 2; move 0 1");
        QCOMPARE(view->rowCount(), 0);
        QCOMPARE(log.take(), QStringLiteral("reset"));
        QVERIFY(view->UpdateGroupRole(kName));
        QCOMPARE(tree::dump(view.data()), QStringLiteral("c[3 1]"));
        // Back to no role: the groups go and the view stops following.
        QVERIFY(view->UpdateGroupRole(-1));
        apply(model.data(), "append 4:d");
        QCOMPARE(view->rowCount(), 0);
    }

    void shouldRegroupOnlyForAnotherRole_data() {
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("groups");
        // clang-format off
        QTest::newRow("same role") << kName << "" << "a[1 3] b[2]";
        QTest::newRow("another role") << int(ZEPHTreeItem::IdRole) << "rem:0-1 allRemoved count ins:0-2 count" << "1[1] 2[2] 3[3]";
        // clang-format on
    }
    void shouldRegroupOnlyForAnotherRole() {
        QFETCH(int, role);
        QFETCH(QString, log);
        QFETCH(QString, groups);
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data()));
        SignalLog viewLog(view.data());
        QVERIFY(view->UpdateGroupRole(role));
        QCOMPARE(viewLog.take(), log);
        QCOMPARE(tree::dump(view.data()), groups);
    }

    // With keepSortWithSource data changes and insertions rebuild the groups in source order.
    void shouldRebuildInSourceOrderWhenKeepingSort_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("groups");
        // clang-format off
        QTest::newRow("insertion in front") << "insert 0 4:b" << "b[4 2] a[1 3]";
        QTest::newRow("change of value") << "name 1 c" << "c[1] b[2] a[3]";
        QTest::newRow("reorder by replacement") << "replaceEx 3 2 1" << "a[3 1] b[2]";
        QTest::newRow("row move is only passed on") << "move 2 0" << "a[1 3] b[2]";
        QTest::newRow("removal stays incremental") << "removeOne 1" << "a[3] b[2]";
        // clang-format on
    }
    void shouldRebuildInSourceOrderWhenKeepingSort() {
        QFETCH(QString, script);
        QFETCH(QString, groups);
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data(), kName, true));
        QAbstractItemModelTester tester(view.data(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        apply(model.data(), script);
        QCOMPARE(tree::dump(view.data()), groups);
    }

    // A reordering source announces a layout change with its data changes inside; the view passes
    // the layout change on and changes its rows only after it.
    void shouldRegroupAfterTheSourcesLayoutChange_data() {
        QTest::addColumn<bool>("keepSortWithSource");
        QTest::addColumn<bool>("thenReset");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("groups");
        const QString regroup =
            QStringLiteral("aboutRem:0-1 rem:0-1 allRemoved count aboutIns:0-1 ins:0-1 count");
        // clang-format off
        QTest::newRow("incremental") << false << false << "aboutLayout layout" << "a[1 3] b[2]";
        QTest::newRow("keeping the source's order") << true << false << "aboutLayout layout " + regroup << "b[2] a[3 1]";
        // A script sort ends with a reset, which is only passed on.
        QTest::newRow("keeping the source's order, then a reset") << true << true << "aboutLayout layout " + regroup + " aboutReset reset" << "b[2] a[3 1]";
        // clang-format on
    }
    void shouldRegroupAfterTheSourcesLayoutChange() {
        QFETCH(bool, keepSortWithSource);
        QFETCH(bool, thenReset);
        QFETCH(QString, log);
        QFETCH(QString, groups);
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data(), kName, keepSortWithSource));
        QAbstractItemModelTester tester(view.data(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        SignalLog viewLog(view.data(), SignalLog::WithAboutTo);
        // The way a sort reorders: the layout signals around the new order and a data change.
        emit model->layoutAboutToBeChanged();
        apply(model.data(), "replaceEx 2 3 1");
        emit model->layoutChanged();
        if (thenReset) apply(model.data(), "move 0 0");
        QCOMPARE(viewLog.take(), log);
        QCOMPARE(tree::dump(view.data()), groups);
    }

    void shouldPassOnResets_data() {
        QTest::addColumn<bool>("keepSortWithSource");
        QTest::newRow("incremental") << false;
        QTest::newRow("keeping the source's order") << true;
    }
    // The groups and member models stay the same objects.
    void shouldPassOnResets() {
        QFETCH(bool, keepSortWithSource);
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a"));
        QScopedPointer<ZEPHTreeModel> view(groupView(model.data(), kName, keepSortWithSource));
        QPointer<ZEPHTreeModel> membersA = members(view.data(), QStringLiteral("a"));
        SignalLog viewLog(view.data(), SignalLog::WithAboutTo);
        model->MoveRow(0, 2);
        QCOMPARE(viewLog.take(), QStringLiteral("aboutReset reset"));
        QCOMPARE(tree::dump(view.data()), QStringLiteral("a[1 3] b[2]"));
        QCOMPARE(members(view.data(), QStringLiteral("a")), membersA.data());
    }

    void shouldDisposeOfGroupsButNeverOfSourceItems() {
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a"));
        QList<QPointer<QObject>> sourceItems;
        for (int row = 0; row < model->rowCount(); ++row)
            sourceItems << model->FindItem(row);
        auto* view = groupView(model.data());
        QPointer<QObject> groupB = view->FindItem(1);
        QPointer<QObject> membersB = members(view, QStringLiteral("b"));
        // An emptied group goes with its member model.
        itemById(model.data(), QStringLiteral("2"))->SetName(QStringLiteral("a"));
        tree::flushDeletes();
        QVERIFY(!groupB);
        QVERIFY(!membersB);
        // A regroup replaces every group.
        QPointer<QObject> groupA = view->FindItem(0);
        QPointer<QObject> membersA = members(view, QStringLiteral("a"));
        view->UpdateGroupRole(ZEPHTreeItem::IdRole);
        tree::flushDeletes();
        QVERIFY(!groupA);
        QVERIFY(!membersA);
        // Deleting the view disposes of the rest.
        QList<QPointer<QObject>> rest;
        for (int row = 0; row < view->rowCount(); ++row)
            rest << view->FindItem(row) << itemOf(view->FindItem(row))->ChildModel();
        delete view;
        tree::flushDeletes();
        for (const auto& object : rest)
            QVERIFY(!object);
        for (const auto& item : sourceItems)
            QVERIFY(item);
        QCOMPARE(tree::ids(model.data()), QStringLiteral("1 2 3"));
    }

    void shouldOutliveItsSource_data() {
        QTest::addColumn<int>("flags");
        QTest::newRow("owning source") << 0;
        QTest::newRow("sharing source") << 2;
    }
    void shouldOutliveItsSource() {
        QFETCH(int, flags);
        QList<ZEPHTreeItem*> items = tree::items("1:a 2:b 3:a");
        QList<QPointer<ZEPHTreeItem>> watched(items.begin(), items.end());
        auto* model = new ZEPHTreeModel(nullptr, {}, flags);
        model->AppendItemsList(items);
        QScopedPointer<ZEPHTreeModel> view(groupView(model));
        QPointer<QObject> membersA = members(view.data(), QStringLiteral("a"));
        delete model;
        QCOMPARE(view->rowCount(), 0);
        tree::flushDeletes();
        QVERIFY(!membersA);
        QVERIFY(!view->UpdateGroupRole(ZEPHTreeItem::IdRole));
        QVERIFY(!view->UpdateGroupRole(QStringLiteral("idRole")));
        QCOMPARE(view->FindItem(QStringLiteral("a")), nullptr);
        QCOMPARE(view->FindItemRow(QStringLiteral("a")), -1);
        for (const auto& item : watched)
            QCOMPARE(bool(item), flags == 2);
        for (const auto& item : watched)
            delete item.data();
    }

    // A view of a paging view groups what the page shows.
    void shouldGroupThePageOfAPagingView() {
        QScopedPointer<ZEPHTreeModel> model(tree::make("1:a 2:b 3:a 4:c 5:c"));
        QScopedPointer<ZEPHTreeModel> paging(asModel(model->GetPagingModel(3)));
        QScopedPointer<ZEPHTreeModel> view(groupView(paging.data()));
        QCOMPARE(tree::dump(view.data()), QStringLiteral("a[1 3] b[2]"));
        paging->setPage(1);
        QCOMPARE(membership(view.data()), QStringLiteral("c:4,5"));
        apply(model.data(), "append 6:a");
        QCOMPARE(membership(view.data()), QStringLiteral("a:6 c:4,5"));
        paging->setPage(0);
        QCOMPARE(membership(view.data()), QStringLiteral("a:1,3 b:2"));
        // A reset of the source changes what the page shows, not how many rows.
        apply(model.data(), "move 5 0");
        QCOMPARE(membership(view.data()), QStringLiteral("a:1,6 b:2"));
    }
};

QTEST_MAIN(GroupViewTest)
#include "tst_groupview.moc"

#include "SignalLog.h"
#include "TreeBuilder.h"

#include <ZEPHTreeModel.h>

#include <QMetaProperty>
#include <QPointer>
#include <QQmlEngine>
#include <QtTest>

namespace {

ZEPHTreeModel* asModel(QObject* object) {
    return qobject_cast<ZEPHTreeModel*>(object);
}

// A source of `rows` items with IDs 0..rows-1 (names "n0", "n1", ...).
ZEPHTreeModel* numbered(int rows) {
    QStringList shape;
    for (int i = 0; i < rows; ++i)
        shape << QStringLiteral("%1:n%1").arg(i);
    return tree::make(shape.join(QLatin1Char(' ')));
}

ZEPHTreeModel* pagingOf(ZEPHTreeModel* source, uint perPage, int page = 0) {
    ZEPHTreeModel* view = asModel(source->GetPagingModel(perPage));
    view->setPage(page);
    return view;
}

// The view's rows read through data(): "10 11 12".
QString shown(ZEPHTreeModel* view) {
    QStringList ids;
    for (int row = 0; row < view->rowCount(); ++row)
        ids << view->data(view->index(row, 0), ZEPHTreeItem::IdRole).toString();
    return ids.join(QLatin1Char(' '));
}

} // namespace

class PagingViewTest : public QObject {
    Q_OBJECT

private slots:
    void shouldCountPagesAndRows_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<uint>("perPage");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("totalPage");
        QTest::addColumn<QString>("shownIds");
        QTest::newRow("full first page") << 25 << 10u << 0 << 3 << "0 1 2 3 4 5 6 7 8 9";
        QTest::newRow("full middle page") << 25 << 10u << 1 << 3 << "10 11 12 13 14 15 16 17 18 19";
        QTest::newRow("short last page") << 25 << 10u << 2 << 3 << "20 21 22 23 24";
        QTest::newRow("exactly full last page") << 20 << 10u << 1 << 2 << "10 11 12 13 14 15 16 17 18 19";
        QTest::newRow("no rows") << 0 << 10u << 0 << 0 << "";
        QTest::newRow("one page for numPerPage 0") << 7 << 0u << 0 << 1 << "0 1 2 3 4 5 6";
        QTest::newRow("one row per page") << 3 << 1u << 2 << 3 << "2";
    }
    void shouldCountPagesAndRows() {
        QFETCH(int, rows);
        QFETCH(uint, perPage);
        QFETCH(int, page);
        QFETCH(int, totalPage);
        QFETCH(QString, shownIds);
        QScopedPointer<ZEPHTreeModel> model(numbered(rows));
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model.data(), perPage, page));
        QCOMPARE(view->page(), page);
        QCOMPARE(view->totalPage(), totalPage);
        QCOMPARE(view->property("page").toInt(), page);
        QCOMPARE(view->property("totalPage").toInt(), totalPage);
        QCOMPARE(view->property("count").toInt(), view->rowCount());
        QCOMPARE(shown(view.data()), shownIds);
        // Beyond the page's rows there is nothing.
        QVERIFY(!view->data(view->index(view->rowCount(), 0), ZEPHTreeItem::IdRole).isValid());
        QVERIFY(view->get(view->rowCount()).isEmpty());
        QVERIFY(view->get(-1).isEmpty());
    }

    // 10 rows per page.
    void shouldMoveBetweenPagesWithinBounds_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("log");
        QTest::newRow("to the short last page") << 25 << 0 << 2 << "page:2 data:0-4 rem:5-9 count";
        QTest::newRow("from the short last page") << 25 << 2 << 0 << "page:0 data:0-4 ins:5-9 count";
        QTest::newRow("between full pages") << 25 << 0 << 1 << "page:1 data:0-9";
        QTest::newRow("beyond the last page") << 25 << 0 << 3 << "";
        QTest::newRow("negative page") << 25 << 1 << -1 << "";
        QTest::newRow("the page shown") << 25 << 1 << 1 << "";
        QTest::newRow("page 0 without rows") << 0 << 0 << 0 << "";
        QTest::newRow("page 1 without rows") << 0 << 0 << 1 << "";
    }
    void shouldMoveBetweenPagesWithinBounds() {
        QFETCH(int, rows);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, log);
        QScopedPointer<ZEPHTreeModel> model(numbered(rows));
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model.data(), 10, from));
        SignalLog viewLog(view.data());
        view->setProperty("page", to);
        QCOMPARE(viewLog.take(), log);
        QCOMPARE(view->page(), log.isEmpty() ? from : to);
    }

    // Source changes, in the order the view announces them.
    void shouldFollowSourceCounts_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("shownIds");
        // clang-format off
        QTest::newRow("append to the shown short page") << 15 << 1 << "append" << "data:0-4 ins:5-5 count" << "10 11 12 13 14 x";
        QTest::newRow("insert in front of a full page") << 20 << 1 << "prepend" << "totalPage:3 data:0-9" << "9 10 11 12 13 14 15 16 17 18";
        QTest::newRow("append after the shown page") << 25 << 0 << "append" << "" << "0 1 2 3 4 5 6 7 8 9";
        QTest::newRow("append opening a new page after the shown one") << 30 << 0 << "append" << "totalPage:4" << "0 1 2 3 4 5 6 7 8 9";
        QTest::newRow("the shown last page disappears") << 25 << 2 << "remove 20 24" << "totalPage:2 page:1 data:0-4 ins:5-9 count data:0-9" << "10 11 12 13 14 15 16 17 18 19";
        QTest::newRow("removal in front of the shown page") << 25 << 1 << "remove 0 0" << "data:0-9" << "11 12 13 14 15 16 17 18 19 20";
        QTest::newRow("removal shortening the shown last page") << 25 << 2 << "remove 0 1" << "data:0-2 rem:3-4 count" << "22 23 24";
        QTest::newRow("everything removed") << 5 << 0 << "removeAll" << "totalPage:0 rem:0-4 count" << "";
        // clang-format on
    }
    void shouldFollowSourceCounts() {
        QFETCH(int, rows);
        QFETCH(int, page);
        QFETCH(QString, change);
        QFETCH(QString, log);
        QFETCH(QString, shownIds);
        QScopedPointer<ZEPHTreeModel> model(numbered(rows));
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model.data(), 10, page));
        SignalLog viewLog(view.data());
        const QStringList args = change.split(QLatin1Char(' '));
        if (args.at(0) == QLatin1String("append"))
            model->AppendItem(new ZEPHTreeItem(QStringLiteral("x"), QStringLiteral("x"), nullptr));
        else if (args.at(0) == QLatin1String("prepend"))
            model->InsertItem(0, new ZEPHTreeItem(QStringLiteral("x"), QStringLiteral("x"), nullptr));
        else if (args.at(0) == QLatin1String("remove"))
            model->Remove(args.at(1).toInt(), args.at(2).toInt());
        else
            model->RemoveAll();
        QCOMPARE(viewLog.take(), log);
        QCOMPARE(shown(view.data()), shownIds);
        QCOMPARE(view->property("count").toInt(), view->rowCount());
    }

    // The alternative count handler (a slot the view does not connect): a change that begins before
    // the shown page resets the view, one on or after it only brings the count up to date.
    void shouldResetForRemovalsBeforeThePageWithTheAlternativeHandler_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("log");
        QTest::newRow("before the page") << 3 << "aboutReset reset count";
        QTest::newRow("on the page") << 12 << "";
        QTest::newRow("after the page") << 22 << "";
    }
    void shouldResetForRemovalsBeforeThePageWithTheAlternativeHandler() {
        QFETCH(int, start);
        QFETCH(QString, log);
        QScopedPointer<ZEPHTreeModel> model(numbered(25));
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model.data(), 10, 1));
        SignalLog viewLog(view.data(), SignalLog::WithAboutTo);
        QVERIFY(QMetaObject::invokeMethod(view.data(), "SourceModelItemRemovedHandler",
                                          Q_ARG(QModelIndex, QModelIndex()), Q_ARG(int, start),
                                          Q_ARG(int, start)));
        QCOMPARE(viewLog.take(), log);
    }

    void shouldPassOnChangesOfTheShownPage_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("log");
        QTest::newRow("one row on the page") << 12 << 12 << "data:2-2";
        QTest::newRow("rows across the page start") << 5 << 13 << "data:0-3";
        QTest::newRow("every row") << 0 << 24 << "data:0-9";
        QTest::newRow("rows on another page") << 20 << 24 << "";
        QTest::newRow("reversed range") << 13 << 12 << "";
    }
    void shouldPassOnChangesOfTheShownPage() {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, log);
        QScopedPointer<ZEPHTreeModel> model(numbered(25));
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model.data(), 10, 1));
        SignalLog viewLog(view.data());
        emit model->dataChanged(model->index(first, 0), model->index(last, 0));
        QCOMPARE(viewLog.take(), log);
        // An item's own change arrives the same way.
        qobject_cast<ZEPHTreeItem*>(model->FindItem(15))->SetName(QStringLiteral("changed"));
        QCOMPARE(viewLog.take(), QStringLiteral("data:5-5"));
        QCOMPARE(view->data(view->index(5, 0), ZEPHTreeItem::NameRole).toString(), QStringLiteral("changed"));
    }

    void shouldPassOnResetsAndLayoutChanges() {
        QScopedPointer<ZEPHTreeModel> model(numbered(25));
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model.data(), 10, 2));
        SignalLog viewLog(view.data(), SignalLog::WithAboutTo);
        model->MoveRow(24, 0);
        QCOMPARE(viewLog.take(), QStringLiteral("aboutReset reset"));
        QCOMPARE(shown(view.data()), QStringLiteral("19 20 21 22 23"));
        emit model->layoutAboutToBeChanged();
        emit model->layoutChanged();
        QCOMPARE(viewLog.take(), QStringLiteral("aboutLayout layout"));
    }

    void shouldLookUpItemsOnAnyPage() {
        QScopedPointer<ZEPHTreeModel> model(numbered(25));
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model.data(), 10, 0));
        for (int page : {0, 1, 2}) {
            view->setPage(page);
            QCOMPARE(view->FindItemRow(QStringLiteral("12")), 2);
            QCOMPARE(view->FindItemRow(QStringLiteral("nope")), -1);
            QCOMPARE(view->FindItem(QStringLiteral("12")), model->FindItem(12));
        }
        QCOMPARE(view->FindItem(3), model->FindItem(23));
        QCOMPARE(view->FindItemID(1), QStringLiteral("21"));
        QCOMPARE(view->get(4).value(QStringLiteral("idRole")).toString(), QStringLiteral("24"));
        QCOMPARE(view->FindItemValue(QStringLiteral("3"), ZEPHTreeItem::NameRole).toString(),
                 QStringLiteral("n3"));
        QScopedPointer<ZEPHTreeModel> onePage(pagingOf(model.data(), 0));
        QCOMPARE(onePage->FindItemRow(QStringLiteral("24")), 24);
    }

    // The view holds no rows of its own: the inherited removals and moves find nothing to do, also
    // when called from QML through the meta-object.
    void shouldRefuseRemovalsAndMovesOfItsEmptyList() {
        QScopedPointer<ZEPHTreeModel> model(numbered(25));
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model.data(), 10, 1));
        SignalLog viewLog(view.data());
        SignalLog modelLog(model.data());
        bool removed = true;
        QVERIFY(QMetaObject::invokeMethod(view.data(), "Remove", Q_RETURN_ARG(bool, removed), Q_ARG(int, 0),
                                          Q_ARG(int, 2)));
        QVERIFY(!removed);
        QVERIFY(QMetaObject::invokeMethod(view.data(), "MoveRow", Q_ARG(int, 0), Q_ARG(int, 1)));
        QVERIFY(QMetaObject::invokeMethod(view.data(), "RemoveOne", Q_RETURN_ARG(bool, removed),
                                          Q_ARG(QString, QStringLiteral("12"))));
        QVERIFY(!removed);
        QVERIFY(QMetaObject::invokeMethod(view.data(), "RemoveAll"));
        QVERIFY(QMetaObject::invokeMethod(view.data(), "clear"));
        view->Remove(QStringList{QStringLiteral("12"), QStringLiteral("13")});
        QVERIFY(!viewLog.entries.join(QLatin1Char(' ')).contains(QLatin1String("rem")));
        QVERIFY(!viewLog.entries.join(QLatin1Char(' ')).contains(QLatin1String("itemsRemoved")));
        QVERIFY(!viewLog.entries.join(QLatin1Char(' ')).contains(QLatin1String("reset")));
        QCOMPARE(modelLog.take(), QString());
        QCOMPARE(model->rowCount(), 25);
        QCOMPARE(shown(view.data()), QStringLiteral("10 11 12 13 14 15 16 17 18 19"));
    }

    // The view's page properties are its own: their notify signals are the view's, which it emits.
    void shouldNotifyThroughItsOwnPageProperties() {
        QScopedPointer<ZEPHTreeModel> model(numbered(25));
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model.data(), 10));
        const QMetaObject* meta = view->metaObject();
        for (const char* name : {"page", "totalPage"}) {
            const QMetaProperty property = meta->property(meta->indexOfProperty(name));
            QCOMPARE(property.enclosingMetaObject(), meta);
            QCOMPARE(property.notifySignal().enclosingMetaObject(), meta);
        }
        QCOMPARE(QQmlEngine::objectOwnership(view.data()), QQmlEngine::JavaScriptOwnership);
    }

    // A source that holds no rows of its own (a paging view) announces nothing when it dies.
    void shouldBeEmptyAfterItsSourceIsGone_data() {
        QTest::addColumn<bool>("sourceIsPagingView");
        QTest::addColumn<QString>("log");
        QTest::newRow("model") << false << "totalPage:0 page:0 rem:0-4 count";
        QTest::newRow("paging view") << true << "totalPage:0 page:0 rem:0-1 count";
    }
    void shouldBeEmptyAfterItsSourceIsGone() {
        QFETCH(bool, sourceIsPagingView);
        QFETCH(QString, log);
        QScopedPointer<ZEPHTreeModel> rows(numbered(15));
        ZEPHTreeModel* model = sourceIsPagingView ? pagingOf(rows.data(), 10, 1) : rows.take();
        QScopedPointer<ZEPHTreeModel> view(pagingOf(model, sourceIsPagingView ? 2 : 10, 1));
        SignalLog viewLog(view.data());
        delete model;
        QCOMPARE(viewLog.take(), log);
        QCOMPARE(view->rowCount(), 0);
        QCOMPARE(view->FindItem(0), nullptr);
        QCOMPARE(view->FindItem(QStringLiteral("3")), nullptr);
        QCOMPARE(view->FindItemRow(QStringLiteral("3")), -1);
        QVERIFY(!view->data(view->index(0, 0), ZEPHTreeItem::IdRole).isValid());
        QVERIFY(view->get(0).isEmpty());
        view->setPage(1);
        QCOMPARE(view->page(), 0);
    }
};

QTEST_MAIN(PagingViewTest)
#include "tst_pagingview.moc"

#include "SignalLog.h"
#include "TreeBuilder.h"

#include <ZEPHTreeModel.h>

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QQmlEngine>
#include <QtTest>

namespace {

// A model of `rows` items with IDs 0..rows-1.
ZEPHTreeModel* numbered(int rows) {
    QStringList shape;
    for (int i = 0; i < rows; ++i)
        shape << QString::number(i);
    return tree::make(shape.join(QLatin1Char(' ')));
}

QAbstractItemModel* partialOf(ZEPHTreeModel* model) {
    return qobject_cast<QAbstractItemModel*>(model->GetPartialModel(0));
}

// The window's rows read through data(): "10 11 12".
QString shown(QAbstractItemModel* partial) {
    QStringList ids;
    for (int row = 0; row < partial->rowCount(); ++row)
        ids << partial->data(partial->index(row, 0), ZEPHTreeItem::IdRole).toString();
    return ids.join(QLatin1Char(' '));
}

// Runs "count 10; first 95" against the model's window operations.
void steer(ZEPHTreeModel* model, const QString& script) {
    for (const QString& step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList a = step.simplified().split(QLatin1Char(' '));
        if (a.at(0) == QLatin1String("count"))
            model->SetPartialModelCount(a.at(1).toInt());
        else
            model->SetFirstPartialModelRow(a.at(1).toInt());
    }
}

} // namespace

class PartialViewTest : public QObject {
    Q_OBJECT

private slots:
    void shouldShowTheWindow_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("firstRow");
        QTest::addColumn<QString>("shownIds");
        QTest::newRow("first rows") << 100 << "count 3" << 0 << "0 1 2";
        QTest::newRow("moved window") << 100 << "count 3; first 40" << 40 << "40 41 42";
        QTest::newRow("window cut by the end") << 100 << "count 10; first 97" << 97 << "97 98 99";
        QTest::newRow("first row beyond the end") << 100 << "count 10; first 500" << 99 << "99";
        QTest::newRow("negative first row") << 100 << "count 2; first 5; first -5" << 0 << "0 1";
        QTest::newRow("size zero") << 100 << "count 5; count 0" << 0 << "";
        QTest::newRow("negative size") << 100 << "count 5; count -3" << 0 << "";
        QTest::newRow("window larger than the model") << 4 << "count 10" << 0 << "0 1 2 3";
        QTest::newRow("empty model") << 0 << "count 10; first 3" << 0 << "";
    }
    void shouldShowTheWindow() {
        QFETCH(int, rows);
        QFETCH(QString, script);
        QFETCH(int, firstRow);
        QFETCH(QString, shownIds);
        QScopedPointer<ZEPHTreeModel> model(numbered(rows));
        QAbstractItemModel* partial = partialOf(model.data());
        steer(model.data(), script);
        QCOMPARE(model->FirstPartialModelRow(), firstRow);
        QCOMPARE(model->property("firstPartialModelRow").toInt(), firstRow);
        QCOMPARE(shown(partial), shownIds);
        QCOMPARE(partial->property("count").toInt(), partial->rowCount());
        QVERIFY(!partial->data(partial->index(partial->rowCount(), 0), ZEPHTreeItem::IdRole).isValid());
    }

    // 100 rows. The window's signals and the model's firstPartialModelRowChanged ("first") in order.
    void shouldAnnounceWindowChanges_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("log");
        // clang-format off
        QTest::newRow("first size") << "" << "count 10" << "ins:0-9 count";
        QTest::newRow("move towards the end") << "count 10" << "first 95" << "data:0-4 rem:5-9 count first";
        QTest::newRow("move back") << "count 10; first 95" << "first 0" << "data:0-4 ins:5-9 count first";
        QTest::newRow("move within") << "count 10" << "first 30" << "data:0-9 first";
        QTest::newRow("move beyond the end") << "count 10" << "first 500" << "data:0-0 rem:1-9 count first";
        QTest::newRow("same first row") << "count 10" << "first 0" << "first";
        QTest::newRow("size zero") << "count 10" << "count 0" << "rem:0-9 count";
        QTest::newRow("negative size") << "count 10" << "count -3" << "rem:0-9 count";
        QTest::newRow("same size") << "count 10" << "count 10" << "rem:0-9 ins:0-9";
        QTest::newRow("larger size") << "count 10" << "count 20" << "rem:0-9 ins:0-19 count";
        QTest::newRow("size at the end") << "count 10; first 95" << "count 3" << "rem:0-4 ins:0-2 count";
        QTest::newRow("size grows past the end") << "count 2; first 97" << "count 5" << "rem:0-1 ins:0-2 count";
        // clang-format on
    }
    void shouldAnnounceWindowChanges() {
        QFETCH(QString, before);
        QFETCH(QString, script);
        QFETCH(QString, log);
        QScopedPointer<ZEPHTreeModel> model(numbered(100));
        QAbstractItemModel* partial = partialOf(model.data());
        steer(model.data(), before);
        SignalLog partialLog(partial);
        connect(model.data(), &ZEPHTreeModel::firstPartialModelRowChanged, this,
                [&] { partialLog.entries << QStringLiteral("first"); });
        steer(model.data(), script);
        QCOMPARE(partialLog.take(), log);
    }

    // Window at first row 10, size 5, over 100 rows.
    void shouldFollowModelCounts_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("shownIds");
        // clang-format off
        QTest::newRow("append after the window") << "append" << "" << "10 11 12 13 14";
        QTest::newRow("insert in front") << "insert 0" << "aboutReset reset count" << "9 10 11 12 13";
        QTest::newRow("insert right after the window") << "insert 15" << "aboutReset reset count" << "10 11 12 13 14";
        QTest::newRow("remove inside") << "remove 12 12" << "aboutReset reset count" << "10 11 13 14 15";
        QTest::newRow("remove after the window") << "remove 50 60" << "" << "10 11 12 13 14";
        QTest::newRow("shrink below the first row") << "remove 5 99" << "aboutReset reset count" << "";
        QTest::newRow("remove everything") << "removeAll" << "aboutReset reset count" << "";
        QTest::newRow("empty the containers") << "clearAll" << "aboutReset reset count" << "";
        // clang-format on
    }
    void shouldFollowModelCounts() {
        QFETCH(QString, change);
        QFETCH(QString, log);
        QFETCH(QString, shownIds);
        QScopedPointer<ZEPHTreeModel> model(numbered(100));
        QAbstractItemModel* partial = partialOf(model.data());
        steer(model.data(), "count 5; first 10");
        QAbstractItemModelTester tester(partial, QAbstractItemModelTester::FailureReportingMode::QtTest);
        SignalLog partialLog(partial, SignalLog::WithAboutTo);
        const QStringList a = change.split(QLatin1Char(' '));
        if (a.at(0) == QLatin1String("append"))
            model->AppendItem(new ZEPHTreeItem(QStringLiteral("x"), QStringLiteral("x"), nullptr));
        else if (a.at(0) == QLatin1String("insert"))
            model->InsertItem(a.at(1).toInt(),
                              new ZEPHTreeItem(QStringLiteral("9"), QStringLiteral("x"), nullptr));
        else if (a.at(0) == QLatin1String("remove"))
            model->Remove(a.at(1).toInt(), a.at(2).toInt());
        else if (a.at(0) == QLatin1String("clearAll"))
            model->ClearAllSourceContainer();
        else
            model->RemoveAll();
        QCOMPARE(partialLog.take(), log);
        QCOMPARE(shown(partial), shownIds);
        QVERIFY(partial->rowCount() >= 0);
        QCOMPARE(model->FirstPartialModelRow(), 10);
        // The window comes back when the model grows again.
        if (shownIds.isEmpty()) {
            tree::fill(model.data(), "a b c d e f g h i j k l m n o p q r s t");
            QCOMPARE(partial->rowCount(), 5);
        }
    }

    // Window at first row 10, size 5, over 300 rows.
    void shouldPassOnDataChangesInTheWindow_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("log");
        QTest::newRow("rows around the window") << 0 << 200 << "data:0-0 data:1-1 data:2-2 data:3-3 data:4-4";
        QTest::newRow("one row in the window") << 12 << 12 << "data:2-2";
        QTest::newRow("rows overlapping the end") << 13 << 40 << "data:3-3 data:4-4";
        QTest::newRow("rows before the window") << 0 << 9 << "";
        QTest::newRow("rows after the window") << 15 << 30 << "";
        QTest::newRow("reversed range") << 13 << 12 << "";
    }
    void shouldPassOnDataChangesInTheWindow() {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, log);
        QScopedPointer<ZEPHTreeModel> model(numbered(300));
        QAbstractItemModel* partial = partialOf(model.data());
        steer(model.data(), "count 5; first 10");
        SignalLog partialLog(partial);
        emit model->dataChanged(model->index(first, 0), model->index(last, 0));
        QCOMPARE(partialLog.take(), log);
    }

    void shouldPassOnResetsAndLayoutChanges() {
        QScopedPointer<ZEPHTreeModel> model(numbered(20));
        QAbstractItemModel* partial = partialOf(model.data());
        steer(model.data(), "count 3; first 1");
        SignalLog partialLog(partial, SignalLog::WithAboutTo);
        model->MoveRow(0, 19);
        QCOMPARE(partialLog.take(), QStringLiteral("aboutReset reset"));
        QCOMPARE(shown(partial), QStringLiteral("2 3 4"));
        emit model->layoutAboutToBeChanged();
        emit model->layoutChanged();
        QCOMPARE(partialLog.take(), QStringLiteral("aboutLayout layout"));
    }

    void shouldAnswerLookups() {
        QScopedPointer<ZEPHTreeModel> model(numbered(100));
        QAbstractItemModel* partial = partialOf(model.data());
        steer(model.data(), "count 5; first 40");
        int row = -1;
        QVERIFY(QMetaObject::invokeMethod(partial, "FindItemRow", Q_RETURN_ARG(int, row),
                                          Q_ARG(QString, QStringLiteral("42"))));
        QCOMPARE(row, 42);
        QVERIFY(QMetaObject::invokeMethod(partial, "FindItemRow", Q_RETURN_ARG(int, row),
                                          Q_ARG(QString, QStringLiteral("nope"))));
        QCOMPARE(row, -1);
        for (int at : {0, 4, 5, -1}) {
            QVariantMap map;
            QVERIFY(
                QMetaObject::invokeMethod(partial, "get", Q_RETURN_ARG(QVariantMap, map), Q_ARG(int, at)));
            QCOMPARE(map.value(QStringLiteral("idRole")).toString(),
                     at >= 0 && at < 5 ? QString::number(40 + at) : QString());
            QCOMPARE(map.isEmpty(), at < 0 || at >= 5);
        }
        QCOMPARE(partial->roleNames(), model->roleNames());
    }

    // The model owns its one window (that QML does not collect it, the QML views test shows).
    void shouldStayOwnedByTheModel() {
        auto* model = numbered(10);
        QObject* partial = model->GetPartialModel(3);
        QCOMPARE(model->GetPartialModel(3), partial);
        QCOMPARE(partial->parent(), model);
        QCOMPARE(QQmlEngine::objectOwnership(partial), QQmlEngine::CppOwnership);
        QPointer<QObject> watched = partial;
        QVERIFY(watched);
        delete model;
        QVERIFY(!watched);
    }

    // Window size changes and model changes follow Qt's model protocol.
    void shouldSatisfyQtsModelTester() {
        QScopedPointer<ZEPHTreeModel> model(numbered(30));
        QAbstractItemModel* partial = partialOf(model.data());
        QAbstractItemModelTester tester(partial, QAbstractItemModelTester::FailureReportingMode::QtTest);
        steer(model.data(), "count 10; count 4; count 0; count 50; count 7");
        model->InsertItem(3, new ZEPHTreeItem(QStringLiteral("x"), QStringLiteral("x"), nullptr));
        model->Remove(0, 5);
        emit model->dataChanged(model->index(0, 0), model->index(20, 0));
        model->RemoveAll();
        steer(model.data(), "count 3");
        QCOMPARE(partial->rowCount(), 0);
    }
};

QTEST_MAIN(PartialViewTest)
#include "tst_partialview.moc"

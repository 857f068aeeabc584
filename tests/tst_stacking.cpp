#include "TreeBuilder.h"

#include <ZEPHTreeModel.h>

#include <QAbstractItemModelTester>
#include <QSortFilterProxyModel>
#include <QtTest>

#include <memory>

namespace {

// The IDs of a model's rows, sorted: "A B C".
QString idSet(const QAbstractItemModel* model) {
    QStringList ids;
    for (int row = 0; row < model->rowCount(); ++row)
        ids << model->index(row, 0).data(ZEPHTreeItem::IdRole).toString();
    ids.sort();
    return ids.join(QLatin1Char(' '));
}

} // namespace

// Every view follows Qt's model protocol, so Qt's own proxies and model testers stacked on it stay in
// step with it whatever its source goes through.
class TstStacking : public QObject {
    Q_OBJECT
private slots:
    void shouldKeepQtProxiesInStepWithEveryView_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"filter", "group", "paging", "partial"})
            QTest::newRow(kind) << kind;
    }
    void shouldKeepQtProxiesInStepWithEveryView() {
        QFETCH(QString, kind);
        std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("A:a B:b C:a D:c E:b")));
        const QVariantMap notC{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                               {QStringLiteral("Rule"), ZEPHTreeModel::Ne},
                               {QStringLiteral("Value"), QStringLiteral("c")}};
        std::unique_ptr<QObject> owned;
        if (kind == QLatin1String("filter")) owned.reset(source->GetFilterModel({notC}));
        if (kind == QLatin1String("group")) owned.reset(source->GetGroupModel(ZEPHTreeItem::NameRole));
        if (kind == QLatin1String("paging")) owned.reset(source->GetPagingModel(2));
        auto* view = qobject_cast<QAbstractItemModel*>(owned ? owned.get() : source->GetPartialModel(3));
        auto* paging = qobject_cast<ZEPHTreeModel*>(owned.get());
        QAbstractItemModelTester viewTester(view, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSortFilterProxyModel proxy;
        proxy.setSortRole(ZEPHTreeItem::NameRole);
        proxy.setDynamicSortFilter(true);
        proxy.setSourceModel(view);
        proxy.sort(0);
        QAbstractItemModelTester proxyTester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);

        // Page and window moves, renames ("name <ID> <name>"), and the source's own operations.
        const QStringList steps =
            QStringLiteral("first 1;append F:a;prepend G:c;insert 3 H:b;page 1;appendList I:a J:d;name A z;"
                           "first 4;size 5;removeOne B;page 2;removeRows 0 1;first 0;removeIds C I;name H a;"
                           "move 4 0;page 0;removeAll;appendList K:a L:b M:c N:a O:b;page 2;first 3;size 1;"
                           "removeRows 3 4;name K c")
                .split(QLatin1Char(';'));
        for (const QString& step : steps) {
            const QStringList a = step.split(QLatin1Char(' '));
            if (a.at(0) == QLatin1String("page") && paging)
                paging->setPage(a.at(1).toInt());
            else if (a.at(0) == QLatin1String("first"))
                source->SetFirstPartialModelRow(a.at(1).toInt());
            else if (a.at(0) == QLatin1String("size"))
                source->SetPartialModelCount(a.at(1).toInt());
            else if (a.at(0) == QLatin1String("name"))
                tree::found(source.get(), a.at(1)).first()->SetName(a.at(2));
            else if (a.at(0) != QLatin1String("page"))
                tree::run(source.get(), step);
            QVERIFY2(!QTest::currentTestFailed(), qPrintable(step));
            QCOMPARE(idSet(&proxy), idSet(view));
        }
    }
};

QTEST_MAIN(TstStacking)
#include "tst_stacking.moc"

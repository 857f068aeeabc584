#include "SignalLog.h"
#include "TreeBuilder.h"
#include "model/ZEPHTreeModelPrivate.h"

#include <ZEPHTreeModel.h>

#include <QAbstractItemModelTester>
#include <QMetaEnum>
#include <QPointer>
#include <QStringListModel>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

// An item that answers one more role, by number (300, and the display role) and by name
// ("extraRole").
class ExtraItem : public ZEPHTreeItem {
    Q_OBJECT
public:
    using ZEPHTreeItem::ZEPHTreeItem;
    QVariant getData(int role) const override {
        return role == 300 || role == Qt::DisplayRole ? QVariant(QStringLiteral("extra:") + ID())
                                                      : ZEPHTreeItem::getData(role);
    }
    QVariant getData(const QString& roleName) const override {
        return roleName == QLatin1String("extraRole") ? getData(300) : ZEPHTreeItem::getData(roleName);
    }
};

// A model that answers its lookups its own way, as the views do, and records the calls that the
// base class makes through the virtual table.
class ProbeModel : public ZEPHTreeModel {
    Q_OBJECT
public:
    using ZEPHTreeModel::ZEPHTreeModel;
    int rowShift = 0;
    int shownRows = -1;
    QHash<QString, QString> redirect;
    mutable QStringList calls;

    QObject* FindItem(int row) const override { return ZEPHTreeModel::FindItem(row + rowShift); }
    QObject* FindItem(const QString& id, bool includeChildModel) const override {
        calls << QStringLiteral("FindItem(%1,%2)").arg(id).arg(includeChildModel);
        return ZEPHTreeModel::FindItem(redirect.value(id, id), includeChildModel);
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return shownRows < 0 ? ZEPHTreeModel::rowCount(parent) : shownRows;
    }
    void RemoveAll() override {
        calls << QStringLiteral("RemoveAll");
        ZEPHTreeModel::RemoveAll();
    }
    void SortByRules(const QVariantList& rules, int flag) override {
        calls << QStringLiteral("SortByRules(%1 rules,%2)").arg(rules.size()).arg(flag);
    }
    using ZEPHTreeModel::KeepSortingCheck;
    void setKeepSorting(int flag, const QVariantList& rules) {
        ZEPHTreeModelPrivate::get(this)->setKeepSorting(flag, rules);
    }
};

// A value as text: "invalid", "QString=A", "QObject*=0", "QVariantMap(3)".
QString describe(const QVariant& value) {
    if (!value.isValid()) return QStringLiteral("invalid");
    const QString type = QString::fromLatin1(value.typeName());
    if (value.userType() == QMetaType::QObjectStar) {
        auto* item = qobject_cast<ZEPHTreeItem*>(value.value<QObject*>());
        return type + QLatin1Char('=') +
               (item                      ? item->ID()
                : value.value<QObject*>() ? QStringLiteral("obj")
                                          : QStringLiteral("0"));
    }
    if (value.userType() == QMetaType::QVariantMap)
        return type + QStringLiteral("(%1)").arg(value.toMap().size());
    return type + QLatin1Char('=') + value.toString();
}

QString describe(const QVariantMap& map) {
    QStringList parts;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        parts << it.key() + QLatin1Char(':') + describe(it.value());
    return parts.join(QLatin1Char(' '));
}

// "id:name" of a found item, or "-".
QString found(QObject* object) {
    auto* item = qobject_cast<ZEPHTreeItem*>(object);
    return item ? item->ID() + QLatin1Char(':') + item->Name() : QStringLiteral("-");
}

QString sortedRoles(const QHash<int, QByteArray>& roles) {
    QList<int> keys = roles.keys();
    std::sort(keys.begin(), keys.end());
    QStringList parts;
    for (int key : keys)
        parts << QStringLiteral("%1=%2").arg(key).arg(QString::fromLatin1(roles.value(key)));
    return parts.join(QLatin1Char(' '));
}

// A role table from "number=name ..." ("json" and "" give an empty one).
QHash<int, QByteArray> roleTable(const QString& text) {
    QHash<int, QByteArray> roles;
    for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (part.contains(QLatin1Char('=')))
            roles.insert(part.section(QLatin1Char('='), 0, 0).toInt(),
                         part.section(QLatin1Char('='), 1).toLatin1());
    }
    return roles;
}

QString allIds(ZEPHTreeModel* model, bool includeChildModel) {
    QList<QString> ids{QStringLiteral("Z")};
    model->GetAllIDs(ids, includeChildModel);
    return QStringList(ids).join(QLatin1Char(' '));
}

// Models that hold each other cannot be emptied by their owners without help: the links go first.
void unlinkChildModels(const QList<ZEPHTreeModel*>& models) {
    for (ZEPHTreeModel* model : models) {
        for (ZEPHTreeItem* item : *model->GetModelItemList())
            item->SetChildModel(nullptr);
    }
}

// A host's own implementation of the model interface, holding one item: lookups descend into it
// through the interface. Everything it is not asked for does nothing.
class HostModel : public IZEPHTreeModel {
public:
    explicit HostModel(ZEPHTreeItem* item) : m_item(item) {}
    QObject* FindItem(const QString& id, bool) const override {
        return id == m_item->ID() ? m_item : nullptr;
    }
    QObject* FindItem(int row) const override { return row == 0 ? m_item : nullptr; }
    void GetAllIDs(QList<QString>& ids, bool) override { ids << m_item->ID(); }
    int rowCount(const QModelIndex& = QModelIndex()) const override { return 1; }
    QVariant data(const QModelIndex&, int) const override { return {}; }
    QString FindItemID(int) const override { return {}; }
    int FindItemRow(const QString&) const override { return -1; }
    QVariant FindItemValue(const QString&, const QString&) const override { return {}; }
    QVariant FindItemValue(const QString&, int) const override { return {}; }
    QVariant FindItemValue(int, const QString&) const override { return {}; }
    QVariant FindItemValue(int, int) const override { return {}; }
    QVariant FindItemValueEx(const QString&, const QString&, bool) const override { return {}; }
    QVariant FindItemValueEx(const QString&, int, bool) const override { return {}; }
    void SetPartialModelCount(int) override {}
    QObject* GetPartialModel(int) override { return nullptr; }
    void SortByRole(const QString&, bool, PF_LESS_THAN) override {}
    void SortByRole(int, bool, PF_LESS_THAN) override {}
    void SortByRoleAndKeep(const QString&, bool, PF_LESS_THAN) override {}
    void SortByRoleAndKeep(int, bool, PF_LESS_THAN) override {}
    void SortByRoleByQMLFunction(const QString&, bool, QString, QString) override {}
    void SortByRoleByQMLFunction(int, bool, QString, QString) override {}
    void SortByRoleByScriptFunction(const QString&, bool, QString, QString) override {}
    void SortByRoleByScriptFunction(int, bool, QString, QString) override {}
    void SortByRules(const QVariantList&, int) override {}
    void MoveRow(int, int) override {}
    QVariantMap get(int) override { return {}; }
    void clear() override {}
    bool InsertItem(int, ZEPHTreeItem*) override { return false; }
    bool AppendItem(ZEPHTreeItem*) override { return false; }
    bool AppendItemsList(QList<ZEPHTreeItem*>) override { return false; }
    bool PrependItem(ZEPHTreeItem*) override { return false; }
    bool PrependItemsList(QList<ZEPHTreeItem*>) override { return false; }
    bool ReplaceItemsList(QList<ZEPHTreeItem*>) override { return false; }
    void RemoveAll() override {}
    bool RemoveOne(const QString&) override { return false; }
    bool Remove(int, int) override { return false; }
    bool Remove(const QStringList&) override { return false; }
    int FirstPartialModelRow() const override { return 0; }
    void SetFirstPartialModelRow(int) override {}
    void ClearAllSourceContainer() override {}
    QObject* GetGroupModel(const QString&, bool) override { return nullptr; }
    QObject* GetGroupModel(int, bool) override { return nullptr; }
    bool UpdateGroupRole(const QString&) override { return false; }
    bool UpdateGroupRole(int) override { return false; }
    QObject* GetFilterModel(QVariantList, bool, int) override { return nullptr; }
    bool UpdateFilterRules(QVariantList, bool) override { return false; }
    QObject* GetFilterModelByUserDefinedRules(QVariant, int) override { return nullptr; }
    bool UpdateUserDefinedFilterRules(QVariant) override { return false; }
    QObject* GetPagingModel(unsigned int) override { return nullptr; }
    int page() const override { return -1; }
    void setPage(int) override {}
    int totalPage() const override { return 0; }
    QList<ZEPHTreeItem*>* GetModelItemList() override { return nullptr; }

private:
    ZEPHTreeItem* m_item;
};

} // namespace

class TstModel : public QObject {
    Q_OBJECT
private slots:
    // Construction and read side.
    void shouldBuildEveryModelCompletely_data();
    void shouldBuildEveryModelCompletely();
    void shouldUseRoleTable_data();
    void shouldUseRoleTable();
    void shouldReadRowsThroughItems_data();
    void shouldReadRowsThroughItems();
    void shouldGetRoleMapOfRow_data();
    void shouldGetRoleMapOfRow();
    void shouldHandOutItemListItself();
    void shouldClearThroughRemoveAll();
    void shouldPassModelTester();
    // Properties, signals and the view-only base behaviour.
    void shouldDeclareQmlSurface();
    void shouldDeclareProperties_data();
    void shouldDeclareProperties();
    void shouldKeepSortingOnlyWithFlag_data();
    void shouldKeepSortingOnlyWithFlag();
    // Lookups.
    void shouldFindByRow_data();
    void shouldFindByRow();
    void shouldFindById_data();
    void shouldFindById();
    void shouldFindFirstRowOfId_data();
    void shouldFindFirstRowOfId();
    void shouldCollectAllIds_data();
    void shouldCollectAllIds();
    void shouldReachJsonMapByNumberOnly();
    void shouldDescendIntoModelsOnly();
    void shouldEndCyclesOfChildModels_data();
    void shouldEndCyclesOfChildModels();
    void shouldFindChangedIdByFieldsButIndexByOldId();
    void shouldComposeLookupsThroughVirtualTable();
    void shouldAskVirtualRowCountWhenScanningRows();
};

void TstModel::shouldBuildEveryModelCompletely_data() {
    QTest::addColumn<bool>("defaultConstructor");
    QTest::newRow("default constructor (QML)") << true;
    QTest::newRow("main constructor") << false;
}

// Both constructors give a model with the default roles, a partial view and a worker that carries
// calls from other threads into the owner thread.
void TstModel::shouldBuildEveryModelCompletely() {
    QFETCH(bool, defaultConstructor);
    QScopedPointer<ZEPHTreeModel> model(defaultConstructor ? new ZEPHTreeModel()
                                                           : new ZEPHTreeModel(nullptr, {}));
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->parent(), nullptr);
    QCOMPARE(sortedRoles(model->roleNames()), QStringLiteral("257=idRole 258=nameRole 259=childModelRole"));
    QCOMPARE(model->page(), -1);
    QCOMPARE(model->totalPage(), 0);

    QObject* partial = model->GetPartialModel(2);
    QVERIFY(partial);
    QCOMPARE(partial->parent(), model.data());

    auto* item = new ZEPHTreeItem(QStringLiteral("T"), QStringLiteral("t"), nullptr);
    bool appended = false;
    QScopedPointer<QThread> caller(QThread::create([&] { appended = model->AppendItem(item); }));
    caller->start();
    QTRY_VERIFY(caller->isFinished());
    QVERIFY(appended);
    QCOMPARE(tree::ids(model.data()), QStringLiteral("T"));
    QCOMPARE(item->thread(), model->thread());
    QCOMPARE(partial->property("count").toInt(), 1);
}

void TstModel::shouldUseRoleTable_data() {
    QTest::addColumn<QString>("given"); // "number=name ..." or "json" for GetRolesHash with role 260
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("empty gets three defaults") << "" << "257=idRole 258=nameRole 259=childModelRole";
    QTest::newRow("custom table unchanged") << "257=id 300=extraRole" << "257=id 300=extraRole";
    QTest::newRow("filled by GetRolesHash") << "json" << "257=idRole 258=nameRole 259=childModelRole 260=jsonValueRole";
    // clang-format on
}

void TstModel::shouldUseRoleTable() {
    QFETCH(QString, given);
    QFETCH(QString, expected);
    QHash<int, QByteArray> roles = roleTable(given);
    if (given == QLatin1String("json")) ZEPHTreeItem::GetRolesHash(roles, ZEPHTreeItem::WithJsonValueRole);
    ZEPHTreeModel model(nullptr, roles);
    QCOMPARE(sortedRoles(model.roleNames()), expected);
    // Every role answers through data(), listed or not.
    model.AppendItem(new ZEPHTreeItem(QStringLiteral("A"), QStringLiteral("a"), nullptr));
    QCOMPARE(describe(model.data(model.index(0), ZEPHTreeItem::JsonValueRole)),
             QStringLiteral("QVariantMap(3)"));
    QCOMPARE(describe(model.data(model.index(0), ZEPHTreeItem::NameRole)), QStringLiteral("QString=a"));
}

void TstModel::shouldReadRowsThroughItems_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("expected");
    QTest::newRow("id") << 0 << 257 << "QString=A";
    QTest::newRow("name") << 4 << 258 << "QString=e";
    QTest::newRow("child model") << 1 << 259 << "QObject*=obj";
    QTest::newRow("null child model") << 0 << 259 << "QObject*=0";
    QTest::newRow("json map") << 0 << 260 << "QVariantMap(3)";
    QTest::newRow("subclass role") << 2 << 300 << "QString=extra:C";
    QTest::newRow("unknown role") << 0 << 300 << "invalid";
    QTest::newRow("display role: the name") << 0 << int(Qt::DisplayRole) << "QString=a";
    QTest::newRow("display role of the item") << 2 << int(Qt::DisplayRole) << "QString=extra:C";
    QTest::newRow("row == count") << 5 << 257 << "invalid";
    QTest::newRow("row -1") << -1 << 257 << "invalid";
}

void TstModel::shouldReadRowsThroughItems() {
    QFETCH(int, row);
    QFETCH(int, role);
    QFETCH(QString, expected);
    ZEPHTreeModel model(nullptr, {});
    model.AppendItemsList(
        {new ZEPHTreeItem(QStringLiteral("A"), QStringLiteral("a"), nullptr),
         new ZEPHTreeItem(QStringLiteral("B"), QStringLiteral("b"), new ZEPHTreeModel(nullptr, {})),
         new ExtraItem(QStringLiteral("C"), QStringLiteral("c"), nullptr),
         new ZEPHTreeItem(QStringLiteral("D"), QStringLiteral("d"), nullptr),
         new ZEPHTreeItem(QStringLiteral("E"), QStringLiteral("e"), nullptr)});
    // Rows outside the model are asked with indexes made for them, as a stale view would.
    const QModelIndex index = row >= 0 && row < model.rowCount() ? model.index(row) : QModelIndex();
    QCOMPARE(describe(model.data(index, role)), expected);
    // The paging and partial views read their rows as the model does.
    if (index.isValid()) {
        std::unique_ptr<QObject> pages(model.GetPagingModel(0));
        for (QObject* object : {pages.get(), model.GetPartialModel(5)}) {
            auto* view = qobject_cast<QAbstractItemModel*>(object);
            QCOMPARE(describe(view->data(view->index(row, 0), role)), expected);
        }
    }
    if (row == 5) {
        ZEPHTreeModel bigger(nullptr, {});
        tree::fill(&bigger, QStringLiteral("A B C D E F"));
        QCOMPARE(describe(model.data(bigger.index(5), role)), expected);
    }
}

void TstModel::shouldGetRoleMapOfRow_data() {
    QTest::addColumn<QString>("roles"); // "" default, or "number=name ..."
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("default roles") << "" << 0 << "childModelRole:QObject*=0 idRole:QString=A nameRole:QString=a";
    QTest::newRow("second row") << "" << 1 << "childModelRole:QObject*=0 idRole:QString=B nameRole:QString=b";
    QTest::newRow("row -1") << "" << -1 << "";
    QTest::newRow("row == count") << "" << 2 << "";
    QTest::newRow("json role by name is invalid") << "257=idRole 260=jsonValueRole" << 0 << "idRole:QString=A jsonValueRole:invalid";
    QTest::newRow("one key per name") << "257=idRole 258=idRole" << 0 << "idRole:QString=A";
    QTest::newRow("subclass answers its role name") << "300=extraRole 258=nameRole" << 1 << "extraRole:QString=extra:B nameRole:QString=b";
    QTest::newRow("unknown name") << "301=whatever" << 0 << "whatever:invalid";
    // clang-format on
}

void TstModel::shouldGetRoleMapOfRow() {
    QFETCH(QString, roles);
    QFETCH(int, row);
    QFETCH(QString, expected);
    ZEPHTreeModel model(nullptr, roleTable(roles));
    model.AppendItemsList({new ZEPHTreeItem(QStringLiteral("A"), QStringLiteral("a"), nullptr),
                           new ExtraItem(QStringLiteral("B"), QStringLiteral("b"), nullptr)});
    QCOMPARE(describe(model.get(row)), expected);
}

void TstModel::shouldHandOutItemListItself() {
    QScopedPointer<ZEPHTreeModel> model(tree::make(QStringLiteral("A B")));
    QList<ZEPHTreeItem*>* list = model->GetModelItemList();
    QCOMPARE(list, model->GetModelItemList());
    QCOMPARE(list->size(), 2);
    QCOMPARE(list->at(1), model->FindItem(1));
    model->AppendItem(new ZEPHTreeItem(QStringLiteral("C"), QString(), nullptr));
    QCOMPARE(list->size(), 3);
}

void TstModel::shouldClearThroughRemoveAll() {
    ProbeModel model(nullptr, {});
    tree::fill(&model, QStringLiteral("A B[C]"));
    model.calls.clear();
    model.clear();
    QCOMPARE(model.calls, QStringList{QStringLiteral("RemoveAll")});
    QCOMPARE(model.rowCount(), 0);
}

void TstModel::shouldPassModelTester() {
    ZEPHTreeModel model(nullptr, {});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    tree::fill(&model, QStringLiteral("A[B C] D"));
    model.AppendItem(new ZEPHTreeItem(QStringLiteral("E"), QString(), nullptr));
    tree::at(&model, 1)->SetName(QStringLiteral("renamed"));
    model.clear();
}

void TstModel::shouldDeclareQmlSurface() {
    const QMetaObject* meta = &ZEPHTreeModel::staticMetaObject;
    QStringList signalList;
    QStringList slotList;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal)
            signalList << QString::fromLatin1(method.methodSignature());
        else if (method.methodType() == QMetaMethod::Slot)
            slotList << QString::fromLatin1(method.methodSignature());
    }
    QCOMPARE(signalList.join(QLatin1Char(' ')),
             QStringLiteral(
                 "rowCountChanged() firstPartialModelRowChanged() itemsRemoved(QStringList) allItemRemoved() "
                 "filterModelChanged() pageChanged(int) totalPageChanged(int)"));
    QCOMPARE(slotList, QStringList{QStringLiteral("EmitValueChange()")});

    // Every invokable form QML may call, with the return type QML sees.
    const QString invokables = QStringLiteral(
        "QString FindItemID(int);int FindItemRow(QString);QVariant FindItemValue(int,int);"
        "QVariant FindItemValue(int,QString);QVariant FindItemValue(QString,int);"
        "QVariant FindItemValue(QString,QString);QVariant FindItemValueEx(QString,int,bool);"
        "QVariant FindItemValueEx(QString,QString,bool);void GetAllIDs(QList<QString>&,bool);"
        "QVariantMap get(int);void clear();void SetPartialModelCount(int);QObject* GetPartialModel(int);"
        "void MoveRow(int,int);QObject* FindItem(int);QObject* FindItem(QString,bool);"
        "QObject* FindItem(QString);void RemoveAll();bool RemoveOne(QString);bool Remove(QStringList);"
        "bool Remove(int,int);void SortByRole(int,bool,PF_LESS_THAN);void SortByRole(int,bool);"
        "void SortByRole(QString,bool,PF_LESS_THAN);void SortByRole(QString,bool);"
        "void SortByRoleAndKeep(int,bool,PF_LESS_THAN);void SortByRoleAndKeep(int,bool);"
        "void SortByRoleAndKeep(QString,bool,PF_LESS_THAN);void SortByRoleAndKeep(QString,bool);"
        "void SortByRoleByQMLFunction(int,bool,QString,QString);"
        "void SortByRoleByQMLFunction(QString,bool,QString,QString);"
        "void SortByRoleByScriptFunction(int,bool,QString,QString);"
        "void SortByRoleByScriptFunction(QString,bool,QString,QString);"
        "void SortByRules(QVariantList,int);void SortByRules(QVariantList);"
        "QObject* GetGroupModel(int,bool);QObject* GetGroupModel(int);"
        "QObject* GetGroupModel(QString,bool);QObject* GetGroupModel(QString);bool UpdateGroupRole(int);"
        "bool UpdateGroupRole(QString);QObject* GetFilterModel(QVariantList,bool,int);"
        "QObject* GetFilterModel(QVariantList,bool);QObject* GetFilterModel(QVariantList);"
        "QObject* GetFilterModel();bool UpdateFilterRules(QVariantList,bool);"
        "bool UpdateFilterRules(QVariantList);bool UpdateFilterRules();"
        "QObject* GetFilterModelByUserDefinedRules(QVariant,int);"
        "QObject* GetFilterModelByUserDefinedRules(QVariant);QObject* GetFilterModelByUserDefinedRules();"
        "bool UpdateUserDefinedFilterRules(QVariant);bool UpdateUserDefinedFilterRules();"
        "QObject* GetPagingModel(uint)");
    for (const QString& entry : invokables.split(QLatin1Char(';'))) {
        const QString signature = entry.section(QLatin1Char(' '), 1);
        const int index = meta->indexOfMethod(signature.toLatin1().constData());
        QVERIFY2(index >= 0, qPrintable(QStringLiteral("missing ") + signature));
        const QMetaMethod method = meta->method(index);
        QCOMPARE(method.methodType(), QMetaMethod::Method);
        QCOMPARE(QString::fromLatin1(method.typeName()) + QLatin1Char(' ') + signature, entry);
    }
}

void TstModel::shouldDeclareProperties_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("notify");
    // clang-format off
    QTest::newRow("firstPartialModelRow") << "firstPartialModelRow" << true << "firstPartialModelRowChanged()";
    QTest::newRow("count") << "count" << false << "rowCountChanged()";
    QTest::newRow("page") << "page" << true << "pageChanged(int)";
    QTest::newRow("totalPage") << "totalPage" << false << "totalPageChanged(int)";
    // clang-format on
}

void TstModel::shouldDeclareProperties() {
    QFETCH(QString, name);
    QFETCH(bool, writable);
    QFETCH(QString, notify);
    const QMetaObject* meta = &ZEPHTreeModel::staticMetaObject;
    const QMetaProperty property = meta->property(meta->indexOfProperty(name.toLatin1().constData()));
    QVERIFY(property.isValid());
    QCOMPARE(property.userType(), int(QMetaType::Int));
    QCOMPARE(property.isWritable(), writable);
    QVERIFY(property.isReadable() && property.isScriptable() && property.isDesignable() &&
            property.isStored());
    QCOMPARE(QString::fromLatin1(property.notifySignal().methodSignature()), notify);
}

void TstModel::shouldKeepSortingOnlyWithFlag_data() {
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << 0 << "";
    QTest::newRow("keep sorting") << 1 << "SortByRules(2 rules,1)";
    QTest::newRow("recursive") << 2 << "SortByRules(2 rules,2)";
}

void TstModel::shouldKeepSortingOnlyWithFlag() {
    QFETCH(int, flag);
    QFETCH(QString, expected);
    ProbeModel model(nullptr, {});
    model.KeepSortingCheck();
    QCOMPARE(model.calls, QStringList());
    model.setKeepSorting(flag, {QVariantMap(), QVariantMap()});
    model.KeepSortingCheck();
    QCOMPARE(model.calls.join(QLatin1Char(' ')), expected);
}

void TstModel::shouldFindByRow_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected"); // FindItem | FindItemID | value 257 | value "nameRole"
    QTest::newRow("first") << 0 << "A:a|A|QString=A|QString=a";
    QTest::newRow("last") << 2 << "C:c|C|QString=C|QString=c";
    QTest::newRow("-1") << -1 << "-||invalid|invalid";
    QTest::newRow("count") << 3 << "-||invalid|invalid";
    QTest::newRow("far") << 1000 << "-||invalid|invalid";
}

void TstModel::shouldFindByRow() {
    QFETCH(int, row);
    QFETCH(QString, expected);
    QScopedPointer<ZEPHTreeModel> model(tree::make(QStringLiteral("A:a B:b[X] C:c")));
    const QString actual = found(model->FindItem(row)) + QLatin1Char('|') + model->FindItemID(row) +
                           QLatin1Char('|') + describe(model->FindItemValue(row, 257)) + QLatin1Char('|') +
                           describe(model->FindItemValue(row, QStringLiteral("nameRole")));
    QCOMPARE(actual, expected);
    if (row < 0 || row >= 3) QVERIFY(model->FindItemID(row).isEmpty());
}

void TstModel::shouldFindById_data() {
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("id");
    // FindItem(id,false) | FindItem(id,true) | FindItemValue(id,257) | FindItemValueEx(id,257,true)
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("own row") << "A:a[B:b C:c] D:d" << "D" << "D:d|D:d|QString=D|QString=D";
    QTest::newRow("child row") << "A:a[B:b C:c] D:d" << "B" << "-|B:b|invalid|QString=B";
    QTest::newRow("own row wins over deeper one") << "A:a[X:deep] X:top" << "X" << "X:top|X:top|QString=X|QString=X";
    QTest::newRow("depth first in row order") << "A[B[T:deep]] C[T:mid]" << "T" << "-|T:deep|invalid|QString=T";
    QTest::newRow("each level's index first") << "A[B[T:deep] T:mid]" << "T" << "-|T:mid|invalid|QString=T";
    QTest::newRow("later subtree") << "A[B] C[D[E:e]]" << "E" << "-|E:e|invalid|QString=E";
    QTest::newRow("missing") << "A[B] C" << "Q" << "-|-|invalid|invalid";
    QTest::newRow("empty model") << "" << "A" << "-|-|invalid|invalid";
    QTest::newRow("case counts") << "A[b]" << "B" << "-|-|invalid|invalid";
    QTest::newRow("empty id") << "A[B]" << "" << "-|-|invalid|invalid";
    // clang-format on
}

void TstModel::shouldFindById() {
    QFETCH(QString, tree);
    QFETCH(QString, id);
    QFETCH(QString, expected);
    QScopedPointer<ZEPHTreeModel> model(tree::make(tree));
    const QString actual = found(model->FindItem(id, false)) + QLatin1Char('|') +
                           found(model->FindItem(id, true)) + QLatin1Char('|') +
                           describe(model->FindItemValue(id, 257)) + QLatin1Char('|') +
                           describe(model->FindItemValueEx(id, 257, true));
    QCOMPARE(actual, expected);
    // The by-name forms answer alike.
    QCOMPARE(describe(model->FindItemValue(id, QStringLiteral("idRole"))),
             describe(model->FindItemValue(id, 257)));
    QCOMPARE(describe(model->FindItemValueEx(id, QStringLiteral("idRole"), true)),
             describe(model->FindItemValueEx(id, 257, true)));
    QCOMPARE(describe(model->FindItemValueEx(id, QStringLiteral("idRole"), false)),
             describe(model->FindItemValue(id, 257)));
}

void TstModel::shouldFindFirstRowOfId_data() {
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("row");
    // clang-format off
    QTest::newRow("empty model") << "" << "A" << -1;
    QTest::newRow("first") << "A B C" << "A" << 0;
    QTest::newRow("last") << "A B C" << "C" << 2;
    QTest::newRow("first of duplicates") << "B A:1 A:2" << "A" << 1;
    QTest::newRow("case counts") << "A B" << "a" << -1;
    QTest::newRow("child models not searched") << "A[B] C" << "B" << -1;
    QTest::newRow("missing") << "A B" << "Q" << -1;
    // clang-format on
}

void TstModel::shouldFindFirstRowOfId() {
    QFETCH(QString, tree);
    QFETCH(QString, id);
    QFETCH(int, row);
    QScopedPointer<ZEPHTreeModel> model(tree::make(tree));
    QCOMPARE(model->FindItemRow(id), row);
}

void TstModel::shouldCollectAllIds_data() {
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("withChildren");
    QTest::addColumn<QString>("withoutChildren");
    // clang-format off
    QTest::newRow("two levels") << "A[B C] D" << "Z A B C D" << "Z A D";
    QTest::newRow("three levels") << "A[B[C] D] E[F]" << "Z A B C D E F" << "Z A E";
    QTest::newRow("duplicates as often as they occur") << "A A[A B]" << "Z A A A B" << "Z A A";
    QTest::newRow("empty child model") << "A[] B" << "Z A B" << "Z A B";
    QTest::newRow("empty model") << "" << "Z" << "Z";
    // clang-format on
}

void TstModel::shouldCollectAllIds() {
    QFETCH(QString, tree);
    QFETCH(QString, withChildren);
    QFETCH(QString, withoutChildren);
    QScopedPointer<ZEPHTreeModel> model(tree::make(tree));
    QCOMPARE(allIds(model.data(), true), withChildren);
    QCOMPARE(allIds(model.data(), false), withoutChildren);
}

void TstModel::shouldReachJsonMapByNumberOnly() {
    QScopedPointer<ZEPHTreeModel> model(tree::make(QStringLiteral("A")));
    QCOMPARE(describe(model->FindItemValue(0, QStringLiteral("jsonValueRole"))), QStringLiteral("invalid"));
    QCOMPARE(describe(model->FindItemValue(0, 260)), QStringLiteral("QVariantMap(3)"));
    QCOMPARE(model->FindItemValue(QStringLiteral("A"), 260).toMap().value(QStringLiteral("idRole")),
             QVariant(QStringLiteral("A")));
}

// Lookups descend into any implementation of the model interface (a host's own too) and skip other
// child objects.
void TstModel::shouldDescendIntoModelsOnly() {
    QObject plainChild;
    QStringListModel foreignModel({QStringLiteral("T")});
    QScopedPointer<ZEPHTreeModel> model(new ZEPHTreeModel(nullptr, {}, 2)); // shares its items
    QScopedPointer<ZEPHTreeModel> nested(tree::make(QStringLiteral("T:found")));
    ZEPHTreeItem hosted(QStringLiteral("H"), QStringLiteral("hosted"), nullptr);
    HostModel hostModel(&hosted);
    ZEPHTreeItem a(QStringLiteral("A"), QString(), &plainChild);
    ZEPHTreeItem b(QStringLiteral("B"), QString(), &foreignModel);
    ZEPHTreeItem c(QStringLiteral("C"), QString(), nested.data());
    ZEPHTreeItem d(QStringLiteral("D"), QString(), tree::make(QStringLiteral("gone")));
    ZEPHTreeItem e(QStringLiteral("E"), QString(), &hostModel);
    delete d.ChildModel(); // a child model deleted elsewhere reads as none
    model->AppendItemsList({&a, &b, &d, &c, &e});
    QCOMPARE(found(model->FindItem(QStringLiteral("T"), true)), QStringLiteral("T:found"));
    QCOMPARE(model->FindItem(QStringLiteral("H"), true), &hosted);
    QCOMPARE(model->FindItem(QStringLiteral("H"), false), static_cast<QObject*>(nullptr));
    QCOMPARE(found(model->FindItem(QStringLiteral("Q"), true)), QStringLiteral("-"));
    QCOMPARE(allIds(model.data(), true), QStringLiteral("Z A B D C T E H"));
    model->RemoveAll();
}

void TstModel::shouldEndCyclesOfChildModels_data() {
    QTest::addColumn<QString>("links"); // "M0:A>M1" - model 0 holds A whose child model is model 1
    QTest::addColumn<QString>("idsOfFirst");
    QTest::addColumn<QString>("deepest"); // an ID held only by the last model, found from the first
    // clang-format off
    QTest::newRow("item holds its own model") << "M0:A>M0 M0:B" << "Z A B" << "B";
    QTest::newRow("two models hold each other") << "M0:A>M1 M1:B>M0" << "Z A B" << "B";
    QTest::newRow("ring of three") << "M0:A>M1 M1:B>M2 M2:C>M0 M2:D" << "Z A B C D" << "D";
    QTest::newRow("cycle below the top") << "M0:A>M1 M1:B>M2 M2:C>M1 M0:E" << "Z A B C E" << "E";
    // A model reached twice without a cycle is still visited once per lookup.
    QTest::newRow("shared child model") << "M0:A>M1 M0:B>M1 M1:X" << "Z A X B" << "X";
    // clang-format on
}

void TstModel::shouldEndCyclesOfChildModels() {
    QFETCH(QString, links);
    QFETCH(QString, idsOfFirst);
    QFETCH(QString, deepest);
    QList<ZEPHTreeModel*> models;
    for (int i = 0; i < 3; ++i)
        models << new ZEPHTreeModel(nullptr, {});
    for (const QString& link : links.split(QLatin1Char(' '))) {
        ZEPHTreeModel* holder = models.at(link.mid(1, 1).toInt());
        const QString id = link.section(QLatin1Char(':'), 1).section(QLatin1Char('>'), 0, 0);
        const QString target = link.section(QLatin1Char('>'), 1);
        holder->AppendItem(
            new ZEPHTreeItem(id, id, target.isEmpty() ? nullptr : models.at(target.mid(1).toInt())));
    }
    ZEPHTreeModel* first = models.first();
    QCOMPARE(allIds(first, true), idsOfFirst);
    QCOMPARE(found(first->FindItem(QStringLiteral("missing"), true)), QStringLiteral("-"));
    QCOMPARE(found(first->FindItem(deepest, true)), deepest + QLatin1Char(':') + deepest);
    QCOMPARE(describe(first->FindItemValueEx(QStringLiteral("missing"), 257, true)),
             QStringLiteral("invalid"));
    // A second lookup starts afresh.
    QCOMPARE(allIds(first, true), idsOfFirst);
    unlinkChildModels(models);
    qDeleteAll(models);
}

void TstModel::shouldFindChangedIdByFieldsButIndexByOldId() {
    QScopedPointer<ZEPHTreeModel> model(tree::make(QStringLiteral("A B[C] D")));
    ZEPHTreeItem* a = tree::at(model.data(), 0);
    auto* child = qobject_cast<ZEPHTreeModel*>(tree::at(model.data(), 1)->ChildModel());
    ZEPHTreeItem* c = tree::at(child, 0);
    a->SetID(QStringLiteral("N"));
    c->SetID(QStringLiteral("M"));

    QCOMPARE(model->FindItemRow(QStringLiteral("N")), 0);
    QCOMPARE(model->FindItemRow(QStringLiteral("A")), -1);
    QCOMPARE(model->FindItemID(0), QStringLiteral("N"));
    QCOMPARE(allIds(model.data(), true), QStringLiteral("Z N B M D"));

    QCOMPARE(model->FindItem(QStringLiteral("A"), false), a);
    QCOMPARE(model->FindItem(QStringLiteral("N"), false), nullptr);
    QCOMPARE(model->FindItem(QStringLiteral("C"), true), c);
    QCOMPARE(model->FindItem(QStringLiteral("M"), true), nullptr);
    QCOMPARE(describe(model->FindItemValue(QStringLiteral("A"), 257)), QStringLiteral("QString=N"));
    // An ID that another item takes over later does not move the index entry either.
    ZEPHTreeItem* d = tree::at(model.data(), 2);
    d->SetID(QStringLiteral("A"));
    QCOMPARE(model->FindItem(QStringLiteral("A"), false), a);
    QCOMPARE(model->FindItem(QStringLiteral("D"), false), d);
    QCOMPARE(model->FindItemRow(QStringLiteral("A")), 2);
}

void TstModel::shouldComposeLookupsThroughVirtualTable() {
    ProbeModel model(nullptr, {});
    tree::fill(&model, QStringLiteral("A:a B:b C:c"));
    model.calls.clear();
    model.rowShift = 1;
    QCOMPARE(model.FindItemID(0), QStringLiteral("B"));
    QCOMPARE(describe(model.FindItemValue(0, 257)), QStringLiteral("QString=B"));
    QCOMPARE(describe(model.FindItemValue(0, QStringLiteral("nameRole"))), QStringLiteral("QString=b"));
    QCOMPARE(model.get(0).value(QStringLiteral("idRole")), QVariant(QStringLiteral("B")));
    QCOMPARE(model.FindItemID(2), QString());

    model.redirect.insert(QStringLiteral("A"), QStringLiteral("C"));
    QCOMPARE(describe(model.FindItemValue(QStringLiteral("A"), 257)), QStringLiteral("QString=C"));
    QCOMPARE(describe(model.FindItemValue(QStringLiteral("A"), QStringLiteral("nameRole"))),
             QStringLiteral("QString=c"));
    QCOMPARE(describe(model.FindItemValueEx(QStringLiteral("A"), 257, true)), QStringLiteral("QString=C"));
    QCOMPARE(describe(model.FindItemValueEx(QStringLiteral("A"), QStringLiteral("idRole"), false)),
             QStringLiteral("QString=C"));
    QCOMPARE(model.calls.join(QLatin1Char(' ')),
             QStringLiteral("FindItem(A,0) FindItem(A,0) FindItem(A,1) FindItem(A,0)"));

    // A recursive lookup asks each child model through its own override.
    ZEPHTreeModel parent(nullptr, {}, 2);
    ZEPHTreeItem holder(QStringLiteral("P"), QString(), &model);
    parent.AppendItem(&holder);
    model.calls.clear();
    QCOMPARE(found(parent.FindItem(QStringLiteral("A"), true)), QStringLiteral("C:c"));
    QCOMPARE(model.calls, QStringList{QStringLiteral("FindItem(A,1)")});
    parent.RemoveAll();
}

void TstModel::shouldAskVirtualRowCountWhenScanningRows() {
    ProbeModel model(nullptr, {});
    tree::fill(&model, QStringLiteral("A B C"));
    model.shownRows = 1;
    QCOMPARE(model.FindItemRow(QStringLiteral("A")), 0);
    QCOMPARE(model.FindItemRow(QStringLiteral("B")), -1);
    model.shownRows = 10; // more rows than items: the scan must still stop at the last item
    QCOMPARE(model.FindItemRow(QStringLiteral("C")), 2);
    QCOMPARE(model.FindItemRow(QStringLiteral("Q")), -1);
    model.shownRows = -1;
}

QTEST_MAIN(TstModel)
#include "tst_model.moc"

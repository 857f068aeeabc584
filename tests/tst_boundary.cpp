#include "TreeBuilder.h"

#include <ZEPHTreeModel.h>
#include <ZEPHTreeModelExports.h>

#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

// The model interface's operations in their documented virtual-table order.
// clang-format off
#define ZEPH_INTERFACE(X) \
    X(QString, FindItemID, (int), const) X(int, FindItemRow, (const QString&), const) \
    X(QVariant, FindItemValue, (const QString&, const QString&), const) \
    X(QVariant, FindItemValue, (const QString&, int), const) \
    X(QVariant, FindItemValue, (int, const QString&), const) X(QVariant, FindItemValue, (int, int), const) \
    X(QVariant, FindItemValueEx, (const QString&, const QString&, bool), const) \
    X(QVariant, FindItemValueEx, (const QString&, int, bool), const) \
    X(void, GetAllIDs, (QList<QString>&, bool), ) X(void, SetPartialModelCount, (int), ) \
    X(QObject*, GetPartialModel, (int), ) X(void, SortByRole, (const QString&, bool, PF_LESS_THAN), ) \
    X(void, SortByRole, (int, bool, PF_LESS_THAN), ) \
    X(void, SortByRoleAndKeep, (const QString&, bool, PF_LESS_THAN), ) \
    X(void, SortByRoleAndKeep, (int, bool, PF_LESS_THAN), ) \
    X(void, SortByRoleByQMLFunction, (const QString&, bool, QString, QString), ) \
    X(void, SortByRoleByQMLFunction, (int, bool, QString, QString), ) \
    X(void, SortByRoleByScriptFunction, (const QString&, bool, QString, QString), ) \
    X(void, SortByRoleByScriptFunction, (int, bool, QString, QString), ) \
    X(void, SortByRules, (const QVariantList&, int), ) X(void, MoveRow, (int, int), ) \
    X(QVariantMap, get, (int), ) X(void, clear, (), ) X(bool, InsertItem, (int, ZEPHTreeItem*), ) \
    X(bool, AppendItem, (ZEPHTreeItem*), ) X(bool, AppendItemsList, (QList<ZEPHTreeItem*>), ) \
    X(bool, PrependItem, (ZEPHTreeItem*), ) X(bool, PrependItemsList, (QList<ZEPHTreeItem*>), ) \
    X(bool, ReplaceItemsList, (QList<ZEPHTreeItem*>), ) X(QObject*, FindItem, (const QString&, bool), const) \
    X(QObject*, FindItem, (int), const) X(void, RemoveAll, (), ) X(bool, RemoveOne, (const QString&), ) \
    X(bool, Remove, (int, int), ) X(bool, Remove, (const QStringList&), ) \
    X(int, FirstPartialModelRow, (), const) X(void, SetFirstPartialModelRow, (int), ) \
    X(void, ClearAllSourceContainer, (), ) X(QObject*, GetGroupModel, (const QString&, bool), ) \
    X(QObject*, GetGroupModel, (int, bool), ) X(bool, UpdateGroupRole, (const QString&), ) \
    X(bool, UpdateGroupRole, (int), ) X(QObject*, GetFilterModel, (QVariantList, bool, int), ) \
    X(bool, UpdateFilterRules, (QVariantList, bool), ) \
    X(QObject*, GetFilterModelByUserDefinedRules, (QVariant, int), ) \
    X(bool, UpdateUserDefinedFilterRules, (QVariant), ) X(QObject*, GetPagingModel, (unsigned int), ) \
    X(int, page, (), const) X(void, setPage, (int), ) X(int, totalPage, (), const) \
    X(QList<ZEPHTreeItem*>*, GetModelItemList, (), )


// A host's own implementation of the model interface, holding one item: lookups descend into it
// through the interface. Everything else answers nothing.
class HostModel : public IZEPHTreeModel {
public:
    template <typename T> static T none() { return T(); }
#define ZEPH_STUB(R, name, params, cv) R name params cv override { return none<R>(); }
    ZEPH_INTERFACE(ZEPH_STUB)
    int rowCount(const QModelIndex&) const override { return 1; }
    QVariant data(const QModelIndex&, int) const override { return {}; }
    ZEPHTreeItem item{"H", "hosted", nullptr};
};
// clang-format on

// The host model's answers to the lookups that recursive lookups make.
struct AnsweringHostModel : HostModel {
    QObject* FindItem(const QString& id, bool) const override {
        return id == "H" ? const_cast<ZEPHTreeItem*>(&item) : nullptr;
    }
    void GetAllIDs(QList<QString>& ids, bool) override { ids << "H"; }
};

// The virtual-table slot that a pointer to a virtual member function names (Itanium C++ ABI: the
// slot's byte offset plus one).
template <typename Member> int slotOf(Member member) {
    static_assert(sizeof(Member) == 2 * sizeof(ptrdiff_t), "Itanium member pointer");
    ptrdiff_t word = 0;
    std::memcpy(&word, &member, sizeof(word));
    return int((word - 1) / ptrdiff_t(sizeof(void*)));
}

// Reaches QObject's last virtual operation, which is protected.
struct LastQObjectSlot : QObject {
    static int slot() { return slotOf(&LastQObjectSlot::disconnectNotify); }
};

// A duplicate handler whose copies throw once armed, to make a construction fail half-way.
struct ThrowingHandler {
    std::shared_ptr<bool> armed;
    explicit ThrowingHandler(std::shared_ptr<bool> flag) : armed(std::move(flag)) {}
    ThrowingHandler(const ThrowingHandler& other) : armed(other.armed) {
        if (*armed) throw std::runtime_error("copy refused");
    }
    void operator()(const QObject*, QObject*) const {}
};

} // namespace

class TstBoundary : public QObject {
    Q_OBJECT
private slots:
    void shouldRegisterQmlTypesAndHandOverOwnership();
    void shouldCreateAndDeleteModelsForHosts();
    void shouldExportOnlyPublicClassesAndEntryPoints();
    void shouldLayOutVirtualTablesAsDocumented();
};

// Nothing is registered at load time; each model constructor registers the model type once, and
// RegisterRolesEnum() the item type, every time it is called. Creation flag 1 hands a model to the
// engine, which collects it once unreferenced; the items that a host made stay native wherever QML
// reads them.
void TstBoundary::shouldRegisterQmlTypesAndHandOverOwnership() {
    QQmlEngine engine;
    QCOMPARE(qmlTypeId("com.zephora.izephtreemodel", 1, 0, "IZEPHTreeModel"), -1);
    QCOMPARE(qmlTypeId("com.zephora.zephtreeitem", 1, 0, "ZEPHTreeItem"), -1);
    QList<int> ids;
    for (int round = 0; round < 2; ++round) {
        { ZEPHTreeModel model(nullptr, {}); }
        ids << qmlTypeId("com.zephora.izephtreemodel", 1, 0, "IZEPHTreeModel");
        { ZEPHTreeModel model; }
        ids << qmlTypeId("com.zephora.izephtreemodel", 1, 0, "IZEPHTreeModel");
        ZEPHTreeItem::RegisterRolesEnum();
    }
    QVERIFY(ids.first() >= 0);
    QCOMPARE(QList<int>({ids.at(2), ids.at(3)}), QList<int>({ids.at(1), ids.at(1)}));
    // The engine owns what QML creates; the model declared in the document dies with it.
    QQmlComponent component(&engine);
    component.setData(
        "import QtQml 2.15\nimport com.zephora.izephtreemodel 1.0\nimport com.zephora.zephtreeitem "
        "1.0\nQtObject {\n property var roles: [ZEPHTreeItem.IdRole, ZEPHTreeItem.NameRole, "
        "ZEPHTreeItem.ChildModelRole, ZEPHTreeItem.JsonValueRole, ZEPHTreeItem.LastRole]\n "
        "property IZEPHTreeModel model: IZEPHTreeModel {}\n property ZEPHTreeItem item: ZEPHTreeItem {}\n}\n",
        QUrl());
    std::unique_ptr<QObject> root(component.create());
    QCOMPARE(root->property("roles").toList(), QVariantList({257, 258, 259, 260, 260}));
    QPointer<ZEPHTreeModel> model = root->property("model").value<ZEPHTreeModel*>();
    QPointer<ZEPHTreeItem> item = root->property("item").value<ZEPHTreeItem*>();
    QCOMPARE(QQmlEngine::objectOwnership(model) + QQmlEngine::objectOwnership(item),
             2 * QQmlEngine::JavaScriptOwnership);
    QCOMPARE(model->roleNames().size(), 3);
    root.reset();
    tree::flushDeletes();
    QVERIFY(!model && !item);
    for (int flags : {0, 1, 6, 7}) {
        IZEPHTreeModel* created = nullptr;
        QVERIFY(CreateZEPHTreeModel(&created, nullptr, {}, flags, {}, {}));
        model = tree::make("A[B]", flags);
        QPointer<QObject> a = model->FindItem(0), b = model->FindItem("B", true);
        engine
            .evaluate("(function (m) { return [m.FindItem(0), m.FindItem('B', true), m.get(0), m.count]; })")
            .call({engine.newQObject(model)});
        engine.collectGarbage();
        tree::flushDeletes(2);
        QCOMPARE(QQmlEngine::objectOwnership(created) * 10 + model.isNull(), (flags & 1) * 11);
        QVERIFY((a && b) || (flags & 1));
        QVERIFY(DeleteZEPHTreeModel(&created));
        delete model;
        if (flags & 2) delete qobject_cast<ZEPHTreeItem*>(a.data())->ChildModel(), delete a.data();
    }
}

// The plain entry points: a null out-address or a failing construction answers false and keeps no
// copy of the callables; a model made for a host uses its arguments and is deleted at once.
void TstBoundary::shouldCreateAndDeleteModelsForHosts() {
    auto tracker = std::make_shared<int>(0);
    QStringList merges;
    PF_DUPLICATE_HANDLER handler = [tracker, &merges](const QObject* source, QObject* target) {
        merges << qobject_cast<const ZEPHTreeItem*>(source)->Name() + '>' +
                      qobject_cast<ZEPHTreeItem*>(target)->Name();
    };
    PF_USER_FILTER filter = [tracker](const QObject*, const QVariant&) { return true; };
    QVERIFY(!CreateZEPHTreeModel(nullptr, nullptr, {}, 0, handler, filter));
    QCOMPARE(tracker.use_count(), 3L);
    auto armed = std::make_shared<bool>(false);
    PF_DUPLICATE_HANDLER throwing{ThrowingHandler(armed)};
    *armed = true;
    auto* const sentinel = reinterpret_cast<IZEPHTreeModel*>(quintptr(0x10));
    IZEPHTreeModel* created = sentinel;
    QVERIFY(!CreateZEPHTreeModel(&created, nullptr, {}, 0, std::move(throwing), filter));
    QCOMPARE(created, sentinel);
    QCOMPARE(armed.use_count(), 1L);

    QObject parent;
    QVERIFY(CreateZEPHTreeModel(&created, &parent, {{300, "custom"}}, 4, handler, filter));
    QCOMPARE(tracker.use_count(), 5L);
    QCOMPARE(created->parent(), &parent);
    QCOMPARE(created->roleNames(), (QHash<int, QByteArray>{{300, "custom"}}));
    QVERIFY(tree::run(dynamic_cast<ZEPHTreeModel*>(created), "append A:old; append A:new"));
    QCOMPARE(merges, QStringList{"new>old"});
    QPointer<QObject> model = created;
    QPointer<QObject> item = created->FindItem(0);
    QVERIFY(DeleteZEPHTreeModel(&created));
    QVERIFY(!created && !model && item);
    tree::flushDeletes();
    QVERIFY(!item);
    QCOMPARE(tracker.use_count(), 3L);
    QVERIFY(!DeleteZEPHTreeModel(&created));
    QVERIFY(!DeleteZEPHTreeModel(nullptr));
}

// Only the two exported classes (members, meta-objects, virtual tables, type information) and the
// two plain functions are visible to hosts.
void TstBoundary::shouldExportOnlyPublicClassesAndEntryPoints() {
    QProcess nm;
    nm.start(ZEPH_NM, {"-D", "--defined-only", "-C", ZEPH_LIBRARY_FILE});
    QVERIFY(nm.waitForFinished(60000) && nm.exitCode() == 0);
    QStringList names;
    for (const QString& line :
         QString::fromLocal8Bit(nm.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        names << line.section(' ', 2);
    const QRegularExpression allowed(
        "^((ZEPHTreeModel|ZEPHTreeItem)::.*|(vtable|typeinfo|typeinfo name) for "
        "(ZEPHTreeModel|ZEPHTreeItem)|CreateZEPHTreeModel|DeleteZEPHTreeModel)$");
    QCOMPARE(names.filter(allowed), names);
    for (const char* required : {"CreateZEPHTreeModel", "DeleteZEPHTreeModel",
                                 "ZEPHTreeModel::staticMetaObject", "vtable for ZEPHTreeItem",
                                 "ZEPHTreeModel::KeepSortingCheck()", "ZEPHTreeItem::RegisterRolesEnum()"})
        QVERIFY2(names.contains(required), required);
}

// Hosts built against the documented layout call virtual operations by slot: the item's four right
// after QObject's own (getData by name, by number, setData by name, by number), and the model
// interface's right after those of QAbstractItemModel, in the order above. Lookups descend into any
// implementation of the interface, and skip other child objects.
void TstBoundary::shouldLayOutVirtualTablesAsDocumented() {
    const int item = LastQObjectSlot::slot() + 1;
    QCOMPARE(
        QList<int>(
            {slotOf(static_cast<QVariant (ZEPHTreeItem::*)(const QString&) const>(&ZEPHTreeItem::getData)),
             slotOf(static_cast<QVariant (ZEPHTreeItem::*)(int) const>(&ZEPHTreeItem::getData)),
             slotOf(static_cast<void (ZEPHTreeItem::*)(const QString&, QVariant)>(&ZEPHTreeItem::setData)),
             slotOf(static_cast<void (ZEPHTreeItem::*)(int, QVariant)>(&ZEPHTreeItem::setData))}),
        QList<int>({item, item + 1, item + 2, item + 3}));
#define ZEPH_SLOT(R, name, params, cv)                                                                       \
    slotOf(static_cast<R(IZEPHTreeModel::*) params cv>(&IZEPHTreeModel::name)),
    const QList<int> order{ZEPH_INTERFACE(ZEPH_SLOT)};
    for (int i = 0; i < order.size(); ++i)
        QCOMPARE(order.at(i), slotOf(&QAbstractItemModel::revert) + 1 + i);

    QPointer<QObject> plainChild = new QObject;
    QPointer<QStringListModel> foreignModel = new QStringListModel({"T"});
    QPointer<AnsweringHostModel> hostModel = new AnsweringHostModel;
    QPointer<ZEPHTreeModel> nested = tree::make("T:found");
    std::unique_ptr<ZEPHTreeModel> model(tree::make("A B C D E"));
    const QList<QObject*> children{plainChild, foreignModel, tree::make("gone"), nested, hostModel};
    for (int row = 0; row < 5; ++row)
        tree::at(model.get(), row)->SetChildModel(children.at(row));
    delete children.at(2);
    QList<QString> ids;
    model->GetAllIDs(ids, true);
    QCOMPARE(QStringList(ids).join(' '), QStringLiteral("A B C D T E H"));
    QCOMPARE(model->FindItem("T", true), nested->FindItem(0));
    QCOMPARE(model->FindItem("H", true), &hostModel->item);
    QCOMPARE(model->FindItem("H", false), nullptr);
    // Their disposal releases every child object, and empties only the library's models.
    model.reset();
    QCOMPARE(foreignModel->rowCount() + nested->rowCount(), 1);
    tree::flushDeletes(3);
    QVERIFY(!plainChild && !foreignModel && !hostModel && !nested);
}

QTEST_MAIN(TstBoundary)
#include "tst_boundary.moc"

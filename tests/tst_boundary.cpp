#include <ZEPHTreeModel.h>
#include <ZEPHTreeModelExports.h>

#include <QLibrary>
#include <QPointer>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

const char* const kModelUri = "com.zephora.izephtreemodel";
const char* const kItemUri = "com.zephora.zephtreeitem";

// A duplicate handler whose copies throw once armed, to make a construction fail half-way.
struct ThrowingHandler {
    std::shared_ptr<bool> armed;
    explicit ThrowingHandler(std::shared_ptr<bool> flag) : armed(std::move(flag)) {}
    ThrowingHandler(const ThrowingHandler& other) : armed(other.armed) {
        if (*armed) throw std::runtime_error("copy refused");
    }
    void operator()(const QObject*, QObject*) const {}
};

// Hands out plain parentless objects from an invokable, to show what the engine does with objects
// that carry no ownership of their own.
class Factory : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QObject* make() { return made = new QObject; }
    QPointer<QObject> made;
};

// Runs `script` (a function of one argument) on `object` in `engine` and drops every reference.
void callFromScript(QQmlEngine& engine, QObject* object, const QString& script) {
    QJSValue function = engine.evaluate(script);
    QVERIFY(function.isCallable());
    QJSValue result = function.call({engine.newQObject(object)});
    QVERIFY2(!result.isError(), qPrintable(result.toString()));
}

void collect(QQmlEngine& engine) {
    engine.collectGarbage();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

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

QObject* createQml(QQmlEngine& engine, const QByteArray& source, QString* errors = nullptr) {
    QQmlComponent component(&engine);
    component.setData(source, QUrl());
    QObject* object = component.create();
    if (errors) *errors = component.errorString();
    return object;
}

} // namespace

class TstBoundary : public QObject {
    Q_OBJECT
private slots:
    // Registration: these run first, before anything else constructs a model.
    void shouldRegisterNothingAtLoadTime();
    void shouldRegisterModelTypeOnFirstConstruction();
    void shouldRegisterItemTypeOnRequest();
    // Ownership across the boundary.
    void shouldGiveModelToEngineByFlag_data();
    void shouldGiveModelToEngineByFlag();
    void shouldLetEngineCollectOnlyJavaScriptOwnedModels_data();
    void shouldLetEngineCollectOnlyJavaScriptOwnedModels();
    void shouldNeverLetEngineCollectItems();
    void shouldLetQmlOwnWhatItCreates();
    // The plain entry points.
    void shouldRefuseCreateWithoutOutAddress();
    void shouldCreateModelForHost();
    void shouldReportFailedConstructionAsFalse();
    void shouldDeleteModelAtOnce();
    // The library's dynamic symbol table.
    void shouldExportOnlyPublicClassesAndEntryPoints();
    void shouldLayOutItemVirtualTableAsDocumented();
};

void TstBoundary::shouldRegisterNothingAtLoadTime() {
    QCOMPARE(qmlTypeId(kModelUri, 1, 0, "IZEPHTreeModel"), -1);
    QCOMPARE(qmlTypeId(kItemUri, 1, 0, "ZEPHTreeItem"), -1);
    QQmlEngine engine;
    QString errors;
    QScopedPointer<QObject> object(
        createQml(engine, "import com.zephora.izephtreemodel 1.0\nIZEPHTreeModel {}\n", &errors));
    QVERIFY(!object);
    QVERIFY(!errors.isEmpty());
}

void TstBoundary::shouldRegisterModelTypeOnFirstConstruction() {
    { ZEPHTreeModel first(nullptr, {}); }
    const int typeId = qmlTypeId(kModelUri, 1, 0, "IZEPHTreeModel");
    QVERIFY(typeId >= 0);
    { ZEPHTreeModel second(nullptr, {}); }
    QCOMPARE(qmlTypeId(kModelUri, 1, 0, "IZEPHTreeModel"), typeId);
    // Each constructor registers at most once.
    { ZEPHTreeModel byDefault; }
    const int afterDefault = qmlTypeId(kModelUri, 1, 0, "IZEPHTreeModel");
    QVERIFY(afterDefault >= 0);
    { ZEPHTreeModel byDefaultAgain; }
    { ZEPHTreeModel third(nullptr, {}); }
    QCOMPARE(qmlTypeId(kModelUri, 1, 0, "IZEPHTreeModel"), afterDefault);
    QVERIFY(QMetaType::type("ZEPHTreeModel*") != QMetaType::UnknownType);
    QVERIFY(QMetaType::type("QQmlListProperty<ZEPHTreeModel>") != QMetaType::UnknownType);

    QQmlEngine engine;
    QString errors;
    QScopedPointer<QObject> object(
        createQml(engine, "import com.zephora.izephtreemodel 1.0\nIZEPHTreeModel {}\n", &errors));
    QVERIFY2(object, qPrintable(errors));
    auto* model = qobject_cast<ZEPHTreeModel*>(object.data());
    QVERIFY(model);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->roleNames().size(), 3);
}

void TstBoundary::shouldRegisterItemTypeOnRequest() {
    QCOMPARE(qmlTypeId(kItemUri, 1, 0, "ZEPHTreeItem"), -1);
    ZEPHTreeItem::RegisterRolesEnum();
    ZEPHTreeItem::RegisterRolesEnum();
    QVERIFY(qmlTypeId(kItemUri, 1, 0, "ZEPHTreeItem") >= 0);
    QVERIFY(QMetaType::type("ZEPHTreeItem*") != QMetaType::UnknownType);
    QVERIFY(QMetaType::type("QQmlListProperty<ZEPHTreeItem>") != QMetaType::UnknownType);

    QQmlEngine engine;
    QString errors;
    QScopedPointer<QObject> object(
        createQml(engine,
                  "import QtQml 2.15\n"
                  "import com.zephora.zephtreeitem 1.0\n"
                  "QtObject {\n"
                  "  property var roles: [ZEPHTreeItem.IdRole, ZEPHTreeItem.NameRole,\n"
                  "    ZEPHTreeItem.ChildModelRole, ZEPHTreeItem.JsonValueRole, ZEPHTreeItem.LastRole]\n"
                  "  property ZEPHTreeItem item: ZEPHTreeItem {}\n"
                  "}\n",
                  &errors));
    QVERIFY2(object, qPrintable(errors));
    QCOMPARE(object->property("roles").toList(), QVariantList({257, 258, 259, 260, 260}));
    QVERIFY(qobject_cast<ZEPHTreeItem*>(object->property("item").value<QObject*>()));
}

void TstBoundary::shouldGiveModelToEngineByFlag_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("javaScriptOwned");
    for (int flags = 0; flags < 8; ++flags)
        QTest::addRow("flags %d", flags) << flags << bool(flags & 1);
}

void TstBoundary::shouldGiveModelToEngineByFlag() {
    QFETCH(int, flags);
    QFETCH(bool, javaScriptOwned);
    const QQmlEngine::ObjectOwnership expected =
        javaScriptOwned ? QQmlEngine::JavaScriptOwnership : QQmlEngine::CppOwnership;
    ZEPHTreeModel model(nullptr, {}, flags);
    QCOMPARE(QQmlEngine::objectOwnership(&model), expected);
    IZEPHTreeModel* created = nullptr;
    QVERIFY(CreateZEPHTreeModel(&created, nullptr, {}, flags, {}, {}));
    QCOMPARE(QQmlEngine::objectOwnership(created), expected);
    QVERIFY(DeleteZEPHTreeModel(&created));
}

void TstBoundary::shouldLetEngineCollectOnlyJavaScriptOwnedModels_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("collected");
    QTest::newRow("native") << 0 << false;
    QTest::newRow("JavaScript") << 1 << true;
    QTest::newRow("JavaScript, shared items") << 3 << true;
    QTest::newRow("native, merging") << 4 << false;
}

void TstBoundary::shouldLetEngineCollectOnlyJavaScriptOwnedModels() {
    QFETCH(int, flags);
    QFETCH(bool, collected);
    QQmlEngine engine;
    QPointer<ZEPHTreeModel> model = new ZEPHTreeModel(nullptr, {}, flags);
    ZEPHTreeItem item(QStringLiteral("A"), QString(), nullptr);
    if (flags & 2) model->AppendItem(&item);
    callFromScript(engine, model, QStringLiteral("(function (m) { return m.count; })"));
    collect(engine);
    QCOMPARE(model.isNull(), collected);
    delete model;
}

void TstBoundary::shouldNeverLetEngineCollectItems() {
    QQmlEngine engine;
    ZEPHTreeModel model(nullptr, {});
    auto* child = new ZEPHTreeModel(nullptr, {});
    child->AppendItem(new ZEPHTreeItem(QStringLiteral("B"), QString(), nullptr));
    model.AppendItem(new ZEPHTreeItem(QStringLiteral("A"), QString(), child));
    QPointer<QObject> a = model.FindItem(0);
    QPointer<QObject> b = child->FindItem(0);
    callFromScript(
        engine, &model,
        QStringLiteral("(function (m) { var x = [m.FindItem(0), m.FindItem('A'), m.FindItem('B', true),"
                       " m.get(0).childModelRole, m.FindItemValue(0, 259)]; return x.length; })"));
    // The engine does collect a parentless object handed out by an invokable without an owner.
    Factory factory;
    QQmlEngine::setObjectOwnership(&factory, QQmlEngine::CppOwnership);
    callFromScript(engine, &factory, QStringLiteral("(function (f) { return f.make(); })"));
    collect(engine);
    QVERIFY(!factory.made);
    QVERIFY(a);
    QVERIFY(b);
    QCOMPARE(model.FindItem(QStringLiteral("B"), true), b.data());
}

// Models and items made by QML code belong to the engine; a model declared inside another object
// dies with it.
void TstBoundary::shouldLetQmlOwnWhatItCreates() {
    QQmlEngine engine;
    QString errors;
    QScopedPointer<QObject> root(createQml(engine,
                                           "import QtQml 2.15\n"
                                           "import com.zephora.izephtreemodel 1.0\n"
                                           "import com.zephora.zephtreeitem 1.0\n"
                                           "QtObject {\n"
                                           "  property IZEPHTreeModel declared: IZEPHTreeModel {}\n"
                                           "  property Component maker: Component { IZEPHTreeModel {} }\n"
                                           "  property Component itemMaker: Component { ZEPHTreeItem {} }\n"
                                           "  function make() { return maker.createObject(null) }\n"
                                           "  function makeItem() { return itemMaker.createObject(null) }\n"
                                           "}\n",
                                           &errors));
    QVERIFY2(root, qPrintable(errors));
    QPointer<QObject> declared = root->property("declared").value<QObject*>();
    QVERIFY(declared);
    QVariant made;
    QVERIFY(QMetaObject::invokeMethod(root.data(), "make", Q_RETURN_ARG(QVariant, made)));
    QPointer<QObject> createdByScript = made.value<QObject*>();
    QVERIFY(qobject_cast<ZEPHTreeModel*>(createdByScript));
    QCOMPARE(QQmlEngine::objectOwnership(createdByScript), QQmlEngine::JavaScriptOwnership);
    QVERIFY(QMetaObject::invokeMethod(root.data(), "makeItem", Q_RETURN_ARG(QVariant, made)));
    QPointer<QObject> itemByScript = made.value<QObject*>();
    QVERIFY(qobject_cast<ZEPHTreeItem*>(itemByScript));
    QCOMPARE(QQmlEngine::objectOwnership(itemByScript), QQmlEngine::JavaScriptOwnership);
    made = QVariant();
    collect(engine);
    QVERIFY(!createdByScript);
    QVERIFY(!itemByScript);
    root.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!declared);
}

void TstBoundary::shouldRefuseCreateWithoutOutAddress() {
    auto tracker = std::make_shared<int>(0);
    PF_DUPLICATE_HANDLER handler = [tracker](const QObject*, QObject*) {};
    PF_USER_FILTER filter = [tracker](const QObject*, const QVariant&) { return true; };
    QVERIFY(!CreateZEPHTreeModel(nullptr, nullptr, {}, 0, handler, filter));
    // No model holds a copy of either callable.
    QCOMPARE(tracker.use_count(), 3L);
}

void TstBoundary::shouldCreateModelForHost() {
    QObject parent;
    auto tracker = std::make_shared<int>(0);
    QStringList merges;
    PF_DUPLICATE_HANDLER handler = [tracker, &merges](const QObject* source, QObject* target) {
        merges << qobject_cast<const ZEPHTreeItem*>(source)->Name() + QLatin1String(">") +
                      qobject_cast<ZEPHTreeItem*>(target)->Name();
    };
    PF_USER_FILTER filter = [tracker](const QObject*, const QVariant&) { return true; };
    IZEPHTreeModel* created = nullptr;
    QVERIFY(CreateZEPHTreeModel(&created, &parent, {{300, "custom"}}, 4, handler, filter));
    QVERIFY(created);
    auto* model = dynamic_cast<ZEPHTreeModel*>(created);
    QVERIFY(model);
    QCOMPARE(model->parent(), &parent);
    QCOMPARE(model->thread(), QThread::currentThread());
    QCOMPARE(model->roleNames(), (QHash<int, QByteArray>{{300, "custom"}}));
    QCOMPARE(QQmlEngine::objectOwnership(model), QQmlEngine::CppOwnership);
    QCOMPARE(tracker.use_count(), 5L); // ours twice, and the model's copies
    // The model merges with the host's handler (flag 4).
    created->AppendItem(new ZEPHTreeItem(QStringLiteral("A"), QStringLiteral("old"), nullptr));
    created->AppendItem(new ZEPHTreeItem(QStringLiteral("A"), QStringLiteral("new"), nullptr));
    QCOMPARE(merges, QStringList{QStringLiteral("new>old")});
    QVERIFY(DeleteZEPHTreeModel(&created));
    QCOMPARE(tracker.use_count(), 3L);
    QVERIFY(parent.children().isEmpty());

    IZEPHTreeModel* plain = nullptr;
    QVERIFY(CreateZEPHTreeModel(&plain, nullptr, {}, 0, {}, {}));
    QCOMPARE(plain->roleNames().size(), 3);
    QCOMPARE(plain->parent(), nullptr);
    QVERIFY(DeleteZEPHTreeModel(&plain));
}

void TstBoundary::shouldReportFailedConstructionAsFalse() {
    auto armed = std::make_shared<bool>(false);
    PF_DUPLICATE_HANDLER handler{ThrowingHandler(armed)};
    *armed = true;
    auto* const sentinel = reinterpret_cast<IZEPHTreeModel*>(quintptr(0x10));
    IZEPHTreeModel* created = sentinel;
    QVERIFY(!CreateZEPHTreeModel(&created, nullptr, {}, 0, std::move(handler), {}));
    QCOMPARE(created, sentinel);
    QCOMPARE(armed.use_count(), 1L);
}

void TstBoundary::shouldDeleteModelAtOnce() {
    IZEPHTreeModel* created = nullptr;
    QVERIFY(CreateZEPHTreeModel(&created, nullptr, {}, 0, {}, {}));
    auto* item = new ZEPHTreeItem(QStringLiteral("A"), QString(), nullptr);
    created->AppendItem(item);
    QPointer<QObject> model = created;
    QPointer<ZEPHTreeItem> guardedItem = item;
    QVERIFY(DeleteZEPHTreeModel(&created));
    QCOMPARE(created, nullptr);
    QVERIFY(!model); // at once, not deferred
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!guardedItem);
    QVERIFY(!DeleteZEPHTreeModel(&created));
    QVERIFY(!DeleteZEPHTreeModel(nullptr));
}

// Only the two exported classes (members, meta-objects, virtual tables, type information) and the
// two plain functions may be visible to hosts.
void TstBoundary::shouldExportOnlyPublicClassesAndEntryPoints() {
    QProcess nm;
    nm.start(QStringLiteral(ZEPH_NM), {QStringLiteral("-D"), QStringLiteral("--defined-only"),
                                       QStringLiteral("-C"), QStringLiteral(ZEPH_LIBRARY_FILE)});
    QVERIFY(nm.waitForFinished(60000));
    QCOMPARE(nm.exitCode(), 0);
    const QStringList lines =
        QString::fromLocal8Bit(nm.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() > 100);
    const QStringList classPrefixes{QStringLiteral("ZEPHTreeModel::"), QStringLiteral("ZEPHTreeItem::")};
    const QStringList classes{QStringLiteral("ZEPHTreeModel"), QStringLiteral("ZEPHTreeItem")};
    QStringList unexpected;
    QSet<QString> names;
    for (const QString& line : lines) {
        // "<address> <type> <demangled name>"
        const QString name = line.section(QLatin1Char(' '), 2);
        names.insert(name);
        bool allowed =
            name == QLatin1String("CreateZEPHTreeModel") || name == QLatin1String("DeleteZEPHTreeModel");
        for (const QString& prefix : classPrefixes)
            allowed = allowed || name.startsWith(prefix);
        for (const QString& cls : classes) {
            for (const QString& kind : {QStringLiteral("vtable for "), QStringLiteral("typeinfo for "),
                                        QStringLiteral("typeinfo name for ")})
                allowed = allowed || name == kind + cls;
        }
        if (!allowed) unexpected << line;
    }
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char('\n'))));
    // The entry points carry no C++ name decoration, and the exported classes are whole.
    for (const char* required :
         {"CreateZEPHTreeModel", "DeleteZEPHTreeModel", "ZEPHTreeModel::staticMetaObject",
          "ZEPHTreeItem::staticMetaObject", "vtable for ZEPHTreeModel", "vtable for ZEPHTreeItem",
          "ZEPHTreeItem::RegisterRolesEnum()", "ZEPHTreeModel::KeepSortingCheck()"})
        QVERIFY2(names.contains(QLatin1String(required)), required);
}

// Hosts built against the documented layout call the item's four virtual operations by slot, right
// after QObject's own: getData by name, getData by number, setData by name, setData by number. The
// slots that a host compiles from the header and the functions in the library's own table agree.
void TstBoundary::shouldLayOutItemVirtualTableAsDocumented() {
    const int first = LastQObjectSlot::slot() + 1;
    QCOMPARE(slotOf(static_cast<QVariant (ZEPHTreeItem::*)(const QString&) const>(&ZEPHTreeItem::getData)),
             first);
    QCOMPARE(slotOf(static_cast<QVariant (ZEPHTreeItem::*)(int) const>(&ZEPHTreeItem::getData)), first + 1);
    QCOMPARE(slotOf(static_cast<void (ZEPHTreeItem::*)(const QString&, QVariant)>(&ZEPHTreeItem::setData)),
             first + 2);
    QCOMPARE(slotOf(static_cast<void (ZEPHTreeItem::*)(int, QVariant)>(&ZEPHTreeItem::setData)), first + 3);
    ZEPHTreeItem item; // its table pointer is set by the library's constructor
    void* const* table = *reinterpret_cast<void* const* const*>(&item);
    const char* const symbols[] = {"_ZNK12ZEPHTreeItem7getDataERK7QString", "_ZNK12ZEPHTreeItem7getDataEi",
                                   "_ZN12ZEPHTreeItem7setDataERK7QString8QVariant",
                                   "_ZN12ZEPHTreeItem7setDataEi8QVariant"};
    for (int i = 0; i < 4; ++i) {
        const QFunctionPointer function = QLibrary::resolve(QStringLiteral(ZEPH_LIBRARY_FILE), symbols[i]);
        QVERIFY2(function, symbols[i]);
        QVERIFY2(table[first + i] == reinterpret_cast<void*>(function), symbols[i]);
    }
}

QTEST_MAIN(TstBoundary)
#include "tst_boundary.moc"

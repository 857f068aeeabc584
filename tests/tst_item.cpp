#include <ZEPHTreeItem.h>

#include <QQmlEngine>
#include <QRandomGenerator>
#include <QStringListModel>
#include <QtTest>

#include <functional>

namespace {

const QString kId = QStringLiteral("idRole");
const QString kName = QStringLiteral("nameRole");
const QString kChild = QStringLiteral("childModelRole");

QVariant obj(QObject* object) {
    return QVariant::fromValue<QObject*>(object);
}

// One value as text that tells apart everything a reader of the map can observe: validity, type,
// null-ness and the value (objects by their object name).
QString describe(const QVariant& value) {
    if (!value.isValid()) return QStringLiteral("invalid");
    QString text = QString::fromLatin1(value.typeName());
    if (value.isNull()) text += QStringLiteral(" null");
    if (QMetaType::typeFlags(value.userType()) & QMetaType::PointerToQObject) {
        QObject* object = qvariant_cast<QObject*>(value);
        return text + QLatin1Char('=') + (object ? object->objectName() : QStringLiteral("0"));
    }
    if (value.userType() == QMetaType::QVariantMap) return text + QStringLiteral("{...}");
    return text + QLatin1Char('=') + value.toString();
}

// A whole map, keys in order: "childModelRole:QObject* null=0 idRole:QString=A ...".
QString describe(const QVariantMap& map) {
    QStringList parts;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        parts << it.key() + QLatin1Char(':') + describe(it.value());
    return parts.join(QLatin1Char(' '));
}

QString describeFields(const QString& id, const QString& name, QObject* child) {
    return describe(QVariant(id)) + QLatin1Char('|') + describe(QVariant(name)) + QLatin1Char('|') +
           describe(obj(child));
}

// The item's behaviour written down plainly: three fields and one ordinary map that the setters
// keep in step. The library's item keeps the map in a compact form; it must not be told apart.
struct PlainItem {
    QString id;
    QString name;
    QObject* child = nullptr;
    QVariantMap map;
    std::function<void()> emitted;

    PlainItem() = default;
    PlainItem(const QString& i, const QString& n, QObject* c) : id(i), name(n), child(c) {
        map[kId] = i;
        map[kName] = n;
        map[kChild] = obj(c);
    }
    QString state() const { return describe(map) + QStringLiteral(" / ") + describeFields(id, name, child); }
    void SetID(const QString& value) {
        if (value == id) return;
        id = value;
        map[kId] = value;
        emitted();
    }
    void SetName(const QString& value) {
        if (value == name) return;
        name = value;
        map[kName] = value;
        emitted();
    }
    void SetChildModel(QObject* value) {
        if (value == child) return;
        child = value;
        map[kChild] = obj(value);
        emitted();
    }
    void SetJsonValue(const QVariantMap& value) {
        if (value == map) return;
        map = value;
        SetID(map[kId].toString());
        SetName(map[kName].toString());
        SetChildModel(qvariant_cast<QObject*>(map[kChild]));
        emitted();
    }
    void setData(int role, const QVariant& value) {
        switch (role) {
        case ZEPHTreeItem::IdRole:
            SetID(value.toString());
            break;
        case ZEPHTreeItem::NameRole:
            SetName(value.toString());
            break;
        case ZEPHTreeItem::ChildModelRole:
            SetChildModel(qvariant_cast<QObject*>(value));
            break;
        case ZEPHTreeItem::JsonValueRole:
            SetJsonValue(value.toMap());
            break;
        default:
            break;
        }
    }
    void setData(const QString& roleName, const QVariant& value) {
        const int role = roleName == kId ? 257 : roleName == kName ? 258 : roleName == kChild ? 259 : 0;
        setData(role, value);
    }
};

QString state(const ZEPHTreeItem& item) {
    return describe(item.JsonValue()) + QStringLiteral(" / ") +
           describeFields(item.ID(), item.Name(), item.ChildModel());
}

// Pokes a list model with one insertion, one data change, one removal, one move and one reset, and
// reports how often `item` relayed each as childModelValueChanged(): "1 1 1 0 0" when connected.
QString pokeRelays(QStringListModel* model, ZEPHTreeItem* item) {
    QSignalSpy spy(item, &ZEPHTreeItem::childModelValueChanged);
    QStringList counts;
    const auto step = [&](const std::function<void()>& action) {
        spy.clear();
        action();
        counts << QString::number(spy.count());
    };
    step([&] { model->insertRows(0, 2); });
    step([&] { model->setData(model->index(0), QStringLiteral("x")); });
    step([&] { model->removeRows(0, 1); });
    model->insertRows(0, 1);
    step([&] { model->moveRows(QModelIndex(), 0, 1, QModelIndex(), 2); });
    step([&] { model->setStringList({QStringLiteral("a")}); });
    return counts.join(QLatin1Char(' '));
}

} // namespace

class TstItem : public QObject {
    Q_OBJECT
private slots:
    void shouldConstructWithFieldsMirroredInTheMap();
    void shouldAnswerRoles_data();
    void shouldAnswerRoles();
    void shouldWriteRolesByNumberAndName_data();
    void shouldWriteRolesByNumberAndName();
    void shouldTakeChildModelFromAnyObjectVariant_data();
    void shouldTakeChildModelFromAnyObjectVariant();
    void shouldSetJsonValueWithExactSignalsAndMap_data();
    void shouldSetJsonValueWithExactSignalsAndMap();
    void shouldShowIntermediateMapToSlots();
    void shouldBehaveLikePlainMap_data();
    void shouldBehaveLikePlainMap();
    void shouldFillRolesHash_data();
    void shouldFillRolesHash();
    void shouldRelayCurrentChildModelOnly_data();
    void shouldRelayCurrentChildModelOnly();
    void shouldKeepRelayOfOtherItemSharingChildModel();
    void shouldKeepOtherConnectionsWhenChildModelReplaced();
    void shouldHoldNonModelChildWithoutRelays();
    void shouldReadDeletedChildModelAsNull_data();
    void shouldReadDeletedChildModelAsNull();
    void shouldDeclareQmlSurface();
};

// The map mirrors the three fields; a default item's map only gains the keys that setters write. The
// third constructor argument is the child model, never the QObject parent, and items stay native.
void TstItem::shouldConstructWithFieldsMirroredInTheMap() {
    ZEPHTreeItem item;
    QVERIFY(item.ID().isEmpty());
    QVERIFY(item.Name().isEmpty());
    QCOMPARE(item.ChildModel(), nullptr);
    QCOMPARE(item.JsonValue(), QVariantMap());
    QCOMPARE(item.getData(ZEPHTreeItem::JsonValueRole), QVariant(QVariantMap()));
    item.SetName(QStringLiteral("n"));
    QCOMPARE(describe(item.JsonValue()), QStringLiteral("nameRole:QString=n"));

    QStringListModel child;
    child.setObjectName(QStringLiteral("c"));
    ZEPHTreeItem full(QStringLiteral("A"), QStringLiteral("B"), &child);
    QCOMPARE(describe(full.JsonValue()),
             QStringLiteral("childModelRole:QObject*=c idRole:QString=A nameRole:QString=B"));
    ZEPHTreeItem plain(QStringLiteral("A"), QStringLiteral("B"), nullptr);
    QCOMPARE(describe(plain.getData(260).toMap()),
             QStringLiteral("childModelRole:QObject* null=0 idRole:QString=A nameRole:QString=B"));

    QCOMPARE(QQmlEngine::objectOwnership(&item), QQmlEngine::CppOwnership);
    QCOMPARE(QQmlEngine::objectOwnership(&full), QQmlEngine::CppOwnership);
    QCOMPARE(full.parent(), nullptr);
    QVERIFY(child.children().isEmpty());
}

// Roles by number (257-260 only) and by name (the three mirrored names only, exactly); further
// keys of the map are never looked up by name.
void TstItem::shouldAnswerRoles_data() {
    QTest::addColumn<QVariant>("role"); // int or QString
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("id") << QVariant(257) << "QString=A";
    QTest::newRow("name") << QVariant(258) << "QString=B";
    QTest::newRow("child") << QVariant(259) << "QObject*=c";
    QTest::newRow("json map") << QVariant(260) << "QVariantMap{...}";
    QTest::newRow("below") << QVariant(256) << "invalid";
    QTest::newRow("above last") << QVariant(261) << "invalid";
    QTest::newRow("zero") << QVariant(0) << "invalid";
    QTest::newRow("display") << QVariant(int(Qt::DisplayRole)) << "invalid";
    QTest::newRow("negative") << QVariant(-1) << "invalid";
    QTest::newRow("idRole") << QVariant(kId) << "QString=A";
    QTest::newRow("nameRole") << QVariant(kName) << "QString=B";
    QTest::newRow("childModelRole") << QVariant(kChild) << "QObject*=c";
    QTest::newRow("jsonValueRole is by number only") << QVariant(QStringLiteral("jsonValueRole")) << "invalid";
    QTest::newRow("case counts") << QVariant(QStringLiteral("IdRole")) << "invalid";
    QTest::newRow("trailing space") << QVariant(QStringLiteral("idRole ")) << "invalid";
    QTest::newRow("empty") << QVariant(QString()) << "invalid";
    QTest::newRow("other map key") << QVariant(QStringLiteral("extra")) << "invalid";
    QTest::newRow("non latin-1") << QVariant(QString::fromUtf8("idRol\u4e00")) << "invalid";
    // clang-format on
}

void TstItem::shouldAnswerRoles() {
    QFETCH(QVariant, role);
    QFETCH(QString, expected);
    QObject child;
    child.setObjectName(QStringLiteral("c"));
    ZEPHTreeItem item(QStringLiteral("A"), QStringLiteral("B"), &child);
    const auto read = [&] {
        return describe(role.userType() == QMetaType::Int ? item.getData(role.toInt())
                                                          : item.getData(role.toString()));
    };
    QCOMPARE(read(), expected);
    QVariantMap extended = item.JsonValue();
    extended[QStringLiteral("extra")] = 1;
    item.SetJsonValue(extended);
    QCOMPARE(read(), expected);
}

void TstItem::shouldWriteRolesByNumberAndName_data() {
    QTest::addColumn<QVariant>("role"); // int or QString
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected"); // fields after the write
    QTest::addColumn<int>("emitted");
    const QVariant c = QVariant::fromValue<QObject*>(nullptr);
    // clang-format off
    QTest::newRow("id from int") << QVariant(257) << QVariant(7) << "QString=7|QString=B|QObject*=c" << 1;
    QTest::newRow("id unchanged") << QVariant(257) << QVariant(QStringLiteral("A")) << "QString=A|QString=B|QObject*=c" << 0;
    QTest::newRow("name") << QVariant(258) << QVariant(QStringLiteral("N")) << "QString=A|QString=N|QObject*=c" << 1;
    QTest::newRow("child cleared by invalid") << QVariant(259) << QVariant() << "QString=A|QString=B|QObject* null=0" << 1;
    QTest::newRow("child cleared by non-object") << QVariant(259) << QVariant(QStringLiteral("c")) << "QString=A|QString=B|QObject* null=0" << 1;
    QTest::newRow("json map") << QVariant(260) << QVariant(QVariantMap{{kId, QStringLiteral("Z")}}) << "QString=Z|QString null=|QObject* null=0" << 4;
    QTest::newRow("unknown role") << QVariant(261) << QVariant(QStringLiteral("Z")) << "QString=A|QString=B|QObject*=c" << 0;
    QTest::newRow("by name id") << QVariant(kId) << QVariant(QStringLiteral("Z")) << "QString=Z|QString=B|QObject*=c" << 1;
    QTest::newRow("by name child") << QVariant(kChild) << c << "QString=A|QString=B|QObject* null=0" << 1;
    QTest::newRow("by name json does nothing") << QVariant(QStringLiteral("jsonValueRole")) << QVariant(QVariantMap{}) << "QString=A|QString=B|QObject*=c" << 0;
    QTest::newRow("by wrong case does nothing") << QVariant(QStringLiteral("NameRole")) << QVariant(QStringLiteral("Z")) << "QString=A|QString=B|QObject*=c" << 0;
    // clang-format on
}

void TstItem::shouldWriteRolesByNumberAndName() {
    QFETCH(QVariant, role);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QFETCH(int, emitted);
    QObject child;
    child.setObjectName(QStringLiteral("c"));
    ZEPHTreeItem item(QStringLiteral("A"), QStringLiteral("B"), &child);
    QSignalSpy spy(&item, &ZEPHTreeItem::valueChanged);
    if (role.userType() == QMetaType::Int)
        item.setData(role.toInt(), value);
    else
        item.setData(role.toString(), value);
    QCOMPARE(describeFields(item.ID(), item.Name(), item.ChildModel()), expected);
    QCOMPARE(spy.count(), emitted);
}

void TstItem::shouldTakeChildModelFromAnyObjectVariant_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("QObject*") << 0;
    QTest::newRow("derived model pointer") << 1;
    QTest::newRow("item pointer") << 2;
}

void TstItem::shouldTakeChildModelFromAnyObjectVariant() {
    QFETCH(int, kind);
    QStringListModel model;
    ZEPHTreeItem other;
    QObject* expected = kind == 2 ? static_cast<QObject*>(&other) : &model;
    const QVariant value = kind == 0   ? obj(&model)
                           : kind == 1 ? QVariant::fromValue<QStringListModel*>(&model)
                                       : QVariant::fromValue<ZEPHTreeItem*>(&other);
    ZEPHTreeItem item;
    item.setData(ZEPHTreeItem::ChildModelRole, value);
    QCOMPARE(item.ChildModel(), expected);
    // Reading back always gives a plain QObject* variant.
    QCOMPARE(item.getData(259).userType(), int(QMetaType::QObjectStar));
    ZEPHTreeItem byJson;
    byJson.SetJsonValue({{kChild, value}});
    QCOMPARE(byJson.ChildModel(), expected);
}

void TstItem::shouldSetJsonValueWithExactSignalsAndMap_data() {
    QTest::addColumn<bool>("fullItem"); // ID A, name B, child c; else a default item
    QTest::addColumn<QVariantMap>("value");
    QTest::addColumn<int>("emitted");
    QTest::addColumn<QString>("expected"); // the map afterwards
    QObject* c = nullptr;                  // the child is filled in by the test function
    Q_UNUSED(c)
    const QVariantMap same{
        {kId, QStringLiteral("A")}, {kName, QStringLiteral("B")}, {kChild, QStringLiteral("@c")}};
    QVariantMap nameOnly = same;
    nameOnly[kName] = QStringLiteral("N");
    QVariantMap idAndName = nameOnly;
    idAndName[kId] = QStringLiteral("I");
    QVariantMap allThree = idAndName;
    allThree[kChild] = obj(nullptr);
    QVariantMap extra = same;
    extra[QStringLiteral("extra")] = 5;
    // clang-format off
    QTest::newRow("equal map") << true << same << 0 << "childModelRole:QObject*=c idRole:QString=A nameRole:QString=B";
    QTest::newRow("name only") << true << nameOnly << 2 << "childModelRole:QObject*=c idRole:QString=A nameRole:QString=N";
    QTest::newRow("id and name") << true << idAndName << 3 << "childModelRole:QObject*=c idRole:QString=I nameRole:QString=N";
    QTest::newRow("all three") << true << allThree << 4 << "childModelRole:QObject* null=0 idRole:QString=I nameRole:QString=N";
    QTest::newRow("extra key only") << true << extra << 1 << "childModelRole:QObject*=c extra:int=5 idRole:QString=A nameRole:QString=B";
    QTest::newRow("empty map on full item") << true << QVariantMap() << 4 << "childModelRole:QObject* null=0 idRole:QString null= nameRole:QString null=";
    QTest::newRow("empty map keeps invalid entries") << false << QVariantMap{{QStringLiteral("x"), 1}} << 1 << "childModelRole:invalid idRole:invalid nameRole:invalid x:int=1";
    // Values compare as QVariant does, converting where it can: "B" as bytes equals "B" as text.
    QTest::newRow("equal after conversion") << true << QVariantMap{{kId, QStringLiteral("A")},
                       // clang-format on
                       {kName, QStringLiteral("B").toUtf8()},
                       {kChild, QStringLiteral("@c")}}
        << 0 << "childModelRole:QObject*=c idRole:QString=A nameRole:QString=B";
    QTest::newRow("unchanged values keep their types")
        << true
        << QVariantMap{{kId, QStringLiteral("A")},
                       {kName, QStringLiteral("B").toUtf8()},
                       {kChild, QStringLiteral("@c")},
                       {QStringLiteral("x"), 1}}
        << 1 << "childModelRole:QObject*=c idRole:QString=A nameRole:QByteArray=B x:int=1";
    // clang-format off
    QTest::newRow("empty text where the ID is null") << false << QVariantMap{{kId, QStringLiteral("")}, {kName, QString()}, {kChild, obj(nullptr)}} << 1 << "childModelRole:QObject* null=0 idRole:QString= nameRole:QString null=";
    QTest::newRow("non-string id is stored as sent when unchanged") << false << QVariantMap{{kId, QVariant()}, {kName, 0}} << 2 << "childModelRole:invalid idRole:invalid nameRole:QString=0";
    // clang-format on
}

void TstItem::shouldSetJsonValueWithExactSignalsAndMap() {
    QFETCH(bool, fullItem);
    QFETCH(QVariantMap, value);
    QFETCH(int, emitted);
    QFETCH(QString, expected);
    QStringListModel c;
    c.setObjectName(QStringLiteral("c"));
    for (auto it = value.begin(); it != value.end(); ++it) {
        if (it.value() == QVariant(QStringLiteral("@c"))) it.value() = obj(&c);
    }
    ZEPHTreeItem empty;
    ZEPHTreeItem full(QStringLiteral("A"), QStringLiteral("B"), &c);
    ZEPHTreeItem& item = fullItem ? full : empty;
    QSignalSpy spy(&item, &ZEPHTreeItem::valueChanged);
    item.SetJsonValue(value);
    QCOMPARE(spy.count(), emitted);
    QCOMPARE(describe(item.JsonValue()), expected);
    QCOMPARE(describe(item.getData(260).toMap()), expected);
    // Setting the map it now holds changes nothing.
    item.SetJsonValue(item.JsonValue());
    QCOMPARE(spy.count(), emitted);
}

void TstItem::shouldShowIntermediateMapToSlots() {
    ZEPHTreeItem item(QStringLiteral("A"), QStringLiteral("B"), nullptr);
    QStringList seen;
    connect(&item, &ZEPHTreeItem::valueChanged, this, [&] { seen << describe(item.JsonValue()); });
    item.SetJsonValue({{kName, QStringLiteral("N")}, {kId, QStringLiteral("I")}});
    // The map is the one sent from the start; the lookup of the missing child entry adds it as an
    // invalid value before the closing signal.
    QCOMPARE(seen, QStringList({
                       QStringLiteral("idRole:QString=I nameRole:QString=N"),
                       QStringLiteral("idRole:QString=I nameRole:QString=N"),
                       QStringLiteral("childModelRole:invalid idRole:QString=I nameRole:QString=N"),
                   }));
}

void TstItem::shouldBehaveLikePlainMap_data() {
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("fullStart");
    for (quint32 seed = 1; seed <= 12; ++seed)
        QTest::addRow("seed %u %s", seed, seed % 2 ? "full" : "default") << seed << bool(seed % 2);
}

// Drives the item and the plain reference through the same random operations and compares
// everything observable after each one: the map (types and null-ness included), the fields and
// what a slot sees at every valueChanged().
void TstItem::shouldBehaveLikePlainMap() {
    QFETCH(quint32, seed);
    QFETCH(bool, fullStart);
    QRandomGenerator random(seed);
    QStringListModel m1;
    QStringListModel m2;
    QObject plainObject;
    m1.setObjectName(QStringLiteral("m1"));
    m2.setObjectName(QStringLiteral("m2"));
    plainObject.setObjectName(QStringLiteral("o"));
    const QList<QObject*> objects{nullptr, &m1, &m2, &plainObject};
    const QList<QString> strings{QString(), QStringLiteral(""), QStringLiteral("a"), QStringLiteral("b")};
    const QList<QVariant> values{QVariant(),
                                 QVariant(QString()),
                                 QVariant(QStringLiteral("")),
                                 QVariant(QStringLiteral("a")),
                                 QVariant(QStringLiteral("b")),
                                 QVariant(1),
                                 obj(nullptr),
                                 obj(&m1),
                                 obj(&m2),
                                 QVariant::fromValue<QStringListModel*>(&m1),
                                 QVariant(QStringLiteral("a").toUtf8())};
    const QStringList keys{kId, kName, kChild, QStringLiteral("extra"), QStringLiteral("IdRole")};

    QScopedPointer<ZEPHTreeItem> item(
        fullStart ? new ZEPHTreeItem(QStringLiteral("a"), QStringLiteral("b"), &m1) : new ZEPHTreeItem());
    PlainItem plain = fullStart ? PlainItem(QStringLiteral("a"), QStringLiteral("b"), &m1) : PlainItem();
    QStringList seenItem;
    QStringList seenPlain;
    connect(item.data(), &ZEPHTreeItem::valueChanged, this, [&] { seenItem << state(*item); });
    plain.emitted = [&] { seenPlain << plain.state(); };

    const auto pick = [&](const auto& list) { return list.at(int(random.bounded(quint32(list.size())))); };
    const auto randomMap = [&] {
        QVariantMap map;
        for (const QString& key : keys) {
            if (random.bounded(2)) map.insert(key, pick(values));
        }
        return map;
    };
    // A map that holds just the mirrored keys, with values that match the fields or nearly do
    // (same text but other null-ness, other types): the cases a compact form could get wrong.
    const auto nearMirror = [&] {
        QVariantMap map;
        map[kId] = random.bounded(3) == 0 ? QVariant(plain.id.isNull() ? QStringLiteral("") : QString())
                                          : QVariant(plain.id);
        map[kName] = random.bounded(3) == 0 ? QVariant(plain.name.toUtf8()) : QVariant(plain.name);
        map[kChild] =
            random.bounded(3) == 0
                ? QVariant::fromValue<QStringListModel*>(qobject_cast<QStringListModel*>(plain.child))
                : obj(plain.child);
        return map;
    };

    for (int step = 0; step < 400; ++step) {
        QString op;
        // One call, made on the item and on the reference alike.
        const auto both = [&](const QString& what, const auto& call) {
            op = what;
            call(*item);
            call(plain);
        };
        switch (random.bounded(8)) {
        case 0: {
            const QString s = pick(strings);
            both("SetID " + describe(QVariant(s)), [&](auto& target) { target.SetID(s); });
            break;
        }
        case 1: {
            const QString s = pick(strings);
            both("SetName " + describe(QVariant(s)), [&](auto& target) { target.SetName(s); });
            break;
        }
        case 2: {
            QObject* o = pick(objects);
            both("SetChildModel " + describe(obj(o)), [&](auto& target) { target.SetChildModel(o); });
            break;
        }
        case 3:
        case 4:
        case 7: {
            // A random map, the item's own map edited, or a near mirror of the fields.
            QVariantMap map = item->JsonValue();
            if (random.bounded(3) == 0)
                map.remove(pick(keys));
            else
                map[pick(keys)] = pick(values);
            const int kind = random.bounded(3);
            if (kind == 0) map = randomMap();
            if (kind == 1) map = nearMirror();
            both("SetJsonValue " + describe(map), [&](auto& target) { target.SetJsonValue(map); });
            break;
        }
        case 5: {
            const int role = 257 + int(random.bounded(5));
            const QVariant v = role == 260 ? QVariant(randomMap()) : pick(values);
            both(QStringLiteral("setData %1 ").arg(role) + describe(v),
                 [&](auto& target) { target.setData(role, v); });
            break;
        }
        default: {
            const QString name = pick(QStringList{kId, kName, kChild, QStringLiteral("jsonValueRole")});
            const QVariant v = pick(values);
            both("setData " + name + ' ' + describe(v), [&](auto& target) { target.setData(name, v); });
            break;
        }
        }
        const QString where = QStringLiteral("step %1: %2").arg(step).arg(op);
        QVERIFY2(state(*item) == plain.state(),
                 qPrintable(where + QStringLiteral("\n  item:  ") + state(*item) +
                            QStringLiteral("\n  plain: ") + plain.state()));
        QVERIFY2(describe(item->getData(260).toMap()) == describe(plain.map), qPrintable(where));
        QVERIFY2(seenItem == seenPlain,
                 qPrintable(where + QStringLiteral("\n  item:  ") + seenItem.join(QLatin1String(" ; ")) +
                            QStringLiteral("\n  plain: ") + seenPlain.join(QLatin1String(" ; "))));
        seenItem.clear();
        seenPlain.clear();
    }
}

void TstItem::shouldFillRolesHash_data() {
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("with json role") << 0 << "1=keep 257=idRole 258=nameRole 259=childModelRole 260=jsonValueRole 300=keep";
    QTest::newRow("without json role") << 1 << "1=keep 257=idRole 258=nameRole 259=childModelRole 260=old 300=keep";
    QTest::newRow("any non-zero flag") << 7 << "1=keep 257=idRole 258=nameRole 259=childModelRole 260=old 300=keep";
    // clang-format on
}

void TstItem::shouldFillRolesHash() {
    QFETCH(int, flag);
    QFETCH(QString, expected);
    QHash<int, QByteArray> roles{{1, "keep"}, {257, "old"}, {258, "old"}, {260, "old"}, {300, "keep"}};
    ZEPHTreeItem::GetRolesHash(roles, static_cast<ZEPHTreeItem::RoleFlag>(flag));
    QList<int> keys = roles.keys();
    std::sort(keys.begin(), keys.end());
    QStringList parts;
    for (int key : keys)
        parts << QStringLiteral("%1=%2").arg(key).arg(QString::fromLatin1(roles.value(key)));
    QCOMPARE(parts.join(QLatin1Char(' ')), expected);

    QHash<int, QByteArray> fresh;
    ZEPHTreeItem::GetRolesHash(fresh, static_cast<ZEPHTreeItem::RoleFlag>(flag));
    QCOMPARE(fresh.size(), flag == 0 ? 4 : 3);
}

void TstItem::shouldRelayCurrentChildModelOnly_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("relaysOfC1");
    QTest::addColumn<QString>("relaysOfC2");
    const QString on = QStringLiteral("1 1 1 0 0");
    const QString off = QStringLiteral("0 0 0 0 0");
    QTest::newRow("constructor") << "new:c1" << on << off;
    QTest::newRow("constructor then same") << "new:c1 set:c1" << on << off;
    QTest::newRow("same three times") << "new:- set:c1 set:c1 set:c1" << on << off;
    QTest::newRow("replaced") << "new:c1 set:c2" << off << on;
    QTest::newRow("replaced by null") << "new:c1 set:-" << off << off;
    QTest::newRow("back and forth") << "new:c1 set:c2 set:c1" << on << off;
    QTest::newRow("setData twice") << "new:- role:c1 role:c1" << on << off;
    QTest::newRow("by role name") << "new:- name:c2 name:c1" << on << off;
    QTest::newRow("json replaces") << "new:- json:c1 json:c2" << off << on;
    QTest::newRow("json keeps same") << "new:c1 json:c1 json:c1" << on << off;
    QTest::newRow("json clears") << "new:c1 json:-" << off << off;
}

void TstItem::shouldRelayCurrentChildModelOnly() {
    QFETCH(QString, steps);
    QFETCH(QString, relaysOfC1);
    QFETCH(QString, relaysOfC2);
    QStringListModel c1;
    QStringListModel c2;
    QScopedPointer<ZEPHTreeItem> item;
    int serial = 0;
    for (const QString& step : steps.split(QLatin1Char(' '))) {
        const QString verb = step.section(QLatin1Char(':'), 0, 0);
        const QString arg = step.section(QLatin1Char(':'), 1);
        QObject* model = arg == QLatin1String("c1") ? &c1 : arg == QLatin1String("c2") ? &c2 : nullptr;
        if (verb == QLatin1String("new"))
            item.reset(model ? new ZEPHTreeItem(QStringLiteral("A"), QStringLiteral("A"), model)
                             : new ZEPHTreeItem());
        else if (verb == QLatin1String("set"))
            item->SetChildModel(model);
        else if (verb == QLatin1String("role"))
            item->setData(ZEPHTreeItem::ChildModelRole, obj(model));
        else if (verb == QLatin1String("name"))
            item->setData(kChild, obj(model));
        else if (verb == QLatin1String("json"))
            item->SetJsonValue({{kChild, obj(model)}, {kName, QString::number(++serial)}});
        QCOMPARE(item->ChildModel(), model);
    }
    QCOMPARE(pokeRelays(&c1, item.data()), relaysOfC1);
    QCOMPARE(pokeRelays(&c2, item.data()), relaysOfC2);
}

void TstItem::shouldKeepRelayOfOtherItemSharingChildModel() {
    QStringListModel shared;
    QStringListModel other;
    ZEPHTreeItem first(QStringLiteral("A"), QString(), &shared);
    ZEPHTreeItem second(QStringLiteral("B"), QString(), &shared);
    first.SetChildModel(&other);
    QCOMPARE(pokeRelays(&shared, &second), QStringLiteral("1 1 1 0 0"));
    QCOMPARE(pokeRelays(&shared, &first), QStringLiteral("0 0 0 0 0"));
}

void TstItem::shouldKeepOtherConnectionsWhenChildModelReplaced() {
    QStringListModel c1;
    QStringListModel c2;
    ZEPHTreeItem item(QStringLiteral("A"), QString(), &c1);
    // A host's own connection between the old child model and the item is not ours to remove.
    connect(&c1, &QObject::objectNameChanged, &item, &ZEPHTreeItem::childModelValueChanged);
    item.SetChildModel(&c2);
    QSignalSpy spy(&item, &ZEPHTreeItem::childModelValueChanged);
    c1.setObjectName(QStringLiteral("renamed"));
    QCOMPARE(spy.count(), 1);
}

void TstItem::shouldHoldNonModelChildWithoutRelays() {
    QObject plainChild;
    ZEPHTreeItem item(QStringLiteral("A"), QString(), &plainChild);
    QCOMPARE(item.ChildModel(), &plainChild);
    QSignalSpy spy(&item, &ZEPHTreeItem::valueChanged);
    QStringListModel model;
    item.SetChildModel(&model);
    item.SetChildModel(&plainChild);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(pokeRelays(&model, &item), QStringLiteral("0 0 0 0 0"));
}

void TstItem::shouldReadDeletedChildModelAsNull_data() {
    QTest::addColumn<bool>("extraKey"); // the map holds more than the mirrored keys
    QTest::addColumn<bool>("deferred");
    QTest::newRow("mirrored map, delete") << false << false;
    QTest::newRow("mirrored map, deleteLater") << false << true;
    QTest::newRow("extended map, delete") << true << false;
    QTest::newRow("extended map, deleteLater") << true << true;
}

void TstItem::shouldReadDeletedChildModelAsNull() {
    QFETCH(bool, extraKey);
    QFETCH(bool, deferred);
    auto* child = new QStringListModel;
    ZEPHTreeItem item(QStringLiteral("A"), QStringLiteral("B"), child);
    if (extraKey)
        item.SetJsonValue({{kId, QStringLiteral("A")},
                           {kName, QStringLiteral("B")},
                           {kChild, obj(child)},
                           {QStringLiteral("x"), 1}});
    QSignalSpy spy(&item, &ZEPHTreeItem::valueChanged);
    if (deferred) {
        child->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } else {
        delete child;
    }
    QCOMPARE(item.ChildModel(), nullptr);
    QCOMPARE(describe(item.getData(259)), QStringLiteral("QObject* null=0"));
    QCOMPARE(describe(item.JsonValue().value(kChild)), QStringLiteral("QObject* null=0"));
    QCOMPARE(describe(item.getData(260).toMap().value(kChild)), QStringLiteral("QObject* null=0"));
    // Writing back what it reads, or null, changes nothing.
    item.SetJsonValue(item.JsonValue());
    item.SetChildModel(nullptr);
    QCOMPARE(spy.count(), 0);
    // A new child model is taken and relayed as usual.
    QStringListModel next;
    item.SetChildModel(&next);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(pokeRelays(&next, &item), QStringLiteral("1 1 1 0 0"));
}

void TstItem::shouldDeclareQmlSurface() {
    const QMetaObject* meta = &ZEPHTreeItem::staticMetaObject;
    QStringList methods;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        methods << QString::fromLatin1(meta->method(i).methodSignature());
    QCOMPARE(methods.join(QLatin1Char(' ')),
             QStringLiteral("valueChanged() childModelValueChanged() getData(int) getData(QString) "
                            "setData(int,QVariant) setData(QString,QVariant)"));
}

QTEST_MAIN(TstItem)
#include "tst_item.moc"

#include <ZEPHTreeItem.h>

#include <QRandomGenerator>
#include <QStringListModel>
#include <QtTest>

namespace {

const QString kId = QStringLiteral("idRole");
const QString kName = QStringLiteral("nameRole");
const QString kChild = QStringLiteral("childModelRole");

QVariant obj(QObject* object) {
    return QVariant::fromValue(object);
}

// What a reader can observe of a value: validity, type, null-ness and the value (objects by name).
QString describe(const QVariant& value) {
    if (!value.isValid()) return QStringLiteral("invalid");
    const QString text = value.typeName() + QString(value.isNull() ? " null=" : "=");
    if (QMetaType::typeFlags(value.userType()) & QMetaType::PointerToQObject) {
        QObject* object = qvariant_cast<QObject*>(value);
        return text + (object ? object->objectName() : "0");
    }
    if (value.userType() != QMetaType::QVariantMap) return text + value.toString();
    QStringList parts;
    const QVariantMap map = value.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        parts << it.key() + ':' + describe(it.value());
    return '{' + parts.join(' ') + '}';
}

// The item written down plainly: three fields and an ordinary map that the setters keep in step.
// The library's item keeps the map in a compact form; it must not be told apart.
struct PlainItem {
    QString id;
    QString name;
    QObject* child = nullptr;
    QVariantMap map;
    std::function<void()> emitted;

    template <typename T> void set(T& field, const T& value, const QString& key, const QVariant& entry) {
        if (value != field) field = value, map[key] = entry, emitted();
    }
    void SetID(const QString& value) { set(id, value, kId, value); }
    void SetName(const QString& value) { set(name, value, kName, value); }
    void SetChildModel(QObject* value) { set(child, value, kChild, obj(value)); }
    void SetJsonValue(const QVariantMap& value) {
        if (value == map) return;
        map = value;
        SetID(map[kId].toString());
        SetName(map[kName].toString());
        SetChildModel(qvariant_cast<QObject*>(map[kChild]));
        emitted();
    }
    // A role by number or by name; the JSON map has no name here.
    static int roleOf(const QVariant& role) {
        return role.type() == QVariant::Int ? role.toInt()
                                            : QStringList{kId, kName, kChild}.indexOf(role.toString()) + 257;
    }
    void setData(const QVariant& role, const QVariant& value) {
        const int r = roleOf(role);
        r == 257   ? SetID(value.toString())
        : r == 258 ? SetName(value.toString())
        : r == 259 ? SetChildModel(qvariant_cast<QObject*>(value))
        : r == 260 ? SetJsonValue(value.toMap())
                   : void();
    }
    QVariant getData(const QVariant& role) const {
        const QVariantList fields{id, name, obj(child), map};
        const int r = roleOf(role);
        return r >= 257 && r <= 260 ? fields.at(r - 257) : QVariant();
    }
};

// Every role of an item by number and by name, as a reader sees them.
template <typename Item> QString roles(const Item& item) {
    QString parts;
    for (int role : {0, 256, 257, 258, 259, 260, 261})
        parts += describe(item.getData(role)) + ' ';
    for (const char* name : {"idRole", "nameRole", "childModelRole", "jsonValueRole", "IdRole", "extra"})
        parts += describe(item.getData(QString(name))) + ' ';
    return parts;
}

} // namespace

class TstItem : public QObject {
    Q_OBJECT
private slots:
    void shouldBehaveLikePlainItem_data();
    void shouldBehaveLikePlainItem();
};

void TstItem::shouldBehaveLikePlainItem_data() {
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 12; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

// Drives the item and the plain one through the same random calls and compares everything
// observable after each call, and what a slot sees at every valueChanged(). Odd seeds start from
// the main constructor, even ones from the default one.
void TstItem::shouldBehaveLikePlainItem() {
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    QStringListModel m1, m2;
    QObject plainObject;
    const QList<QStringListModel*> models{&m1, &m2};
    const QList<QObject*> objects{nullptr, &m1, &m2, &plainObject};
    for (int i = 1; i < 4; ++i)
        objects[i]->setObjectName(QStringList{"", "m1", "m2", "o"}.at(i));
    const QStringList texts{QString(), "", "a", "b"};
    const QVariantList values =
        QVariantList{QVariant(), 1, QByteArray("a"), obj(nullptr)} +
        QVariantList{obj(&m1), obj(&m2), QVariant::fromValue(&m1), QString(), "", "a", "b"};
    const QStringList keys{kId, kName, kChild, "jsonValueRole", "extra", "IdRole"};
    const bool full = seed % 2;
    std::unique_ptr<ZEPHTreeItem> item(full ? new ZEPHTreeItem("a", "b", &m1) : new ZEPHTreeItem());
    PlainItem plain;
    if (full) plain = {"a", "b", &m1, {{kId, "a"}, {kName, "b"}, {kChild, obj(&m1)}}, {}};
    QStringList seenItem, seenPlain;
    connect(item.get(), &ZEPHTreeItem::valueChanged, this, [&] { seenItem << roles(*item); });
    plain.emitted = [&] { seenPlain << roles(plain); };
    // A second item on m1 keeps relaying it, whatever happens to the first one.
    ZEPHTreeItem other("o", "o", &m1);
    int relays = 0, relaysOfOther = 0;
    connect(item.get(), &ZEPHTreeItem::childModelValueChanged, this, [&] { ++relays; });
    connect(&other, &ZEPHTreeItem::childModelValueChanged, this, [&] { ++relaysOfOther; });
    // A host's own connection between a child model and the item is not the item's to remove.
    connect(&m2, &QObject::objectNameChanged, item.get(), &ZEPHTreeItem::childModelValueChanged);

    const auto pick = [&](const auto& list) { return list.at(int(random.bounded(quint32(list.size())))); };
    for (int step = 0; step < 400; ++step) {
        // A random map, the item's own map edited, or one that nearly mirrors the fields (same text
        // but other null-ness or type): the cases a compact form could get wrong.
        QVariantMap map = item->JsonValue();
        map[pick(keys)] = pick(values);
        if (random.bounded(3) == 0) map.remove(pick(keys));
        if (random.bounded(3) == 0) map = {{pick(keys), pick(values)}, {pick(keys), pick(values)}};
        if (random.bounded(3) == 0)
            map = {
                {kId, random.bounded(3) ? QVariant(plain.id) : QVariant(plain.id.isNull() ? "" : QString())},
                {kName, random.bounded(3) ? QVariant(plain.name) : QVariant(plain.name.toUtf8())},
                {kChild, random.bounded(3)
                             ? obj(plain.child)
                             : QVariant::fromValue(qobject_cast<QStringListModel*>(plain.child))}};
        const int role = 257 + int(random.bounded(5));
        const QVariant value = role == 260 ? QVariant(map) : pick(values);
        const QString name = pick(keys);
        const QString text = pick(texts);
        QObject* object = pick(objects);
        const int call = random.bounded(6);
        const auto apply = [&](auto& target) {
            call == 0   ? target.SetID(text)
            : call == 1 ? target.SetName(text)
            : call == 2 ? target.SetChildModel(object)
            : call == 3 ? target.SetJsonValue(map)
            : call == 4 ? target.setData(role, value)
                        : target.setData(name, value);
        };
        apply(*item);
        apply(plain);
        QCOMPARE(roles(*item) + describe(item->JsonValue()) + item->ID() + item->Name(),
                 roles(plain) + describe(plain.map) + plain.id + plain.name);
        QCOMPARE(item->ChildModel(), plain.child);
        QCOMPARE(std::exchange(seenItem, {}), std::exchange(seenPlain, {}));
        // Insertions, data changes and removals of the current child model are relayed, each once.
        QStringListModel* poked = pick(models);
        relays = relaysOfOther = 0;
        poked->insertRows(0, 1);
        step % 2 ? poked->removeRows(0, 1) : poked->setData(poked->index(0), "x");
        QCOMPARE(QPair(relays, relaysOfOther), QPair(plain.child == poked ? 2 : 0, poked == &m1 ? 2 : 0));
    }
    relays = 0;
    m2.setObjectName("renamed");
    QCOMPARE(relays, 1);

    // A child model deleted elsewhere reads as null, in the field and in the map (kept in the compact
    // form or with keys of its own), and writing back what the item reads changes nothing.
    auto* gone = new QStringListModel;
    seed % 4 < 2 ? item.reset(new ZEPHTreeItem("A", "B", gone))
                 : item->SetJsonValue({{kId, "A"}, {kChild, obj(gone)}, {"x", 1}});
    QSignalSpy spy(item.get(), &ZEPHTreeItem::valueChanged);
    delete gone;
    QCOMPARE(describe(item->getData(259)) + ' ' + describe(item->JsonValue().value(kChild)),
             QStringLiteral("QObject* null=0 QObject* null=0"));
    item->SetJsonValue(item->JsonValue());
    item->SetChildModel(nullptr);
    QCOMPARE(spy.count(), 0);
}

QTEST_MAIN(TstItem)
#include "tst_item.moc"

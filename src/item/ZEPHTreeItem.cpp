#include "item/ZEPHTreeItem.h"

#include <QAbstractItemModel>
#include <QPointer>
#include <QQmlEngine>

// The rarely used part of an item: its child model and its JSON value map.
class ZEPHTreeItemPrivate {
public:
    QPointer<QObject> childModel;
    // While jsonIsMirror is true the JSON value map is exactly {idRole, nameRole, childModelRole}
    // mirroring the fields, and json stays empty: most items never carry more, which saves a map
    // per item.
    bool jsonIsMirror = true;
    // True while SetJsonValue takes the fields from a new map, whose child entry is not yet the
    // child model.
    bool applyingJson = false;
    QVariantMap json;
};

namespace {
const QLatin1String kIdRole("idRole");
const QLatin1String kNameRole("nameRole");
const QLatin1String kChildModelRole("childModelRole");

QVariant objectVariant(QObject* object) {
    return QVariant::fromValue<QObject*>(object);
}

// The QObject held by a variant: taken directly for QObject pointer types, otherwise converted.
QObject* objectOf(const QVariant& value) {
    return qvariant_cast<QObject*>(value);
}

// The object pointer a variant of a QObject pointer type holds, read without touching the object
// (which may be gone); null for every other variant.
const QObject* rawObject(const QVariant& value) {
    if (!(QMetaType::typeFlags(value.userType()) & QMetaType::PointerToQObject)) return nullptr;
    return *static_cast<QObject* const*>(value.constData());
}

// True when `value` is exactly what QVariant(text) would be: a QString with the same characters and
// the same null-ness (QVariant::isNull() tells a null string from an empty one).
bool sameString(const QVariant& value, const QString& text) {
    if (value.userType() != QMetaType::QString) return false;
    const QString held = value.toString();
    return held == text && held.isNull() == text.isNull();
}
// Set while QML instantiates an item (see createInto below).
thread_local bool t_madeByQml = false;

// What an item without a block of its own reads: no child model, the mirrored JSON value map.
const ZEPHTreeItemPrivate& plainBlock() {
    static const ZEPHTreeItemPrivate block;
    return block;
}

// The block that every item made empty shares until it changes: no child model and an empty JSON
// value map of its own. It is never written.
ZEPHTreeItemPrivate* emptyBlock() {
    static ZEPHTreeItemPrivate block = [] {
        ZEPHTreeItemPrivate empty;
        empty.jsonIsMirror = false;
        return empty;
    }();
    return &block;
}
} // namespace

// QML makes its items here. Such an item belongs to the engine like any object QML makes, and the
// engine puts its own record on it, dropping (and leaking) any ownership record made before; so the
// constructor leaves the ownership alone for these.
template <> void QQmlPrivate::createInto<ZEPHTreeItem>(void* memory) {
    t_madeByQml = true;
    new (memory) QQmlElement<ZEPHTreeItem>;
    t_madeByQml = false;
}

ZEPHTreeItem::ZEPHTreeItem() : m_block(emptyBlock()) {
    if (!t_madeByQml) QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
}

ZEPHTreeItem::ZEPHTreeItem(const QString& id, const QString& name, QObject* childModel)
    : m_id(id), m_name(name) {
    if (childModel) {
        ownBlock().childModel = childModel;
        connectChildModel();
    }
    QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
}

ZEPHTreeItem::~ZEPHTreeItem() {
    if (m_block != emptyBlock()) delete m_block;
}

const ZEPHTreeItemPrivate& ZEPHTreeItem::block() const {
    return m_block ? *m_block : plainBlock();
}

// A block of the item's own, made from what it reads now; once made it stays until the item dies,
// so a reference to it survives the signals of the setters.
ZEPHTreeItemPrivate& ZEPHTreeItem::ownBlock() {
    if (!m_block)
        m_block = new ZEPHTreeItemPrivate;
    else if (m_block == emptyBlock())
        m_block = new ZEPHTreeItemPrivate(*emptyBlock());
    return *m_block;
}

QObject* ZEPHTreeItem::blockChildModel() const {
    return m_block->childModel.data();
}

int ZEPHTreeItem::roleForName(const QString& roleName) {
    // Non-Latin-1 characters become '?', which none of the three names contains, so comparing the
    // QString directly gives the same answer as comparing its Latin-1 bytes.
    if (roleName == kIdRole) return IdRole;
    if (roleName == kNameRole) return NameRole;
    if (roleName == kChildModelRole) return ChildModelRole;
    return 0;
}

QVariant ZEPHTreeItem::getData(int role) const {
    switch (role) {
    case IdRole:
        return QVariant(m_id);
    case NameRole:
        return QVariant(m_name);
    case ChildModelRole:
        return objectVariant(ChildModel());
    case JsonValueRole:
        return QVariant(JsonValue());
    default:
        return QVariant();
    }
}

QVariant ZEPHTreeItem::getData(const QString& roleName) const {
    return getData(roleForName(roleName));
}

void ZEPHTreeItem::setData(int role, QVariant value) {
    switch (role) {
    case IdRole:
        SetID(value.toString());
        break;
    case NameRole:
        SetName(value.toString());
        break;
    case ChildModelRole:
        SetChildModel(objectOf(value));
        break;
    case JsonValueRole:
        SetJsonValue(value.toMap());
        break;
    default:
        break;
    }
}

void ZEPHTreeItem::setData(const QString& roleName, QVariant value) {
    setData(roleForName(roleName), std::move(value));
}

QVariantMap ZEPHTreeItem::mirrorMap() const {
    QVariantMap map;
    map.insert(kIdRole, QVariant(m_id));
    map.insert(kNameRole, QVariant(m_name));
    map.insert(kChildModelRole, objectVariant(ChildModel()));
    return map;
}

QVariantMap ZEPHTreeItem::JsonValue() const {
    const ZEPHTreeItemPrivate& b = block();
    if (b.jsonIsMirror) return mirrorMap();
    if (b.childModel || b.applyingJson) return b.json;
    // Outside SetJsonValue every object under "childModelRole" was the child model when it was
    // written, so a non-null object there while the child model reads null has been deleted since:
    // report it as null, like the field, rather than hand out a dangling pointer.
    const auto child = b.json.constFind(kChildModelRole);
    if (child == b.json.cend() || !rawObject(*child)) return b.json;
    QVariantMap map = b.json;
    map.insert(kChildModelRole, objectVariant(nullptr));
    return map;
}

// Returns to the compact form when the map holds exactly the three mirrored entries, with the
// types the mirror would give them.
void ZEPHTreeItem::compactJson() {
    if (block().jsonIsMirror || block().json.size() != 3) return;
    ZEPHTreeItemPrivate& b = ownBlock();
    const auto id = b.json.constFind(kIdRole);
    const auto name = b.json.constFind(kNameRole);
    const auto child = b.json.constFind(kChildModelRole);
    if (id == b.json.cend() || name == b.json.cend() || child == b.json.cend()) return;
    if (!sameString(*id, m_id) || !sameString(*name, m_name)) return;
    if (child->userType() != QMetaType::QObjectStar || rawObject(*child) != b.childModel.data()) return;
    b.json = QVariantMap();
    b.jsonIsMirror = true;
}

void ZEPHTreeItem::SetID(const QString& id) {
    if (id == m_id) return;
    m_id = id;
    if (!block().jsonIsMirror) ownBlock().json.insert(kIdRole, QVariant(id));
    emit valueChanged();
}

void ZEPHTreeItem::SetName(const QString& name) {
    if (name == m_name) return;
    m_name = name;
    if (!block().jsonIsMirror) ownBlock().json.insert(kNameRole, QVariant(name));
    emit valueChanged();
}

// Only item models have the relayed signals; any other child object is held but not listened to.
void ZEPHTreeItem::connectChildModel() {
    auto* model = qobject_cast<QAbstractItemModel*>(ChildModel());
    if (!model) return;
    connect(model, &QAbstractItemModel::dataChanged, this, &ZEPHTreeItem::childModelValueChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &ZEPHTreeItem::childModelValueChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ZEPHTreeItem::childModelValueChanged);
}

// Removes exactly the three relays, leaving any other connection between the two objects alone.
void ZEPHTreeItem::disconnectChildModel() {
    auto* model = qobject_cast<QAbstractItemModel*>(ChildModel());
    if (!model) return;
    disconnect(model, &QAbstractItemModel::dataChanged, this, &ZEPHTreeItem::childModelValueChanged);
    disconnect(model, &QAbstractItemModel::rowsInserted, this, &ZEPHTreeItem::childModelValueChanged);
    disconnect(model, &QAbstractItemModel::rowsRemoved, this, &ZEPHTreeItem::childModelValueChanged);
}

void ZEPHTreeItem::SetChildModel(QObject* childModel) {
    if (childModel == ChildModel()) return;
    // A replaced child model must no longer reach childModelValueChanged().
    disconnectChildModel();
    ZEPHTreeItemPrivate& b = ownBlock();
    b.childModel = childModel;
    if (!b.jsonIsMirror) b.json.insert(kChildModelRole, objectVariant(childModel));
    connectChildModel();
    emit valueChanged();
}

void ZEPHTreeItem::SetJsonValue(const QVariantMap& value) {
    if (value == JsonValue()) return;
    ZEPHTreeItemPrivate& b = ownBlock();
    b.jsonIsMirror = false;
    b.json = value;
    // The inserting subscript adds a missing key as an invalid entry; a setter that finds a change
    // writes the proper value over it.
    const bool outerApply = b.applyingJson; // a slot may set another map meanwhile
    b.applyingJson = true;
    SetID(b.json[kIdRole].toString());
    SetName(b.json[kNameRole].toString());
    SetChildModel(objectOf(b.json[kChildModelRole]));
    b.applyingJson = outerApply;
    compactJson();
    emit valueChanged();
}

void ZEPHTreeItem::GetRolesHash(QHash<int, QByteArray>& roles, RoleFlag flag) {
    roles.insert(IdRole, QByteArrayLiteral("idRole"));
    roles.insert(NameRole, QByteArrayLiteral("nameRole"));
    roles.insert(ChildModelRole, QByteArrayLiteral("childModelRole"));
    if (flag == WithJsonValueRole) roles.insert(JsonValueRole, QByteArrayLiteral("jsonValueRole"));
}

void ZEPHTreeItem::RegisterRolesEnum() {
    qmlRegisterType<ZEPHTreeItem>("com.zephora.zephtreeitem", 1, 0, "ZEPHTreeItem");
}

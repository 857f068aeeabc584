#include "item/ZEPHTreeItem.h"

#include <QAbstractItemModel>
#include <QQmlEngine>

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
} // namespace

// QML makes its items here. Such an item belongs to the engine like any object QML makes, and the
// engine puts its own record on it, dropping (and leaking) any ownership record made before; so the
// constructor leaves the ownership alone for these.
template <> void QQmlPrivate::createInto<ZEPHTreeItem>(void* memory) {
    t_madeByQml = true;
    new (memory) QQmlElement<ZEPHTreeItem>;
    t_madeByQml = false;
}

ZEPHTreeItem::ZEPHTreeItem() : m_jsonIsMirror(false) {
    if (!t_madeByQml) QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
}

ZEPHTreeItem::ZEPHTreeItem(const QString& id, const QString& name, QObject* childModel)
    : m_id(id), m_name(name), m_childModel(childModel) {
    connectChildModel();
    QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
}

ZEPHTreeItem::~ZEPHTreeItem() = default;

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
        return objectVariant(m_childModel.data());
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
    map.insert(kChildModelRole, objectVariant(m_childModel.data()));
    return map;
}

QVariantMap ZEPHTreeItem::JsonValue() const {
    if (m_jsonIsMirror) return mirrorMap();
    if (m_childModel || m_applyingJson) return m_json;
    // Outside SetJsonValue every object under "childModelRole" was the child model when it was
    // written, so a non-null object there while the child model reads null has been deleted since:
    // report it as null, like the field, rather than hand out a dangling pointer.
    const auto child = m_json.constFind(kChildModelRole);
    if (child == m_json.cend() || !rawObject(*child)) return m_json;
    QVariantMap map = m_json;
    map.insert(kChildModelRole, objectVariant(nullptr));
    return map;
}

// Returns to the compact form when the map holds exactly the three mirrored entries, with the
// types the mirror would give them.
void ZEPHTreeItem::compactJson() {
    if (m_jsonIsMirror || m_json.size() != 3) return;
    const auto id = m_json.constFind(kIdRole);
    const auto name = m_json.constFind(kNameRole);
    const auto child = m_json.constFind(kChildModelRole);
    if (id == m_json.cend() || name == m_json.cend() || child == m_json.cend()) return;
    if (!sameString(*id, m_id) || !sameString(*name, m_name)) return;
    if (child->userType() != QMetaType::QObjectStar || rawObject(*child) != m_childModel.data()) return;
    m_json = QVariantMap();
    m_jsonIsMirror = true;
}

void ZEPHTreeItem::SetID(const QString& id) {
    if (id == m_id) return;
    m_id = id;
    if (!m_jsonIsMirror) m_json.insert(kIdRole, QVariant(id));
    emit valueChanged();
}

void ZEPHTreeItem::SetName(const QString& name) {
    if (name == m_name) return;
    m_name = name;
    if (!m_jsonIsMirror) m_json.insert(kNameRole, QVariant(name));
    emit valueChanged();
}

// Only item models have the relayed signals; any other child object is held but not listened to.
void ZEPHTreeItem::connectChildModel() {
    auto* model = qobject_cast<QAbstractItemModel*>(m_childModel.data());
    if (!model) return;
    connect(model, &QAbstractItemModel::dataChanged, this, &ZEPHTreeItem::childModelValueChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &ZEPHTreeItem::childModelValueChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ZEPHTreeItem::childModelValueChanged);
}

// Removes exactly the three relays, leaving any other connection between the two objects alone.
void ZEPHTreeItem::disconnectChildModel() {
    auto* model = qobject_cast<QAbstractItemModel*>(m_childModel.data());
    if (!model) return;
    disconnect(model, &QAbstractItemModel::dataChanged, this, &ZEPHTreeItem::childModelValueChanged);
    disconnect(model, &QAbstractItemModel::rowsInserted, this, &ZEPHTreeItem::childModelValueChanged);
    disconnect(model, &QAbstractItemModel::rowsRemoved, this, &ZEPHTreeItem::childModelValueChanged);
}

void ZEPHTreeItem::SetChildModel(QObject* childModel) {
    if (childModel == m_childModel.data()) return;
    // A replaced child model must no longer reach childModelValueChanged().
    disconnectChildModel();
    m_childModel = childModel;
    if (!m_jsonIsMirror) m_json.insert(kChildModelRole, objectVariant(childModel));
    connectChildModel();
    emit valueChanged();
}

void ZEPHTreeItem::SetJsonValue(const QVariantMap& value) {
    if (value == JsonValue()) return;
    m_jsonIsMirror = false;
    m_json = value;
    // The inserting subscript adds a missing key as an invalid entry; a setter that finds a change
    // writes the proper value over it.
    const bool outerApply = m_applyingJson; // a slot may set another map meanwhile
    m_applyingJson = true;
    SetID(m_json[kIdRole].toString());
    SetName(m_json[kNameRole].toString());
    SetChildModel(objectOf(m_json[kChildModelRole]));
    m_applyingJson = outerApply;
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

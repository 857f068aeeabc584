#include "DemoItem.h"

#include <QAbstractItemModel>

DemoRoles::DemoRoles() {
    ZEPHTreeItem::GetRolesHash(m_table, ZEPHTreeItem::WithoutJsonValueRole);
    for (auto it = m_table.cbegin(); it != m_table.cend(); ++it)
        m_byName.insert(QString::fromLatin1(it.value()), it.key());
    // Not in the models' table, but a name of the library's, so no data field may take it.
    m_byName.insert(QStringLiteral("jsonValueRole"), ZEPHTreeItem::JsonValueRole);
    add(CodeRole, QStringLiteral("codeRole"));
    add(TypeRole, QStringLiteral("typeRole"));
    add(NumericRole, QStringLiteral("numericRole"));
    add(ParentRole, QStringLiteral("parentRole"));
    add(ChildCountRole, QStringLiteral("childCountRole"));
    add(InitialRole, QStringLiteral("initialRole"));
}

void DemoRoles::add(int role, const QString& roleName) {
    m_table.insert(role, roleName.toLatin1());
    m_byName.insert(roleName, role);
}

int DemoRoles::addField(const QString& field) {
    const QString roleName = field + QStringLiteral("Role");
    const int known = role(roleName);
    if (known != 0) return known;
    const int next = m_nextRole++;
    add(next, roleName);
    return next;
}

DemoItem::DemoItem(QSharedPointer<const DemoRoles> roles, const QString& id, const QString& name,
                   QObject* childModel)
    : ZEPHTreeItem(id, name, childModel), m_roles(std::move(roles)) {}

QVariant DemoItem::getData(int role) const {
    if (role == DemoRoles::ChildCountRole) {
        const auto* children = qobject_cast<const QAbstractItemModel*>(ChildModel());
        return children ? children->rowCount() : 0;
    }
    if (role == DemoRoles::InitialRole) return Name().left(1).toUpper();
    const auto field = m_fields.constFind(role);
    if (field != m_fields.constEnd()) return *field;
    return ZEPHTreeItem::getData(role);
}

QVariant DemoItem::getData(const QString& roleName) const {
    const int role = m_roles->role(roleName);
    return role != 0 ? getData(role) : ZEPHTreeItem::getData(roleName);
}

void DemoItem::setData(int role, QVariant value) {
    if (role <= ZEPHTreeItem::LastRole) {
        ZEPHTreeItem::setData(role, std::move(value));
        return;
    }
    // Computed roles and roles outside the table are read-only.
    if (DemoRoles::isComputed(role) || !m_roles->table().contains(role)) return;
    if (m_fields.value(role) == value && m_fields.contains(role) == value.isValid()) return;
    setField(role, value);
    emit valueChanged();
}

void DemoItem::setData(const QString& roleName, QVariant value) {
    const int role = m_roles->role(roleName);
    if (role != 0)
        setData(role, std::move(value));
    else
        ZEPHTreeItem::setData(roleName, std::move(value));
}

void DemoItem::setField(int role, const QVariant& value) {
    if (value.isValid())
        m_fields.insert(role, value);
    else
        m_fields.remove(role);
}

#pragma once

#include <ZEPHTreeItem.h>

#include <QByteArray>
#include <QHash>
#include <QSharedPointer>
#include <QString>
#include <QVariant>

// The role table of one demo tree: the library's item roles, the demo's fixed roles and one role per
// further field found in a data file ("officialName" becomes "officialNameRole"). Built while the
// data loads, then shared read-only by every item and model of the tree.
class DemoRoles {
public:
    enum Role {
        CodeRole = ZEPHTreeItem::LastRole + 1, // "codeRole": the item's code as the data gives it
        TypeRole,                              // "typeRole": what kind of item it is
        NumericRole,                           // "numericRole": a numeric code (kept as text)
        ParentRole,                            // "parentRole": a code of a parent unit, when given
        ChildCountRole,                        // "childCountRole": rows of the child model (computed)
        InitialRole,                           // "initialRole": first letter of the name (computed)
        FirstFieldRole                         // further fields are numbered from here on
    };

    DemoRoles();

    /// The role for a data field ("type" -> TypeRole); a new role when the field is not known yet.
    int addField(const QString& field);
    /// The role number of a role name ("typeRole"), or 0.
    int role(const QString& roleName) const { return m_byName.value(roleName, 0); }
    /// Whether `role` is computed from the item rather than stored.
    static bool isComputed(int role) { return role == ChildCountRole || role == InitialRole; }
    /// The table for the models: idRole, nameRole, childModelRole and every demo role.
    const QHash<int, QByteArray>& table() const { return m_table; }

private:
    void add(int role, const QString& roleName);

    QHash<int, QByteArray> m_table;
    QHash<QString, int> m_byName;
    int m_nextRole = FirstFieldRole;
};

// A tree item with the demo's further roles. The library reads items only through the four virtual
// getData/setData operations, so answering more roles there is all a host has to do: models, views,
// sorting and filter rules then see the new roles by number and by name.
class DemoItem : public ZEPHTreeItem {
    Q_OBJECT
public:
    DemoItem(QSharedPointer<const DemoRoles> roles, const QString& id, const QString& name,
             QObject* childModel = nullptr);

    QVariant getData(int role) const override;
    QVariant getData(const QString& roleName) const override;
    void setData(int role, QVariant value) override;
    void setData(const QString& roleName, QVariant value) override;

    /// Stores a field without announcing it (used while building items, before any model holds them).
    void setField(int role, const QVariant& value);

private:
    QSharedPointer<const DemoRoles> m_roles;
    QHash<int, QVariant> m_fields;
};

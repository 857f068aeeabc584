#pragma once

#include "ZEPHTreeModelGlobal.h"

#include <QHash>
#include <QObject>
#include <QVariant>
#include <QVariantMap>

class ZEPHTreeItemPrivate;

// The row object of every model: an ID, a name, an optional child model and a JSON value map that
// mirrors those values under their role names. Derive from it to answer further roles.
class ZEPH_EXPORT ZEPHTreeItem : public QObject {
    Q_OBJECT
public:
    enum Roles {
        IdRole = Qt::UserRole + 1,
        NameRole,
        ChildModelRole,
        JsonValueRole,
        LastRole = JsonValueRole
    };
    Q_ENUM(Roles)

    enum RoleFlag { WithJsonValueRole = 0, WithoutJsonValueRole = 1 };

    /// An empty item with native QML ownership.
    ZEPHTreeItem();
    /// An item with ID, name and child model (not a QObject parent); native QML ownership.
    ZEPHTreeItem(const QString& id, const QString& name, QObject* childModel);
    ~ZEPHTreeItem() override;

    QString ID() const { return m_id; }
    QString Name() const { return m_name; }
    /// The child model, or null.
    QObject* ChildModel() const { return m_block ? blockChildModel() : nullptr; }
    /// The JSON value map: the map set last, or one mirroring ID, name and child model.
    QVariantMap JsonValue() const;

    /// Sets the ID; emits valueChanged() when it changed.
    void SetID(const QString& id);
    /// Sets the name; emits valueChanged() when it changed.
    void SetName(const QString& name);
    /// Sets the child model (not owned); relays its row and data signals as childModelValueChanged().
    void SetChildModel(QObject* childModel);
    /// Replaces the whole JSON value map and takes ID, name and child model from it.
    void SetJsonValue(const QVariantMap& value);

    /// Fills `roles` with the item roles; 260 "jsonValueRole" only when `flag` is 0.
    static void GetRolesHash(QHash<int, QByteArray>& roles, RoleFlag flag);
    /// Registers ZEPHTreeItem with QML as "com.zephora.zephtreeitem" 1.0.
    static void RegisterRolesEnum();

    // The virtual table lists the by-name form of each operation first, while the meta-object
    // lists the by-number form first: moc reads the first order, the compiler the second. Both are
    // part of the binary interface that hosts build against.
#ifdef Q_MOC_RUN
    Q_INVOKABLE virtual QVariant getData(int role) const;
    Q_INVOKABLE virtual QVariant getData(const QString& roleName) const;
    Q_INVOKABLE virtual void setData(int role, QVariant value);
    Q_INVOKABLE virtual void setData(const QString& roleName, QVariant value);
#else
    /// Value of a role by name ("idRole", "nameRole", "childModelRole").
    Q_INVOKABLE virtual QVariant getData(const QString& roleName) const;
    /// Value of a role by number: 257 ID, 258 name, 259 child model, 260 JSON value map.
    Q_INVOKABLE virtual QVariant getData(int role) const;
    /// Writes a role by name ("idRole", "nameRole", "childModelRole").
    Q_INVOKABLE virtual void setData(const QString& roleName, QVariant value);
    /// Writes a role by number; unknown roles change nothing.
    Q_INVOKABLE virtual void setData(int role, QVariant value);
#endif

signals:
    void valueChanged();
    void childModelValueChanged();

private:
    static int roleForName(const QString& roleName);
    const ZEPHTreeItemPrivate& block() const;
    ZEPHTreeItemPrivate& ownBlock();
    QObject* blockChildModel() const;
    QVariantMap mirrorMap() const;
    void connectChildModel();
    void disconnectChildModel();
    void compactJson();

    // ID and name are read on every lookup, filter test and sort; the rest (child model, JSON value
    // map) sits in a block made when an item first needs it, so that a plain item stays small.
    QString m_id;
    QString m_name;
    ZEPHTreeItemPrivate* m_block = nullptr;
};

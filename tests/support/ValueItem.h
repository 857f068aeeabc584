#pragma once

#include <ZEPHTreeItem.h>

#include <QHash>
#include <QVariant>

// The one item subclass of the tests: it answers further roles from a map of its own, by number
// (role 300 "valueRole", 301 "otherRole", ...) and by name, reads and writes them through the
// virtual operations as a host's item class would, and announces a change with valueChanged().
class ValueItem : public ZEPHTreeItem {
public:
    enum Role { ValueRole = 300, OtherRole = 301 };

    explicit ValueItem(const QString& id, const QVariant& value = QVariant(),
                       const QVariant& other = QVariant(), QObject* childModel = nullptr)
        : ZEPHTreeItem(id, id, childModel) {
        if (value.isValid()) m_values.insert(ValueRole, value);
        if (other.isValid()) m_values.insert(OtherRole, other);
    }

    /// The default roles plus "valueRole" and "otherRole".
    static QHash<int, QByteArray> roles() {
        QHash<int, QByteArray> table;
        GetRolesHash(table, WithJsonValueRole);
        table.insert(ValueRole, "valueRole");
        table.insert(OtherRole, "otherRole");
        return table;
    }

    QVariant getData(const QString& roleName) const override {
        const int role = roleFor(roleName);
        return role ? m_values.value(role) : ZEPHTreeItem::getData(roleName);
    }
    QVariant getData(int role) const override {
        return role >= ValueRole ? m_values.value(role) : ZEPHTreeItem::getData(role);
    }
    void setData(const QString& roleName, QVariant value) override {
        const int role = roleFor(roleName);
        role ? setData(role, value) : ZEPHTreeItem::setData(roleName, value);
    }
    void setData(int role, QVariant value) override {
        if (role < ValueRole) return ZEPHTreeItem::setData(role, value);
        m_values.insert(role, value);
        emit valueChanged();
    }

private:
    static int roleFor(const QString& roleName) {
        if (roleName == QLatin1String("valueRole")) return ValueRole;
        if (roleName == QLatin1String("otherRole")) return OtherRole;
        return 0;
    }

    QHash<int, QVariant> m_values;
};

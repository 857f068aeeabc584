#pragma once

#include "DemoItem.h"

#include <ZEPHTreeModel.h>

#include <QSharedPointer>
#include <QString>

class QJsonArray;

// The data set the demo explores: a tree of DemoItems under one root model. The root is made with
// CreateZEPHTreeModel and released with DeleteZEPHTreeModel; it owns its items, and through them
// their child models, which own their items in turn.
//
// Two sources:
// - Debian's iso-codes: the ISO 3166-1 countries, each with a child model of its ISO 3166-2
//   subdivisions (countries without subdivisions have no child model).
// - A JSON file: a list of nodes, or an object whose "items" member is that list. A node is an
//   object with "id" (string or number, required), "name" (default: the ID), "children" (a list of
//   nodes, any depth; present means the node gets a child model) and any further fields, which
//   become roles named after them: "code", "type", "numeric" and "parent" fill the demo's fixed
//   roles, any other field "x" the new role "xRole". Fields named like a library role or a computed
//   demo role ("childModel", "childCount", "initial", ...) are ignored.
class DemoTree {
public:
    DemoTree();
    ~DemoTree();
    DemoTree(const DemoTree&) = delete;
    DemoTree& operator=(const DemoTree&) = delete;

    /// Loads the countries and subdivisions from iso-codes' JSON folder; false with `error` set.
    bool loadIsoCodes(const QString& folder, QString* error);
    /// Loads a JSON tree file of the shape above; false with `error` set.
    bool loadJsonFile(const QString& fileName, QString* error);

    ZEPHTreeModel* root() const { return m_root; }
    QSharedPointer<const DemoRoles> roles() const { return m_roles; }
    /// A new empty model with this tree's role table, for a child model or a host-side list.
    ZEPHTreeModel* newModel() const;

    QString description() const { return m_description; }
    bool isIsoData() const { return m_isIsoData; }
    int itemCount() const { return m_itemCount; }
    int childModelCount() const { return m_childModelCount; }
    qint64 loadMilliseconds() const { return m_loadMs; }

private:
    bool createRoot(QString* error);
    bool collectFields(const QJsonArray& nodes, const QString& path, QString* error);
    QList<ZEPHTreeItem*> buildNodes(const QJsonArray& nodes);

    IZEPHTreeModel* m_model = nullptr;
    ZEPHTreeModel* m_root = nullptr;
    QSharedPointer<DemoRoles> m_roles;
    QString m_description;
    bool m_isIsoData = false;
    int m_itemCount = 0;
    int m_childModelCount = 0;
    qint64 m_loadMs = 0;
};

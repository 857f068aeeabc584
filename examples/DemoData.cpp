#include "DemoData.h"

#include <ZEPHTreeModelExports.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace {
// Larger files are refused rather than read into memory whole.
constexpr qint64 kMaxFileBytes = 256 * 1024 * 1024;

bool readJson(const QString& fileName, QJsonDocument* document, QString* error) {
    const QFileInfo info(fileName);
    if (!info.isFile()) {
        *error = QStringLiteral("%1: no such file").arg(fileName);
        return false;
    }
    if (info.size() > kMaxFileBytes) {
        *error = QStringLiteral("%1: larger than %2 MB").arg(fileName, QString::number(kMaxFileBytes >> 20));
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    *document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1: invalid JSON at byte %2: %3")
                     .arg(fileName, QString::number(parseError.offset), parseError.errorString());
        return false;
    }
    return true;
}

// The keys of a node that are not fields.
bool isStructuralKey(const QString& key) {
    return key == QLatin1String("id") || key == QLatin1String("name") || key == QLatin1String("children");
}

// Stored fields are roles above the library's own and not computed by the item.
bool isStoredRole(int role) {
    return role > ZEPHTreeItem::LastRole && !DemoRoles::isComputed(role);
}

QString idOf(const QJsonValue& value) {
    if (value.isString()) return value.toString();
    if (value.isDouble()) return QString::number(value.toDouble(), 'g', 17);
    return QString();
}
} // namespace

DemoTree::DemoTree() : m_roles(new DemoRoles) {}

DemoTree::~DemoTree() {
    DeleteZEPHTreeModel(&m_model);
}

ZEPHTreeModel* DemoTree::newModel() const {
    return new ZEPHTreeModel(nullptr, m_roles->table());
}

bool DemoTree::createRoot(QString* error) {
    // The exported factory is how a host that only knows the abstract interface makes a model.
    if (!CreateZEPHTreeModel(&m_model, nullptr, m_roles->table(), 0, {}, {})) {
        *error = QStringLiteral("the model could not be created");
        return false;
    }
    m_root = qobject_cast<ZEPHTreeModel*>(static_cast<QObject*>(m_model));
    return m_root != nullptr;
}

bool DemoTree::loadIsoCodes(const QString& folder, QString* error) {
    QElapsedTimer timer;
    timer.start();
    const QString countriesFile = folder + QStringLiteral("/iso_3166-1.json");
    const QString subdivisionsFile = folder + QStringLiteral("/iso_3166-2.json");
    QJsonDocument countries, subdivisions;
    if (!readJson(countriesFile, &countries, error) || !readJson(subdivisionsFile, &subdivisions, error)) {
        error->append(QStringLiteral(" (install Debian's iso-codes package, or pass --data FILE.json)"));
        return false;
    }
    const QJsonArray countryList = countries.object().value(QLatin1String("3166-1")).toArray();
    const QJsonArray subdivisionList = subdivisions.object().value(QLatin1String("3166-2")).toArray();
    if (countryList.isEmpty()) {
        *error = QStringLiteral("%1: no \"3166-1\" list").arg(countriesFile);
        return false;
    }

    const int alpha3Role = m_roles->addField(QStringLiteral("alpha3"));
    const int officialNameRole = m_roles->addField(QStringLiteral("officialName"));
    const int commonNameRole = m_roles->addField(QStringLiteral("commonName"));
    if (!createRoot(error)) return false;
    const QSharedPointer<const DemoRoles> roles = m_roles;

    // Subdivisions by country code ("NO-03" belongs to "NO"), in the file's order.
    QHash<QString, QList<ZEPHTreeItem*>> byCountry;
    for (const QJsonValue& value : subdivisionList) {
        const QJsonObject entry = value.toObject();
        const QString code = entry.value(QLatin1String("code")).toString();
        const QString country = code.section(QLatin1Char('-'), 0, 0);
        if (code.isEmpty() || country == code) continue;
        auto* item = new DemoItem(roles, code, entry.value(QLatin1String("name")).toString());
        item->setField(DemoRoles::CodeRole, code);
        item->setField(DemoRoles::TypeRole, entry.value(QLatin1String("type")).toString());
        const QString parent = entry.value(QLatin1String("parent")).toString();
        if (!parent.isEmpty()) item->setField(DemoRoles::ParentRole, country + QLatin1Char('-') + parent);
        byCountry[country].append(item);
    }

    QList<ZEPHTreeItem*> items;
    for (const QJsonValue& value : countryList) {
        const QJsonObject entry = value.toObject();
        const QString code = entry.value(QLatin1String("alpha_2")).toString();
        if (code.isEmpty()) continue;
        ZEPHTreeModel* children = nullptr;
        const QList<ZEPHTreeItem*> members = byCountry.take(code);
        if (!members.isEmpty()) {
            children = newModel();
            children->AppendItemsList(members);
            m_itemCount += members.size();
            ++m_childModelCount;
        }
        auto* item = new DemoItem(roles, code, entry.value(QLatin1String("name")).toString(), children);
        item->setField(DemoRoles::CodeRole, code);
        item->setField(DemoRoles::TypeRole, QStringLiteral("Country"));
        item->setField(DemoRoles::NumericRole, entry.value(QLatin1String("numeric")).toString());
        item->setField(alpha3Role, entry.value(QLatin1String("alpha_3")).toString());
        item->setField(officialNameRole, entry.value(QLatin1String("official_name")).toVariant());
        item->setField(commonNameRole, entry.value(QLatin1String("common_name")).toVariant());
        items.append(item);
    }
    // Subdivisions of codes that are not countries have no place in the tree.
    for (const QList<ZEPHTreeItem*>& orphans : qAsConst(byCountry))
        qDeleteAll(orphans);

    m_root->AppendItemsList(items);
    m_itemCount += items.size();
    m_isIsoData = true;
    m_description = QStringLiteral("ISO 3166 countries and their subdivisions (%1)").arg(folder);
    m_loadMs = timer.elapsed();
    return true;
}

bool DemoTree::loadJsonFile(const QString& fileName, QString* error) {
    QElapsedTimer timer;
    timer.start();
    QJsonDocument document;
    if (!readJson(fileName, &document, error)) return false;
    const QJsonArray nodes =
        document.isArray() ? document.array() : document.object().value(QLatin1String("items")).toArray();
    if (nodes.isEmpty()) {
        *error = QStringLiteral("%1: expected a non-empty list of nodes, or an object with an \"items\" list")
                     .arg(fileName);
        return false;
    }
    // The role table must be complete before the first model copies it.
    if (!collectFields(nodes, QStringLiteral("items"), error)) {
        error->prepend(fileName + QStringLiteral(": "));
        return false;
    }
    if (!createRoot(error)) return false;
    const QList<ZEPHTreeItem*> items = buildNodes(nodes);
    m_root->AppendItemsList(items);
    m_description = QFileInfo(fileName).fileName();
    m_loadMs = timer.elapsed();
    return true;
}

bool DemoTree::collectFields(const QJsonArray& nodes, const QString& path, QString* error) {
    for (int i = 0; i < nodes.size(); ++i) {
        const QString where = QStringLiteral("%1[%2]").arg(path).arg(i);
        if (!nodes.at(i).isObject()) {
            *error = where + QStringLiteral(": a node must be an object");
            return false;
        }
        const QJsonObject node = nodes.at(i).toObject();
        if (idOf(node.value(QLatin1String("id"))).isEmpty()) {
            *error = where + QStringLiteral(": \"id\" must be a non-empty string or a number");
            return false;
        }
        const QJsonValue children = node.value(QLatin1String("children"));
        if (!children.isUndefined() && !children.isArray()) {
            *error = where + QStringLiteral(": \"children\" must be a list");
            return false;
        }
        for (auto it = node.begin(); it != node.end(); ++it) {
            if (!isStructuralKey(it.key()) && m_roles->role(it.key() + QStringLiteral("Role")) == 0)
                m_roles->addField(it.key());
        }
        if (!collectFields(children.toArray(), where + QStringLiteral(".children"), error)) return false;
    }
    return true;
}

QList<ZEPHTreeItem*> DemoTree::buildNodes(const QJsonArray& nodes) {
    const QSharedPointer<const DemoRoles> roles = m_roles;
    QList<ZEPHTreeItem*> items;
    for (const QJsonValue& value : nodes) {
        const QJsonObject node = value.toObject();
        const QString id = idOf(node.value(QLatin1String("id")));
        const QJsonValue name = node.value(QLatin1String("name"));
        ZEPHTreeModel* children = nullptr;
        if (node.contains(QLatin1String("children"))) {
            children = newModel();
            children->AppendItemsList(buildNodes(node.value(QLatin1String("children")).toArray()));
            ++m_childModelCount;
        }
        auto* item = new DemoItem(roles, id, name.isString() ? name.toString() : id, children);
        for (auto it = node.begin(); it != node.end(); ++it) {
            const int role = roles->role(it.key() + QStringLiteral("Role"));
            if (!isStructuralKey(it.key()) && isStoredRole(role))
                item->setField(role, it.value().toVariant());
        }
        items.append(item);
        ++m_itemCount;
    }
    return items;
}

#include "TreeBuilder.h"

namespace tree {
namespace {

struct Parser {
    QString text;
    int pos = 0;
    int childFlags = 0;

    void skipSpaces() {
        while (pos < text.size() && text.at(pos).isSpace())
            ++pos;
    }

    QList<ZEPHTreeItem*> parseList() {
        QList<ZEPHTreeItem*> result;
        for (;;) {
            skipSpaces();
            if (pos >= text.size() || text.at(pos) == QLatin1Char(']')) return result;
            result.append(parseItem());
        }
    }

    ZEPHTreeItem* parseItem() {
        const int start = pos;
        while (pos < text.size() && !text.at(pos).isSpace() && text.at(pos) != QLatin1Char('[') &&
               text.at(pos) != QLatin1Char(']'))
            ++pos;
        const QString token = text.mid(start, pos - start);
        const int colon = token.indexOf(QLatin1Char(':'));
        const QString id = colon < 0 ? token : token.left(colon);
        const QString name = colon < 0 ? token : token.mid(colon + 1);
        ZEPHTreeModel* child = nullptr;
        if (pos < text.size() && text.at(pos) == QLatin1Char('[')) {
            ++pos;
            child = new ZEPHTreeModel(nullptr, {}, childFlags);
            child->AppendItemsList(parseList());
            if (pos < text.size() && text.at(pos) == QLatin1Char(']')) ++pos;
        }
        return new ZEPHTreeItem(id, name, child);
    }
};

ZEPHTreeModel* asModel(const QObject* model) {
    return qobject_cast<ZEPHTreeModel*>(const_cast<QObject*>(model));
}

} // namespace

QList<ZEPHTreeItem*> items(const QString& shape, int childFlags) {
    Parser parser{shape, 0, childFlags};
    return parser.parseList();
}

QList<ZEPHTreeItem*> listOf(const QString& shape) {
    QList<ZEPHTreeItem*> result = items(shape);
    for (ZEPHTreeItem*& item : result) {
        if (item->ID() == QLatin1String("~")) {
            delete item;
            item = nullptr;
        }
    }
    return result;
}

void fill(ZEPHTreeModel* model, const QString& shape, int childFlags) {
    model->AppendItemsList(items(shape, childFlags));
}

ZEPHTreeModel* make(const QString& shape, int flags) {
    auto* model = new ZEPHTreeModel(nullptr, {}, flags);
    fill(model, shape);
    return model;
}

static QString join(const QObject* model, bool useNames) {
    QStringList parts;
    ZEPHTreeModel* m = asModel(model);
    if (!m) return QString();
    for (int row = 0; row < m->rowCount(); ++row) {
        auto* item = qobject_cast<ZEPHTreeItem*>(m->FindItem(row));
        parts << (item ? (useNames ? item->Name() : item->ID()) : QStringLiteral("?"));
    }
    return parts.join(QLatin1Char(' '));
}

QString ids(const QObject* model) {
    return join(model, false);
}

QString names(const QObject* model) {
    return join(model, true);
}

QString dump(const QObject* model) {
    ZEPHTreeModel* m = asModel(model);
    if (!m) return QString();
    QStringList parts;
    for (int row = 0; row < m->rowCount(); ++row) {
        auto* item = qobject_cast<ZEPHTreeItem*>(m->FindItem(row));
        if (!item) {
            parts << QStringLiteral("?");
            continue;
        }
        QString part = item->ID();
        QObject* child = item->ChildModel();
        if (child && asModel(child) && asModel(child)->rowCount() > 0)
            part += QLatin1Char('[') + dump(child) + QLatin1Char(']');
        parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace tree

#include "TreeBuilder.h"

#include <QCoreApplication>

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

QString rows(ZEPHTreeModel* model) {
    QStringList parts;
    for (const ZEPHTreeItem* item : *model->GetModelItemList())
        parts << (item->Name() == item->ID() ? item->ID() : item->ID() + QLatin1Char(':') + item->Name());
    return parts.join(QLatin1Char(' '));
}

ZEPHTreeItem* at(const QObject* model, int row) {
    ZEPHTreeModel* m = asModel(model);
    return m ? qobject_cast<ZEPHTreeItem*>(m->FindItem(row)) : nullptr;
}

QList<ZEPHTreeItem*> found(ZEPHTreeModel* model, const QString& ids) {
    QList<ZEPHTreeItem*> result;
    for (const QString& id : ids.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        result << qobject_cast<ZEPHTreeItem*>(model->FindItem(id, true));
    return result;
}

bool run(ZEPHTreeModel* model, const QString& op, QList<QPointer<ZEPHTreeItem>>* passed) {
    const QString verb = op.section(QLatin1Char(' '), 0, 0);
    const QString rest = op.section(QLatin1Char(' '), 1);
    const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const int first = args.value(0).toInt();
    const bool atRow = verb == QLatin1String("insert");
    // New items for the insertions and replacements by shape.
    QList<ZEPHTreeItem*> made;
    if (QStringList{"append", "prepend", "insert", "appendList", "prependList", "replace", "replaceEx"}
            .contains(verb))
        made = listOf(atRow ? rest.section(QLatin1Char(' '), 1) : rest);
    for (ZEPHTreeItem* item : made) {
        if (item && passed) *passed << item;
    }
    ZEPHTreeItem* single = made.value(0);
    if (verb == QLatin1String("append")) return model->AppendItem(single);
    if (verb == QLatin1String("prepend")) return model->PrependItem(single);
    if (atRow) return model->InsertItem(first, single);
    if (verb == QLatin1String("appendRow")) return model->AppendItem(at(model, first));
    if (verb == QLatin1String("prependRow")) return model->PrependItem(at(model, first));
    if (verb == QLatin1String("insertRow")) return model->InsertItem(first, at(model, args.value(1).toInt()));
    if (verb == QLatin1String("appendList")) return model->AppendItemsList(made);
    if (verb == QLatin1String("prependList")) return model->PrependItemsList(made);
    if (verb == QLatin1String("replace")) return model->ReplaceItemsList(made);
    if (verb == QLatin1String("replaceEx")) return model->ReplaceItemsListEx(made);
    if (verb == QLatin1String("replaceOwn")) return model->ReplaceItemsList(found(model, rest));
    if (verb == QLatin1String("replaceExOwn")) return model->ReplaceItemsListEx(found(model, rest));
    if (verb == QLatin1String("removeOne")) return model->RemoveOne(rest);
    if (verb == QLatin1String("removeIds")) return model->Remove(args);
    if (verb == QLatin1String("removeRows")) return model->Remove(first, args.value(1).toInt());
    if (verb == QLatin1String("removeAll"))
        model->RemoveAll();
    else if (verb == QLatin1String("clear"))
        model->clear();
    else if (verb == QLatin1String("clearAll"))
        model->ClearAllSourceContainer();
    else if (verb == QLatin1String("move"))
        model->MoveRow(first, args.value(1).toInt());
    else
        qFatal("unknown operation %s", qPrintable(op));
    return true;
}

void flushDeletes(int rounds) {
    for (int round = 0; round < rounds; ++round)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace tree

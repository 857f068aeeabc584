#include "TreeBuilder.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <functional>
#include <map>

namespace tree {
namespace {

ZEPHTreeModel* asModel(const QObject* model) {
    return qobject_cast<ZEPHTreeModel*>(const_cast<QObject*>(model));
}

// The item a model finds by ID: through its index, else by its first row carrying the ID.
ZEPHTreeItem* byId(ZEPHTreeModel* model, const QString& id) {
    if (auto* item = qobject_cast<ZEPHTreeItem*>(model->FindItem(id, true))) return item;
    return at(model, model->FindItemRow(id));
}

// Reads items from `tokens` (names, "[" and "]") up to a closing "]" or the end. With a `model`,
// "~" gives a null entry, "=" the entry before once more, and "@A" that model's item A; new items of
// the top level go to `made`.
QList<ZEPHTreeItem*> parse(QStringList& tokens, int childFlags, ZEPHTreeModel* model = nullptr,
                           QList<QPointer<ZEPHTreeItem>>* made = nullptr) {
    QList<ZEPHTreeItem*> result;
    while (!tokens.isEmpty() && tokens.first() != QLatin1String("]")) {
        const QString token = tokens.takeFirst();
        if (model && (token == QLatin1String("~") || token == QLatin1String("=") || token.startsWith('@'))) {
            result << (token == QLatin1String("~")   ? nullptr
                       : token == QLatin1String("=") ? result.value(result.size() - 1)
                                                     : byId(model, token.mid(1)));
            continue;
        }
        ZEPHTreeModel* child = nullptr;
        if (tokens.value(0) == QLatin1String("[")) {
            tokens.removeFirst();
            child = new ZEPHTreeModel(nullptr, {}, childFlags);
            child->AppendItemsList(parse(tokens, childFlags));
            if (!tokens.isEmpty()) tokens.removeFirst();
        }
        const int colon = token.indexOf(QLatin1Char(':'));
        result << new ZEPHTreeItem(token.left(colon), colon < 0 ? token : token.mid(colon + 1), child);
        if (made) *made << result.last();
    }
    return result;
}

QStringList tokensOf(const QString& shape) {
    QStringList tokens;
    for (auto it = QRegularExpression(QStringLiteral("[^\\s\\[\\]]+|\\[|\\]")).globalMatch(shape);
         it.hasNext();)
        tokens << it.next().captured();
    return tokens;
}

} // namespace

QList<ZEPHTreeItem*> items(const QString& shape, int childFlags) {
    QStringList tokens = tokensOf(shape);
    return parse(tokens, childFlags);
}

void fill(ZEPHTreeModel* model, const QString& shape, int childFlags) {
    model->AppendItemsList(items(shape, childFlags));
}

ZEPHTreeModel* make(const QString& shape, int flags) {
    auto* model = new ZEPHTreeModel(nullptr, {}, flags);
    fill(model, shape);
    return model;
}

// The IDs of the model's rows ("?" for a row without item), with the rows of child models when `deep`.
static QString rows(const QObject* model, bool deep) {
    QStringList parts;
    for (int row = 0; asModel(model) && row < asModel(model)->rowCount(); ++row) {
        ZEPHTreeItem* item = at(model, row);
        ZEPHTreeModel* child = item && deep ? asModel(item->ChildModel()) : nullptr;
        parts << (!item ? QStringLiteral("?") : item->ID());
        if (child && child->rowCount() > 0)
            parts.last() += QLatin1Char('[') + rows(child, deep) + QLatin1Char(']');
    }
    return parts.join(QLatin1Char(' '));
}

QString ids(const QObject* model) {
    return rows(model, false);
}

QString dump(const QObject* model) {
    return rows(model, true);
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

bool run(ZEPHTreeModel* model, const QString& script, QList<QPointer<ZEPHTreeItem>>* passed) {
    bool result = true;
    for (const QString& step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList a = step.simplified().split(QLatin1Char(' '));
        const auto n = [&a](int i) { return a.value(i).toInt(); };
        // The items written from argument `first` on.
        const auto list = [&](int first) {
            QStringList tokens = tokensOf(a.mid(first).join(QLatin1Char(' ')));
            return parse(tokens, 0, model, passed);
        };
        const auto one = [&](int first) { return list(first).value(0); };
        const std::map<QString, std::function<bool()>> verbs{
            {"append", [&] { return model->AppendItem(one(1)); }},
            {"prepend", [&] { return model->PrependItem(one(1)); }},
            {"insert", [&] { return model->InsertItem(n(1), one(2)); }},
            {"appendList", [&] { return model->AppendItemsList(list(1)); }},
            {"prependList", [&] { return model->PrependItemsList(list(1)); }},
            {"replace", [&] { return model->ReplaceItemsList(list(1)); }},
            {"replaceEx", [&] { return model->ReplaceItemsListEx(list(1)); }},
            {"removeOne", [&] { return model->RemoveOne(a.value(1)); }},
            {"removeIds", [&] { return model->Remove(a.mid(1)); }},
            {"removeRows", [&] { return model->Remove(n(1), n(2)); }},
            {"removeAll", [&] { return model->RemoveAll(), true; }},
            {"clearAll", [&] { return model->ClearAllSourceContainer(), true; }},
            {"move", [&] { return model->MoveRow(n(1), n(2)), true; }},
            {"name", [&] { return byId(model, a.value(1))->SetName(a.value(2)), true; }},
            {"id", [&] { return byId(model, a.value(1))->SetID(a.value(2)), true; }},
            {"link",
             [&] {
                 QObject* child =
                     a.value(2) == QLatin1String(".") ? model : byId(model, a.value(2))->ChildModel();
                 return byId(model, a.value(1))->SetChildModel(child), true;
             }},
        };
        const auto verb = verbs.find(a.at(0));
        if (verb == verbs.end()) qFatal("unknown operation %s", qPrintable(step));
        result = verb->second();
    }
    return result;
}

void flushDeletes(int rounds) {
    for (int round = 0; round < rounds; ++round)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace tree

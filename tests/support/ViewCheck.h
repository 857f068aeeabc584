#pragma once

// The one check of the live views: a view holds the same items, each once, as one made now from
// its source with the same arguments (a group view: the same groups with the same members; a
// paging view: the same page and counts), a window shows the rows of its model, and a Qt proxy
// holds every row of its source once. Each answers what is wrong, or an empty string. Items are
// compared by address, so an item that died in a view is found without being touched.

#include <ZEPHTreeItem.h>
#include <ZEPHTreeModel.h>

#include <QMap>
#include <QSet>
#include <QSortFilterProxyModel>

namespace viewcheck {

using Items = QSet<const QObject*>;

/// The items of the model's rows; a row without item, or an item held twice, is added to `problem`.
inline Items rowItems(const ZEPHTreeModel* model, QString& problem) {
    Items items;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QObject* item = model->FindItem(row);
        if (!item || items.contains(item)) problem += QStringLiteral("row %1 empty or repeated; ").arg(row);
        items.insert(item);
    }
    return items;
}

/// `live` against `expected`: the IDs of the expected items it lacks, and how many others it holds.
inline QString compare(const Items& live, const Items& expected, const QString& where) {
    QStringList lacking;
    for (const QObject* item : expected - live)
        lacking << qobject_cast<const ZEPHTreeItem*>(item)->ID();
    const int others = (live - expected).size();
    if (lacking.isEmpty() && others == 0) return QString();
    return where +
           QString::asprintf(" lack [%s] and hold %d others; ", qPrintable(lacking.join(' ')), others);
}

/// Group value -> its members, read through each group item's member model; no group is empty.
inline QMap<QString, Items> groups(const ZEPHTreeModel* view, QString& problem) {
    QMap<QString, Items> result;
    for (int row = 0; row < view->rowCount(); ++row) {
        const auto* group = qobject_cast<const ZEPHTreeItem*>(view->FindItem(row));
        const auto* members = group ? qobject_cast<const ZEPHTreeModel*>(group->ChildModel()) : nullptr;
        if (!members || members->rowCount() == 0 || result.contains(group->ID()))
            problem += QStringLiteral("group row %1 empty or repeated; ").arg(row);
        else
            result.insert(group->ID(), rowItems(members, problem));
    }
    return result;
}

/// `rebuilt` was made now from the source of `view` with its arguments (and turned to its page).
inline QString mismatch(const ZEPHTreeModel* view, const ZEPHTreeModel* rebuilt) {
    QString problem;
    const QByteArray kind = view->metaObject()->className();
    if (kind == "GroupModelImp") {
        const auto live = groups(view, problem), expected = groups(rebuilt, problem);
        for (const QString& value : live.keys() + expected.keys())
            problem += compare(live.value(value), expected.value(value), QStringLiteral("group ") + value);
    } else if (kind == "PagingModelImp") {
        const auto counts = [](const ZEPHTreeModel* pages) {
            return QString::asprintf("page %d/%d of %d rows", pages->page(), pages->totalPage(),
                                     pages->rowCount());
        };
        if (counts(view) != counts(rebuilt))
            problem = counts(view) + QStringLiteral(", not ") + counts(rebuilt);
    } else {
        problem += compare(rowItems(view, problem), rowItems(rebuilt, problem), QStringLiteral("rows"));
    }
    return problem;
}

/// A window of `size` rows asked for shows rows first .. first + size - 1 of `model`, clipped.
inline QString windowMismatch(const QAbstractItemModel* window, ZEPHTreeModel* model, int size) {
    const int first = model->FirstPartialModelRow();
    const int count = qMax(0, qMin(qMax(size, 0), model->rowCount() - first));
    bool same = window->rowCount() == count;
    for (int row = 0; same && row < count; ++row)
        same = window->index(row, 0).data(257) == model->FindItemValue(first + row, 257);
    return same ? QString()
                : QString::asprintf("window of %d rows, not %d from %d; ", window->rowCount(), count, first);
}

/// Every row of the proxy's source once, in the order of the sort role when `inOrder` (a source
/// that announces a change of many rows one by one, as a window does, may leave them unsorted).
inline QString proxyMismatch(const QSortFilterProxyModel* proxy, bool inOrder) {
    const int count = proxy->sourceModel()->rowCount();
    QVector<bool> seen(count);
    bool same = proxy->rowCount() == count;
    for (int row = 0; same && row < count; ++row) {
        const int at = proxy->mapToSource(proxy->index(row, 0)).row();
        const auto key = [proxy](int at) { return proxy->index(at, 0).data(proxy->sortRole()).toString(); };
        same = at >= 0 && at < count && !seen.at(at) && !(inOrder && row > 0 && key(row) < key(row - 1));
        seen[qBound(0, at, count - 1)] = true;
    }
    return same ? QString() : QStringLiteral("proxy out of step; ");
}

} // namespace viewcheck

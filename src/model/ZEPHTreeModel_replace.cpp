#include "model/ZEPHTreeModel.h"

#include "core/PointerSet.h"
#include "model/ViewLink.h"
#include "model/ZEPHTreeModelPrivate.h"
#include "model/ZEPHTreeModelWorker.h"

bool ZEPHTreeModel::ReplaceItemsList(QList<ZEPHTreeItem*> itemList) {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread()) {
        return d->forwardList(
            itemList, [](ZEPHTreeModelWorker* w, const QVariantList& v) { return w->ReplaceItemsList(v); });
    }
    // Items of the new list (old rows in a reorder by replacement, or items of the old rows' child
    // models) must survive the removal of the old content.
    QSet<const QObject*> keep;
    if (d->ownsItems() && !d->rows.isEmpty()) keep = d->keepSetFor(itemList);
    const QSet<const QObject*>* previous = d->keepAlive;
    if (!keep.isEmpty()) d->keepAlive = &keep;
    RemoveAll();
    d->keepAlive = previous;
    return AppendItemsList(std::move(itemList));
}

bool ZEPHTreeModel::ReplaceItemsListEx(QList<ZEPHTreeItem*> itemList) {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread()) {
        return d->forwardList(
            itemList, [](ZEPHTreeModelWorker* w, const QVariantList& v) { return w->ReplaceItemsListEx(v); });
    }
    // Null entries and repeated pointers are skipped: a row must be one live item, once.
    QList<ZEPHTreeItem*> items;
    items.reserve(itemList.size());
    PointerSet seen(itemList.size());
    for (ZEPHTreeItem* item : itemList) {
        if (item && seen.insert(item)) items.append(item);
    }
    // Views let go of the rows that leave while their items are still alive.
    QList<ZEPHTreeItem*> leaving;
    for (ZEPHTreeItem* item : d->rows.items()) {
        if (!seen.contains(item)) leaving.append(item);
    }
    d->tellViewsOfSilentDrop(leaving);

    const int oldCount = d->rows.count();
    const int newCount = items.size();
    // The items of the new list and their child models survive the disposal of the old rows.
    const QSet<const QObject*> keep =
        d->ownsItems() && oldCount > 0 ? d->keepSetFor(items) : QSet<const QObject*>();
    const QSet<const QObject*>* keepBefore = d->keepAlive;
    d->keepAlive = &keep;
    // Inside the announcement of the count change only the announced rows change, as Qt's protocol
    // has it: the rows that stay in number take their new items before it, without a signal (the
    // closing dataChanged announces them). The old items die after the announced removal and before
    // the announced insertion, so no listener of it can reach one.
    const QList<ZEPHTreeItem*> previous = d->takeAllRows();
    for (int row = 0; row < newCount && row < oldCount; ++row)
        d->rows.placeSilently(items.at(row));
    if (newCount < oldCount) {
        // The announced rows still show their old items (alive until the removal is over), but no
        // longer count as rows: one of them may also be a new row above.
        d->rows.appendShownOnly(previous.mid(newCount));
        beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
        d->rows.truncate(newCount);
        endRemoveRows();
    }
    // The views were told above, without the rows that stay.
    if (d->viewLink) d->viewLink->setMuted(true);
    d->destroyTakenRows(previous);
    if (d->viewLink) d->viewLink->setMuted(false);
    d->keepAlive = keepBefore;
    if (newCount > oldCount) {
        beginInsertRows(QModelIndex(), oldCount, newCount - 1);
        for (int row = oldCount; row < newCount; ++row)
            d->rows.placeSilently(items.at(row));
        endInsertRows();
    }
    if (newCount != oldCount) emit rowCountChanged();
    if (newCount > 0) emit dataChanged(index(0, 0), index(newCount - 1, 0), QVector<int>());
    return true;
}

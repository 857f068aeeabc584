#include "ZEPHTreeModel.h"

#include "RowTable.h"
#include "ViewLink.h"
#include "ZEPHTreeModelWorker.h"

bool ZEPHTreeModel::ReplaceItemsList(QList<ZEPHTreeItem*> itemList) {
    if (!isOwnerThread()) {
        adoptIntoOwnerThread(itemList);
        const QVariantList variants = ZEPHTreeModelWorker::ItemVariants(itemList);
        return forward([variants](ZEPHTreeModelWorker* w) { return w->ReplaceItemsList(variants); });
    }
    // Items of the new list (old rows in a reorder by replacement, or items of the old rows' child
    // models) must survive the removal of the old content.
    QSet<const QObject*> keep;
    if (ownsItems() && !m_items.isEmpty()) keep = keepSetFor(itemList);
    const QSet<const QObject*>* previous = m_keepAlive;
    if (!keep.isEmpty()) m_keepAlive = &keep;
    RemoveAll();
    m_keepAlive = previous;
    return AppendItemsList(std::move(itemList));
}

bool ZEPHTreeModel::ReplaceItemsListEx(QList<ZEPHTreeItem*> itemList) {
    if (!isOwnerThread()) {
        adoptIntoOwnerThread(itemList);
        const QVariantList variants = ZEPHTreeModelWorker::ItemVariants(itemList);
        return forward([variants](ZEPHTreeModelWorker* w) { return w->ReplaceItemsListEx(variants); });
    }
    // Null entries and repeated pointers are skipped: a row must be one live item, once.
    QList<ZEPHTreeItem*> items;
    items.reserve(itemList.size());
    QSet<const ZEPHTreeItem*> seen;
    seen.reserve(itemList.size());
    for (ZEPHTreeItem* item : itemList) {
        if (item && !seen.contains(item)) {
            seen.insert(item);
            items.append(item);
        }
    }
    // Views let go of the rows that leave while their items are still alive.
    QList<ZEPHTreeItem*> leaving;
    for (ZEPHTreeItem* item : qAsConst(m_items)) {
        if (!seen.contains(item)) leaving.append(item);
    }
    tellViewsOfSilentDrop(leaving);
    const int oldCount = m_items.size();
    const int newCount = items.size();
    if (newCount < oldCount)
        beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
    else if (newCount > oldCount)
        beginInsertRows(QModelIndex(), oldCount, newCount - 1);
    // The old items are deleted at once, except those that the new list brings back.
    if (ownsItems() && oldCount > 0) {
        const QSet<const QObject*> keep = keepSetFor(items);
        const QSet<const QObject*>* previous = m_keepAlive;
        m_keepAlive = &keep;
        // The views were told above, without the rows that stay.
        if (m_viewLink) m_viewLink->setMuted(true);
        clearSilently();
        if (m_viewLink) m_viewLink->setMuted(false);
        m_keepAlive = previous;
    }
    dropAllRows();
    m_items = items;
    m_rows->reserve(newCount);
    for (int row = 0; row < newCount; ++row)
        m_rows->insert(items.at(row)).rowHint = row;
    for (ZEPHTreeItem* item : items)
        fileItem(item);
    m_hasSilentRows = newCount > 0;
    if (newCount < oldCount)
        endRemoveRows();
    else if (newCount > oldCount)
        endInsertRows();
    if (newCount != oldCount) emit rowCountChanged();
    if (newCount > 0) emit dataChanged(index(0, 0), index(newCount - 1, 0), QVector<int>());
    return true;
}

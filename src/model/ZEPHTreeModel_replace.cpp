#include "ZEPHTreeModel.h"

#include "IdIndex.h"
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
    // The items of the new list and their child models survive the disposal of the old rows.
    const QSet<const QObject*> keep =
        ownsItems() && oldCount > 0 ? keepSetFor(items) : QSet<const QObject*>();
    const QSet<const QObject*>* keepBefore = m_keepAlive;
    m_keepAlive = &keep;
    // Inside the announcement of the count change only the announced rows change, as Qt's protocol
    // has it: the rows that stay in number take their new items before it, without a signal (the
    // closing dataChanged announces them). The old items die after the announced removal and before
    // the announced insertion, so no listener of it can reach one.
    const QList<ZEPHTreeItem*> previous = takeAllRows();
    for (int row = 0; row < newCount && row < oldCount; ++row)
        placeSilentRow(items.at(row));
    if (newCount < oldCount) {
        // The announced rows still show their old items (alive until the removal is over), but no
        // longer count as rows: one of them may also be a new row above.
        m_items.append(previous.mid(newCount));
        beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
        m_items.erase(m_items.begin() + newCount, m_items.end());
        endRemoveRows();
    }
    // The views were told above, without the rows that stay.
    if (m_viewLink) m_viewLink->setMuted(true);
    destroyTakenRows(previous);
    if (m_viewLink) m_viewLink->setMuted(false);
    m_keepAlive = keepBefore;
    if (newCount > oldCount) {
        beginInsertRows(QModelIndex(), oldCount, newCount - 1);
        for (int row = oldCount; row < newCount; ++row)
            placeSilentRow(items.at(row));
        endInsertRows();
    }
    m_hasSilentRows = newCount > 0;
    if (newCount != oldCount) emit rowCountChanged();
    if (newCount > 0) emit dataChanged(index(0, 0), index(newCount - 1, 0), QVector<int>());
    return true;
}

// Appends `item` as a row without a value-change connection (ReplaceItemsListEx brings its rows in
// that way) and files it in the ID index.
void ZEPHTreeModel::placeSilentRow(ZEPHTreeItem* item) {
    m_rows->insert(item).rowHint = m_items.size() - m_hintBase;
    m_items.append(item);
    fileItem(item);
    m_hasSilentRows = true;
}

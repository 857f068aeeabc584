#include "ZEPHTreeModel.h"

#include "IdIndex.h"
#include "RowTable.h"
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
    const QList<ZEPHTreeItem*> previous = m_items;
    const int oldCount = previous.size();
    const int newCount = items.size();
    // Makes `rows` (the new list, or its head) the rows, without a signal. The previous items that
    // the new list does not bring back are deleted at once, also those that left the rows already.
    auto exchange = [&](const QList<ZEPHTreeItem*>& rows) {
        if (ownsItems() && oldCount > 0) {
            const QSet<const QObject*> keep = keepSetFor(items);
            const QSet<const QObject*>* keepBefore = m_keepAlive;
            m_keepAlive = &keep;
            m_items = previous;
            ClearAllSourceContainer();
            m_keepAlive = keepBefore;
        }
        dropAllRows();
        m_rows->reserve(newCount);
        for (ZEPHTreeItem* item : rows)
            placeSilentRow(item);
    };
    // Inside the announcement of the count change only the announced rows change, as Qt's protocol
    // has it: the other rows are exchanged before an insertion and after a removal, and the closing
    // dataChanged announces them.
    if (newCount < oldCount) {
        beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
        for (int row = newCount; row < oldCount; ++row) {
            QString filedId;
            if (forgetRow(previous.at(row), &filedId)) m_idIndex->removeIfLeadsTo(filedId, previous.at(row));
        }
        m_items.erase(m_items.begin() + newCount, m_items.end());
        endRemoveRows();
        exchange(items);
    } else if (newCount > oldCount) {
        exchange(items.mid(0, oldCount));
        beginInsertRows(QModelIndex(), oldCount, newCount - 1);
        for (int row = oldCount; row < newCount; ++row)
            placeSilentRow(items.at(row));
        endInsertRows();
    } else {
        exchange(items);
    }
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

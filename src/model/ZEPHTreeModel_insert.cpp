#include "ZEPHTreeModel.h"

#include "ZEPHTreeModelWorker.h"

#include <QThread>

#include <typeinfo>

// An item handed over from another thread is moved into the owner thread first, so that it and its
// child model are disposed of and signal there, never in a thread that may have ended.
void ZEPHTreeModel::adoptIntoOwnerThread(const QList<ZEPHTreeItem*>& items) {
    QThread* current = QThread::currentThread();
    QThread* owner = thread();
    for (ZEPHTreeItem* item : items) {
        if (!item)
            continue;
        if (item->thread() == current && !item->parent())
            item->moveToThread(owner);
        QObject* child = item->ChildModel();
        if (child && child->thread() == current && !child->parent())
            child->moveToThread(owner);
    }
}

bool ZEPHTreeModel::mergeApplies(const ZEPHTreeItem* item) const {
    return (m_flags & MergeDuplicatesFlag) && m_idIndex.contains(item->ID());
}

void ZEPHTreeModel::HandleDuplicatedItem(ZEPHTreeItem* newItem, ZEPHTreeItem* existingItem) {
    if (!newItem || !existingItem)
        return;
    if (m_duplicateHandler) {
        m_duplicateHandler(newItem, existingItem);
        return;
    }
    CopyItem(newItem, existingItem);
}

void ZEPHTreeModel::CopyItem(ZEPHTreeItem* source, ZEPHTreeItem* target) {
    if (!source || !target)
        return;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        target->setData(it.key(), source->getData(it.key()));
}

// Merges `item` into the row `existing` and deletes it. A merge into itself copies and deletes
// nothing; a child model that the merge replaces is disposed of by an owning model.
void ZEPHTreeModel::mergeDuplicate(ZEPHTreeItem* item, ZEPHTreeItem* existing) {
    if (item == existing)
        return;
    QPointer<QObject> oldChild = existing->ChildModel();
    HandleDuplicatedItem(item, existing);
    if (ownsItems() && oldChild && oldChild != existing->ChildModel() && oldChild != item->ChildModel())
        disposeChildModel(oldChild.data());
    delete item;
}

// The row that a merge announces: the first row carrying the ID. The merged item is that row
// unless IDs were changed after insertion or a subclass answers rows its own way.
int ZEPHTreeModel::mergedRow(ZEPHTreeItem* existing, const QString& id) const {
    if (typeid(*this) == typeid(ZEPHTreeModel) && existing->ID() == id) {
        const int row = rowOf(existing);
        bool earlier = false;
        for (int r = 0; r < row && !earlier; ++r)
            earlier = m_items.at(r)->ID() == id;
        if (row >= 0 && !earlier)
            return row;
    }
    return FindItemRow(id);
}

void ZEPHTreeModel::insertRows(int row, const QList<ZEPHTreeItem*>& items) {
    for (int i = 0; i < items.size(); ++i)
        m_rows[items.at(i)].rowHint = row + i;
    if (row == m_items.size()) {
        m_items.append(items);
    } else if (items.size() == 1) {
        m_items.insert(row, items.first());
    } else {
        QList<ZEPHTreeItem*> merged;
        merged.reserve(m_items.size() + items.size());
        merged.append(m_items.mid(0, row));
        merged.append(items);
        merged.append(m_items.mid(row));
        m_items.swap(merged);
    }
    // A large block in front of existing rows moves them far from their last known rows.
    if (items.size() > 64 && row + items.size() < m_items.size())
        refreshRowHints(row + items.size());
    for (ZEPHTreeItem* item : items)
        fileItem(item);
}

bool ZEPHTreeModel::AppendItem(ZEPHTreeItem* item) {
    if (!item)
        return false;
    if (!isOwnerThread()) {
        adoptIntoOwnerThread({item});
        return forward([item](ZEPHTreeModelWorker* w) { return w->AppendItem(ZEPHTreeModelWorker::ItemVariant(item)); });
    }
    if (mergeApplies(item)) {
        ZEPHTreeItem* existing = m_idIndex.value(item->ID());
        if (existing != item && hasRow(item))
            return false;
        const QString id = item->ID();
        mergeDuplicate(item, existing);
        const int row = mergedRow(existing, id);
        emit dataChanged(index(row, 0), index(row, 0), QVector<int>());
    } else {
        if (hasRow(item))
            return false;
        connectValueChange(item);
        const int n = m_items.size();
        beginInsertRows(QModelIndex(), n, n);
        insertRows(n, {item});
        endInsertRows();
    }
    KeepSortingCheck();
    emit rowCountChanged();
    return true;
}

bool ZEPHTreeModel::PrependItem(ZEPHTreeItem* item) {
    if (!item)
        return false;
    if (!isOwnerThread()) {
        adoptIntoOwnerThread({item});
        return forward([item](ZEPHTreeModelWorker* w) { return w->PrependItem(ZEPHTreeModelWorker::ItemVariant(item)); });
    }
    bool inserted = false;
    if (mergeApplies(item)) {
        ZEPHTreeItem* existing = m_idIndex.value(item->ID());
        if (existing != item && hasRow(item))
            return false;
        const QString id = item->ID();
        mergeDuplicate(item, existing);
        const int row = mergedRow(existing, id);
        emit dataChanged(index(row, 0), index(row, 0), QVector<int>());
    } else {
        if (hasRow(item))
            return false;
        connectValueChange(item);
        beginInsertRows(QModelIndex(), 0, 0);
        insertRows(0, {item});
        endInsertRows();
        inserted = true;
    }
    KeepSortingCheck();
    if (inserted)
        emit rowCountChanged();
    return true;
}

bool ZEPHTreeModel::InsertItem(int row, ZEPHTreeItem* item) {
    if (!isOwnerThread()) {
        adoptIntoOwnerThread({item});
        return forward([row, item](ZEPHTreeModelWorker* w) {
            return w->InsertItem(row, ZEPHTreeModelWorker::ItemVariant(item));
        });
    }
    if (!item || row < 0 || row > m_items.size() || mergeApplies(item) || hasRow(item))
        return false;
    connectValueChange(item);
    beginInsertRows(QModelIndex(), row, row);
    insertRows(row, {item});
    endInsertRows();
    KeepSortingCheck();
    emit rowCountChanged();
    return true;
}

// The list insertions walk the list first (merging duplicates in walk order, also into entries
// earlier in the same list), then announce and insert the new rows as one block, so listeners
// never see a row before it is announced.
bool ZEPHTreeModel::insertListAt(QList<ZEPHTreeItem*> itemList, bool atHead) {
    QList<ZEPHTreeItem*> block;
    block.reserve(itemList.size());
    const bool merging = m_flags & MergeDuplicatesFlag;
    QHash<QString, ZEPHTreeItem*> pendingIds;
    QSet<const ZEPHTreeItem*> pending;
    pending.reserve(itemList.size());
    const int count = itemList.size();
    for (int k = 0; k < count; ++k) {
        ZEPHTreeItem* entry = itemList.at(atHead ? count - 1 - k : k);
        if (!entry || hasRow(entry) || pending.contains(entry))
            continue;
        if (merging) {
            const QString id = entry->ID();
            ZEPHTreeItem* existing = m_idIndex.value(id);
            if (!existing)
                existing = pendingIds.value(id);
            if (existing) {
                mergeDuplicate(entry, existing);
                continue;
            }
            pendingIds.insert(id, entry);
        }
        connectValueChange(entry);
        pending.insert(entry);
        block.append(entry);
    }
    const int added = block.size();
    if (added > 0) {
        if (atHead)
            std::reverse(block.begin(), block.end());
        const int first = atHead ? 0 : m_items.size();
        beginInsertRows(QModelIndex(), first, first + added - 1);
        insertRows(first, block);
        endInsertRows();
    }
    KeepSortingCheck();
    if (added > 0)
        emit rowCountChanged();
    return true;
}

bool ZEPHTreeModel::AppendItemsList(QList<ZEPHTreeItem*> itemList) {
    if (itemList.isEmpty())
        return true;
    if (!isOwnerThread()) {
        adoptIntoOwnerThread(itemList);
        const QVariantList variants = ZEPHTreeModelWorker::ItemVariants(itemList);
        return forward([variants](ZEPHTreeModelWorker* w) { return w->AppendItemsList(variants); });
    }
    return insertListAt(std::move(itemList), false);
}

bool ZEPHTreeModel::PrependItemsList(QList<ZEPHTreeItem*> itemList) {
    if (itemList.isEmpty())
        return true;
    if (!isOwnerThread()) {
        adoptIntoOwnerThread(itemList);
        const QVariantList variants = ZEPHTreeModelWorker::ItemVariants(itemList);
        return forward([variants](ZEPHTreeModelWorker* w) { return w->PrependItemsList(variants); });
    }
    return insertListAt(std::move(itemList), true);
}

void ZEPHTreeModel::EmitValueChange() {
    auto* item = qobject_cast<ZEPHTreeItem*>(sender());
    const int row = item ? rowOf(item) : -1;
    const QModelIndex changed = index(row, 0, QModelIndex());
    if (!changed.isValid())
        return;
    emit dataChanged(changed, changed, QVector<int>());
}

#include "ZEPHTreeModel.h"

#include "IdIndex.h"
#include "RowTable.h"
#include "ZEPHTreeModelWorker.h"

#include <QSet>
#include <QThread>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {
// The objects moved from the calling thread into a model's owner thread for one forwarded call.
struct Adoption {
    QThread* from = nullptr;
    QList<QObject*> moved;

    // Runs in the owner thread: gives the objects back to the (waiting) calling thread, for an item
    // that the model refused and the caller therefore keeps.
    void undo() const {
        for (QObject* object : moved) {
            if (object->thread() == QThread::currentThread()) object->moveToThread(from);
        }
    }
};

void adoptObject(QObject* object, QThread* to, Adoption& adoption) {
    if (object && object->thread() == adoption.from && !object->parent()) {
        object->moveToThread(to);
        adoption.moved.append(object);
    }
}

// Moves `items`, their child models and the items of those, as far as they live in the calling
// thread and have no QObject parent, into `to`. Each child model is visited once, so a cycle ends.
void adoptItems(const QList<ZEPHTreeItem*>& items, QThread* to, Adoption& adoption, QSet<QObject*>& seen) {
    for (ZEPHTreeItem* item : items) {
        if (!item) continue;
        adoptObject(item, to, adoption);
        QObject* child = item->ChildModel();
        if (!child || seen.contains(child)) continue;
        seen.insert(child);
        adoptObject(child, to, adoption);
        if (auto* model = qobject_cast<ZEPHTreeModel*>(child))
            adoptItems(*model->GetModelItemList(), to, adoption, seen);
    }
}

// The entries of one list walk already seen: open addressing over one array sized for the list,
// so the walk allocates once instead of once per entry.
class PointerSet {
public:
    explicit PointerSet(int expected) {
        size_t slotCount = 16;
        while (slotCount < 2 * size_t(qMax(expected, 1)))
            slotCount *= 2;
        m_slots.assign(slotCount, nullptr);
        m_mask = slotCount - 1;
    }
    // False when `pointer` was there already.
    bool insert(const void* pointer) {
        const uint64_t hash = mixHash(uint64_t(reinterpret_cast<uintptr_t>(pointer)));
        for (size_t slot = size_t(hash) & m_mask;; slot = (slot + 1) & m_mask) {
            if (m_slots[slot] == pointer) return false;
            if (!m_slots[slot]) {
                m_slots[slot] = pointer;
                return true;
            }
        }
    }

private:
    std::vector<const void*> m_slots;
    size_t m_mask = 0;
};

// Hands items over to `owner` for a forwarded call. Nothing moves when the owner thread does not
// run, since the call will not be made there and the caller keeps its items.
Adoption adoptInto(QThread* owner, const QList<ZEPHTreeItem*>& items) {
    Adoption adoption;
    adoption.from = QThread::currentThread();
    if (!owner || !owner->isRunning()) return adoption;
    QSet<QObject*> seen;
    adoptItems(items, owner, adoption, seen);
    return adoption;
}
} // namespace

// An item handed over from another thread is moved into the owner thread first, so that it and its
// child model are disposed of and signal there, never in a thread that may have ended.
void ZEPHTreeModel::adoptIntoOwnerThread(const QList<ZEPHTreeItem*>& items) {
    adoptInto(thread(), items);
}

// Merging applies when flag 4 is set and the ID index leads to a row of this model.
bool ZEPHTreeModel::mergeApplies(const ZEPHTreeItem* item) const {
    if (!(m_flags & MergeDuplicatesFlag)) return false;
    const ZEPHTreeItem* existing = m_idIndex->value(item->ID());
    return existing && hasRow(existing);
}

void ZEPHTreeModel::HandleDuplicatedItem(ZEPHTreeItem* newItem, ZEPHTreeItem* existingItem) {
    if (!newItem || !existingItem) return;
    if (m_duplicateHandler) {
        // A host callable never throws across the library. The handler may have changed the
        // existing item before it threw, so the merge is finished as if it had returned.
        try {
            m_duplicateHandler(newItem, existingItem);
        } catch (...) {
        }
        return;
    }
    CopyItem(newItem, existingItem);
}

void ZEPHTreeModel::CopyItem(ZEPHTreeItem* source, ZEPHTreeItem* target) {
    if (!source || !target) return;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        target->setData(it.key(), source->getData(it.key()));
}

// Merges `item` into `existing` and deletes it. A merge into itself copies and deletes nothing. On
// an owning model the child model that the existing item gave up, and the new item's child model
// when the merge did not take it over, are disposed of: nothing else refers to them any more.
void ZEPHTreeModel::mergeDuplicate(ZEPHTreeItem* item, ZEPHTreeItem* existing) {
    if (item == existing) return;
    QPointer<QObject> oldChild = existing->ChildModel();
    QPointer<QObject> newChild = item->ChildModel();
    HandleDuplicatedItem(item, existing);
    delete item;
    if (!ownsItems()) return;
    QObject* kept = existing->ChildModel();
    if (oldChild && oldChild != kept) disposeChildModel(oldChild.data());
    if (newChild && newChild != kept && newChild != oldChild) disposeChildModel(newChild.data());
}

// The row a single-item merge announces: the row of the item that took the new values. With the
// unique IDs that merging keeps this is also the first row carrying the ID.
int ZEPHTreeModel::mergedRow(ZEPHTreeItem* existing, const QString& id) const {
    Q_UNUSED(id)
    return rowOf(existing);
}

// Puts new rows at `row`, connects their value changes and files them under their IDs (one lookup
// of each ID).
void ZEPHTreeModel::placeRows(int row, ZEPHTreeItem* const* items, int count) {
    const int oldCount = m_items.size();
    if (row < oldCount) noteShift(row == 0 ? 0 : row + count, count);
    if (count > 1) {
        m_rows->reserve(m_rows->size() + count);
        m_idIndex->reserve(m_idIndex->size() + count);
    }
    for (int i = 0; i < count; ++i) {
        ZEPHTreeItem* item = items[i];
        const QString id = item->ID();
        ZEPHTreeItem*& entry = m_idIndex->entryFor(id);
        if (entry && entry != item) {
            // The ID now leads to the new row; the earlier holder is no longer found by ID.
            if (RowTable::Record* previous = m_rows->find(entry)) previous->filed = false;
        }
        entry = item;
        RowTable::Record& info = m_rows->insert(item);
        info.rowHint = row + i - m_hintBase;
        info.filed = true;
        info.filedId = id;
        info.connection = valueConnectionFor(item);
    }
    if (row == oldCount) {
        // QList grows by itself in steps; an exact reservation per call would copy the whole list
        // on every small append.
        if (oldCount == 0 && count > 1) m_items.reserve(count);
        for (int i = 0; i < count; ++i)
            m_items.append(items[i]);
    } else if (count == 1) {
        m_items.insert(row, items[0]);
    } else {
        QList<ZEPHTreeItem*> merged;
        merged.reserve(oldCount + count);
        merged.append(m_items.mid(0, row));
        for (int i = 0; i < count; ++i)
            merged.append(items[i]);
        merged.append(m_items.mid(row));
        m_items.swap(merged);
    }
    // A large block in the middle moves the rows behind it far from their last known rows.
    if (row > 0 && row < oldCount && count > 64) refreshRowHints(row + count);
}

bool ZEPHTreeModel::AppendItem(ZEPHTreeItem* item) {
    if (!item) return false;
    if (!isOwnerThread()) {
        const Adoption adoption = adoptInto(thread(), {item});
        return forward([item, adoption](ZEPHTreeModelWorker* w) {
            const bool done = w->AppendItem(ZEPHTreeModelWorker::ItemVariant(item));
            if (!done) adoption.undo();
            return done;
        });
    }
    if (mergeApplies(item)) {
        ZEPHTreeItem* existing = m_idIndex->value(item->ID());
        if (existing != item && hasRow(item)) return false;
        const QString id = item->ID();
        mergeDuplicate(item, existing);
        const int row = mergedRow(existing, id);
        if (row >= 0) emit dataChanged(index(row, 0), index(row, 0), QVector<int>());
    } else {
        if (hasRow(item)) return false;
        const int n = m_items.size();
        beginInsertRows(QModelIndex(), n, n);
        placeRows(n, &item, 1);
        endInsertRows();
    }
    KeepSortingCheck();
    emit rowCountChanged();
    return true;
}

bool ZEPHTreeModel::PrependItem(ZEPHTreeItem* item) {
    if (!item) return false;
    if (!isOwnerThread()) {
        const Adoption adoption = adoptInto(thread(), {item});
        return forward([item, adoption](ZEPHTreeModelWorker* w) {
            const bool done = w->PrependItem(ZEPHTreeModelWorker::ItemVariant(item));
            if (!done) adoption.undo();
            return done;
        });
    }
    bool inserted = false;
    if (mergeApplies(item)) {
        ZEPHTreeItem* existing = m_idIndex->value(item->ID());
        if (existing != item && hasRow(item)) return false;
        const QString id = item->ID();
        mergeDuplicate(item, existing);
        const int row = mergedRow(existing, id);
        if (row >= 0) emit dataChanged(index(row, 0), index(row, 0), QVector<int>());
    } else {
        if (hasRow(item)) return false;
        beginInsertRows(QModelIndex(), 0, 0);
        placeRows(0, &item, 1);
        endInsertRows();
        inserted = true;
    }
    KeepSortingCheck();
    if (inserted) emit rowCountChanged();
    return true;
}

bool ZEPHTreeModel::InsertItem(int row, ZEPHTreeItem* item) {
    if (!isOwnerThread()) {
        const Adoption adoption = adoptInto(thread(), {item});
        return forward([row, item, adoption](ZEPHTreeModelWorker* w) {
            const bool done = w->InsertItem(row, ZEPHTreeModelWorker::ItemVariant(item));
            if (!done) adoption.undo();
            return done;
        });
    }
    if (!item || row < 0 || row > m_items.size() || mergeApplies(item) || hasRow(item)) return false;
    beginInsertRows(QModelIndex(), row, row);
    placeRows(row, &item, 1);
    endInsertRows();
    KeepSortingCheck();
    emit rowCountChanged();
    return true;
}

// The list insertions walk the list first (merging duplicates in walk order, also into entries
// earlier in the same walk), then announce and insert the new rows as one block, so listeners never
// see a row before it is announced. Null entries, rows of this model and repeated pointers are
// skipped; a repeated pointer of an entry that a merge deleted is never touched again.
bool ZEPHTreeModel::insertListAt(QList<ZEPHTreeItem*> itemList, bool atHead) {
    std::vector<ZEPHTreeItem*> block;
    block.reserve(size_t(itemList.size()));
    const bool merging = m_flags & MergeDuplicatesFlag;
    const int count = itemList.size();
    QHash<QString, ZEPHTreeItem*> pendingIds;
    if (merging) pendingIds.reserve(count);
    PointerSet seen(count);
    for (int k = 0; k < count; ++k) {
        ZEPHTreeItem* entry = itemList.at(atHead ? count - 1 - k : k);
        if (!entry || !seen.insert(entry) || hasRow(entry)) continue;
        if (merging) {
            const QString id = entry->ID();
            ZEPHTreeItem* existing = m_idIndex->value(id);
            if (!existing || !hasRow(existing)) existing = pendingIds.value(id);
            if (existing) {
                mergeDuplicate(entry, existing);
                continue;
            }
            pendingIds.insert(id, entry);
        }
        block.push_back(entry);
    }
    const int added = int(block.size());
    if (added > 0) {
        if (atHead) std::reverse(block.begin(), block.end());
        const int first = atHead ? 0 : m_items.size();
        const int filedBefore = m_idIndex->size();
        beginInsertRows(QModelIndex(), first, first + added - 1);
        placeRows(first, block.data(), added);
        // Of two new rows with one ID the one inserted last is found by ID; at the head that is
        // the earlier entry of the list, as the walk runs from the last entry to the first. Only
        // needed when some new row shares its ID.
        if (atHead && m_idIndex->size() - filedBefore != added) {
            for (auto it = block.crbegin(); it != block.crend(); ++it)
                fileItem(*it);
        }
        endInsertRows();
    }
    KeepSortingCheck();
    if (added > 0) emit rowCountChanged();
    return true;
}

bool ZEPHTreeModel::AppendItemsList(QList<ZEPHTreeItem*> itemList) {
    if (itemList.isEmpty()) return true;
    if (!isOwnerThread()) {
        adoptIntoOwnerThread(itemList);
        const QVariantList variants = ZEPHTreeModelWorker::ItemVariants(itemList);
        return forward([variants](ZEPHTreeModelWorker* w) { return w->AppendItemsList(variants); });
    }
    return insertListAt(std::move(itemList), false);
}

bool ZEPHTreeModel::PrependItemsList(QList<ZEPHTreeItem*> itemList) {
    if (itemList.isEmpty()) return true;
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
    if (!changed.isValid()) return;
    emit dataChanged(changed, changed, QVector<int>());
}

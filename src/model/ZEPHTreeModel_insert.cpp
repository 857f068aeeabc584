#include "model/ZEPHTreeModel.h"

#include "core/PointerSet.h"
#include "model/ZEPHTreeModelPrivate.h"
#include "model/ZEPHTreeModelWorker.h"

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
void ZEPHTreeModelPrivate::adoptIntoOwnerThread(const QList<ZEPHTreeItem*>& items) {
    adoptInto(q_func()->thread(), items);
}

// Merging applies when flag 4 is set and the ID index leads to a row of this model.
bool ZEPHTreeModelPrivate::mergeApplies(const ZEPHTreeItem* item) const {
    if (!(flags & MergeDuplicatesFlag)) return false;
    const ZEPHTreeItem* existing = rows.filedUnder(item->ID());
    return existing && rows.isRow(existing);
}

void ZEPHTreeModel::HandleDuplicatedItem(ZEPHTreeItem* newItem, ZEPHTreeItem* existingItem) {
    Q_D(ZEPHTreeModel);
    if (!newItem || !existingItem) return;
    if (d->duplicateHandler) {
        // A host callable never throws across the library. The handler may have changed the
        // existing item before it threw, so the merge is finished as if it had returned.
        try {
            d->duplicateHandler(newItem, existingItem);
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
void ZEPHTreeModelPrivate::mergeDuplicate(ZEPHTreeItem* item, ZEPHTreeItem* existing) {
    Q_Q(ZEPHTreeModel);
    if (item == existing) return;
    QPointer<QObject> oldChild = existing->ChildModel();
    QPointer<QObject> newChild = item->ChildModel();
    q->HandleDuplicatedItem(item, existing);
    delete item;
    if (!ownsItems()) return;
    QObject* kept = existing->ChildModel();
    if (oldChild && oldChild != kept) disposeChildModel(oldChild.data());
    if (newChild && newChild != kept && newChild != oldChild) disposeChildModel(newChild.data());
}

// A forwarded single insertion: the item moves into the owner thread for the call and back when
// the model refuses it, since the caller keeps it then.
bool ZEPHTreeModelPrivate::forwardItem(ZEPHTreeItem* item, const ItemCall& call) {
    const Adoption adoption = adoptInto(q_func()->thread(), {item});
    return forward([item, adoption, call](ZEPHTreeModelWorker* w) {
        const bool done = call(w, ZEPHTreeModelWorker::ItemVariant(item));
        if (!done) adoption.undo();
        return done;
    });
}

bool ZEPHTreeModelPrivate::forwardList(const QList<ZEPHTreeItem*>& items, const ListCall& call) {
    adoptIntoOwnerThread(items);
    const QVariantList variants = ZEPHTreeModelWorker::ItemVariants(items);
    return forward([variants, call](ZEPHTreeModelWorker* w) { return call(w, variants); });
}

// The single insertion of AppendItem, PrependItem (both merge an item whose ID is filed, flag 4) and
// InsertItem (which refuses it). A merge announces the merged row as changed; only AppendItem
// announces a count change after a merge.
bool ZEPHTreeModelPrivate::insertOne(SingleInsertion kind, int row, ZEPHTreeItem* item) {
    Q_Q(ZEPHTreeModel);
    bool inserted = false;
    if (mergeApplies(item)) {
        if (kind == SingleInsertion::AtRow) return false;
        ZEPHTreeItem* existing = rows.filedUnder(item->ID());
        if (existing != item && rows.isRow(item)) return false;
        mergeDuplicate(item, existing);
        // With the unique IDs that merging keeps, the row of the item that took the new values is
        // also the first row carrying the ID.
        const int merged = rows.rowOf(existing);
        if (merged >= 0) emit q->dataChanged(q->index(merged, 0), q->index(merged, 0), QVector<int>());
    } else {
        rows.prefetchPlacing(item);
        if (rows.isRow(item)) return false;
        if (kind == SingleInsertion::Append) row = rows.count();
        q->beginInsertRows(QModelIndex(), row, row);
        rows.place(row, &item, 1);
        q->endInsertRows();
        inserted = true;
    }
    q->KeepSortingCheck();
    if (inserted || kind == SingleInsertion::Append) emit q->rowCountChanged();
    return true;
}

bool ZEPHTreeModel::AppendItem(ZEPHTreeItem* item) {
    Q_D(ZEPHTreeModel);
    if (!item) return false;
    if (!d->isOwnerThread())
        return d->forwardItem(item,
                              [](ZEPHTreeModelWorker* w, const QVariant& v) { return w->AppendItem(v); });
    return d->insertOne(ZEPHTreeModelPrivate::SingleInsertion::Append, -1, item);
}

bool ZEPHTreeModel::PrependItem(ZEPHTreeItem* item) {
    Q_D(ZEPHTreeModel);
    if (!item) return false;
    if (!d->isOwnerThread())
        return d->forwardItem(item,
                              [](ZEPHTreeModelWorker* w, const QVariant& v) { return w->PrependItem(v); });
    return d->insertOne(ZEPHTreeModelPrivate::SingleInsertion::Prepend, 0, item);
}

bool ZEPHTreeModel::InsertItem(int row, ZEPHTreeItem* item) {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread()) {
        return d->forwardItem(
            item, [row](ZEPHTreeModelWorker* w, const QVariant& v) { return w->InsertItem(row, v); });
    }
    if (!item || row < 0 || row > d->rows.count()) return false;
    return d->insertOne(ZEPHTreeModelPrivate::SingleInsertion::AtRow, row, item);
}

// The list insertions walk the list first (merging duplicates in walk order, also into entries
// earlier in the same walk), then announce and insert the new rows as one block, so listeners never
// see a row before it is announced. Null entries, rows of this model and repeated pointers are
// skipped; a repeated pointer of an entry that a merge deleted is never touched again.
bool ZEPHTreeModelPrivate::insertListAt(QList<ZEPHTreeItem*> itemList, bool atHead) {
    Q_Q(ZEPHTreeModel);
    std::vector<ZEPHTreeItem*> block;
    block.reserve(size_t(itemList.size()));
    const bool merging = flags & MergeDuplicatesFlag;
    const int count = itemList.size();
    QHash<QString, ZEPHTreeItem*> pendingIds;
    if (merging) pendingIds.reserve(count);
    PointerSet seen(count);
    for (int k = 0; k < count; ++k) {
        ZEPHTreeItem* entry = itemList.at(atHead ? count - 1 - k : k);
        if (!entry || !seen.insert(entry) || rows.isRow(entry)) continue;
        if (merging) {
            const QString id = entry->ID();
            ZEPHTreeItem* existing = rows.filedUnder(id);
            if (!existing || !rows.isRow(existing)) existing = pendingIds.value(id);
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
        const int first = atHead ? 0 : rows.count();
        const int filedBefore = rows.filedCount();
        q->beginInsertRows(QModelIndex(), first, first + added - 1);
        rows.place(first, block.data(), added);
        // Of two new rows with one ID the one inserted last is found by ID; at the head that is
        // the earlier entry of the list, as the walk runs from the last entry to the first. Only
        // needed when some new row shares its ID.
        if (atHead && rows.filedCount() - filedBefore != added) {
            for (auto it = block.crbegin(); it != block.crend(); ++it)
                rows.file(*it);
        }
        q->endInsertRows();
    }
    q->KeepSortingCheck();
    if (added > 0) emit q->rowCountChanged();
    return true;
}

bool ZEPHTreeModel::AppendItemsList(QList<ZEPHTreeItem*> itemList) {
    Q_D(ZEPHTreeModel);
    if (itemList.isEmpty()) return true;
    if (!d->isOwnerThread()) {
        return d->forwardList(
            itemList, [](ZEPHTreeModelWorker* w, const QVariantList& v) { return w->AppendItemsList(v); });
    }
    return d->insertListAt(std::move(itemList), false);
}

bool ZEPHTreeModel::PrependItemsList(QList<ZEPHTreeItem*> itemList) {
    Q_D(ZEPHTreeModel);
    if (itemList.isEmpty()) return true;
    if (!d->isOwnerThread()) {
        return d->forwardList(
            itemList, [](ZEPHTreeModelWorker* w, const QVariantList& v) { return w->PrependItemsList(v); });
    }
    return d->insertListAt(std::move(itemList), true);
}

void ZEPHTreeModel::EmitValueChange() {
    auto* item = qobject_cast<ZEPHTreeItem*>(sender());
    const int row = item ? d_func()->rows.rowOf(item) : -1;
    const QModelIndex changed = index(row, 0, QModelIndex());
    if (!changed.isValid()) return;
    emit dataChanged(changed, changed, QVector<int>());
}

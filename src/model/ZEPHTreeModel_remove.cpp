#include "model/ZEPHTreeModel.h"

#include "core/CycleGuard.h"
#include "model/ZEPHTreeModelPrivate.h"
#include "model/ZEPHTreeModelWorker.h"

#include <QMetaMethod>
#include <QPointer>
#include <QThread>

namespace {
// Models being emptied by RemoveAll() or ClearAllSourceContainer() in this thread; a cycle of
// child models reaches one of them again, and then it is neither emptied again nor disposed of.
thread_local CycleGuard::Walk t_disposal;

// Marks `model` as being emptied until the guard ends.
struct DisposalScope : CycleGuard {
    explicit DisposalScope(const QObject* model) : CycleGuard(t_disposal) { hold(model); }
};

bool beingDisposed(const QObject* object) {
    return CycleGuard::reached(t_disposal, object);
}

// Disconnects every signal of `object` except destroyed(), which views and proxies still need to
// learn that the object is gone.
void disconnectAllButDestroyed(QObject* object) {
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Signal || method.name() == "destroyed") continue;
        QObject::disconnect(object, method, nullptr, QMetaMethod());
    }
}

// Deletes `object` from its own thread's event loop; false when that thread no longer runs and
// would never get to it (a model destroyed after its owner thread ended, items made in a thread
// that ended), so that the caller deletes it at once where that is safe.
bool releaseLater(QObject* object) {
    QThread* owner = object->thread();
    if (!owner || (owner != QThread::currentThread() && !owner->isRunning())) return false;
    object->deleteLater();
    return true;
}

// Deletes `object` later, or at once when its thread no longer runs.
void release(QObject* object) {
    if (!releaseLater(object)) delete object;
}

// Deletes `object` at once where that is safe: in its own thread, or when that thread no longer
// runs. An object that lives in another running thread is deleted there instead.
void destroyNow(QObject* object) {
    QThread* owner = object->thread();
    if (!owner || owner == QThread::currentThread() || !owner->isRunning())
        delete object;
    else
        object->deleteLater();
}
} // namespace

// The items of a replacement list and their child models survive the removal of the old content,
// wherever in the tree they were before.
QSet<const QObject*> ZEPHTreeModelPrivate::keepSetFor(const QList<ZEPHTreeItem*>& items) const {
    QSet<const QObject*> keep;
    keep.reserve(items.size());
    for (ZEPHTreeItem* item : items) {
        if (!item) continue;
        keep.insert(item);
        if (QObject* child = item->ChildModel()) keep.insert(child);
    }
    return keep;
}

// Empties a child model that is released right after, under this model's keep-alive set. The
// value-change connections of its rows go with it, so it does not keep them for a return.
void ZEPHTreeModelPrivate::emptyBeforeRelease(ZEPHTreeModel* model, bool clearOnly) {
    ZEPHTreeModelPrivate* child = get(model);
    const QSet<const QObject*>* previous = child->keepAlive;
    child->keepAlive = keepAlive;
    child->releasing = true;
    if (clearOnly)
        child->clearSilently();
    else
        model->RemoveAll();
    child->releasing = false;
    child->keepAlive = previous;
}

// Readies the child model of a row that leaves for its disposal: false when it stays (a replacement
// keeps it, or it is being disposed of further up a cycle of child models). A model of this library
// is emptied first, with its own signals or silently.
bool ZEPHTreeModelPrivate::emptyForDisposal(QObject* child, bool silently) {
    if (!child || keptAlive(child) || beingDisposed(child)) return false;
    if (ZEPHTreeModel* model = modelOf(child)) emptyBeforeRelease(model, silently);
    return true;
}

// Hands every taken row that no replacement keeps to `dispose`, after its child model when that
// goes too: the one way rows taken all at once leave an owning model.
void ZEPHTreeModelPrivate::disposeOfTaken(const QList<ZEPHTreeItem*>& items, bool silently,
                                          const std::function<void(QObject*)>& dispose) {
    for (ZEPHTreeItem* item : items) {
        if (keptAlive(item)) continue;
        QObject* child = item->ChildModel();
        if (emptyForDisposal(child, silently)) dispose(child);
        dispose(item);
    }
}

void ZEPHTreeModelPrivate::disposeItem(ZEPHTreeItem* item) {
    // An item that became a row again while the removal was announced stays.
    if (!item || keptAlive(item) || rows.isRow(item)) return;
    disconnectAllButDestroyed(item);
    rows.forgetConnection(item);
    release(item);
}

// The child model of a single row that leaves: emptied (the keep-alive set of a replacement in
// progress applies inside it too), then disconnected and released. This model counts as being
// disposed of meanwhile, so that a cycle of child models leading back to it neither empties nor
// releases it.
void ZEPHTreeModelPrivate::disposeChildModel(QObject* childModel) {
    if (!childModel || childModel == q_func()) return;
    DisposalScope scope(q_func());
    if (!emptyForDisposal(childModel, false)) return;
    disconnectAllButDestroyed(childModel);
    release(childModel);
}

void ZEPHTreeModel::RemoveOne(ZEPHTreeItem* item) {
    Q_D(ZEPHTreeModel);
    if (d->rows.rowOf(item) < 0) return;
    if (d->ownsItems()) d->disposeChildModel(item->ChildModel());
    // Emptying the child model may have changed this model through its listeners.
    const int row = d->rows.rowOf(item);
    if (row < 0) return;
    beginRemoveRows(QModelIndex(), row, row);
    d->rows.unfile(d->rows.take(row));
    endRemoveRows();
}

bool ZEPHTreeModel::RemoveOne(const QString& id) {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread()) return d->forward([id](ZEPHTreeModelWorker* w) { return w->RemoveOne(id); });
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
    if (!item || !d->rows.isRow(item)) return false;
    RemoveOne(item);
    emit itemsRemoved(QStringList{id});
    emit rowCountChanged();
    if (d->ownsItems()) d->disposeItem(item);
    return true;
}

// Forwarded like the other removals, so that a call from another thread cannot change the model
// while its owner thread uses it.
bool ZEPHTreeModel::Remove(const QStringList& idList) {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread())
        return d->forward([idList](ZEPHTreeModelWorker* w) { return w->RemoveList(idList); });
    QStringList removedIds;
    QList<ZEPHTreeItem*> removed;
    for (const QString& id : idList) {
        auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
        if (!item || !d->rows.isRow(item)) continue;
        RemoveOne(item);
        removedIds.append(id);
        removed.append(item);
    }
    if (!removedIds.isEmpty()) emit itemsRemoved(removedIds);
    emit rowCountChanged();
    if (d->ownsItems()) {
        for (ZEPHTreeItem* item : removed)
            d->disposeItem(item);
    }
    return true;
}

bool ZEPHTreeModel::Remove(int rowH, int rowT) {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread())
        return d->forward([rowH, rowT](ZEPHTreeModelWorker* w) { return w->Remove(rowH, rowT); });
    if (rowH < 0 || rowH > rowT || rowT >= d->rows.count()) return false;
    beginRemoveRows(QModelIndex(), rowH, rowT);
    const QList<ZEPHTreeItem*> items = d->rows.items().mid(rowH, rowT - rowH + 1);
    QStringList ids;
    ids.reserve(items.size());
    for (ZEPHTreeItem* item : items) {
        ids.append(item->ID());
        if (d->ownsItems()) d->disposeChildModel(item->ChildModel());
    }
    // The ID index keeps leading to the removed items until the signals below were delivered.
    const QVector<RowStore::TakenRow> taken = d->rows.take(rowH, rowT);
    endRemoveRows();
    if (!ids.isEmpty()) emit itemsRemoved(ids);
    emit rowCountChanged();
    for (const RowStore::TakenRow& row : taken) {
        if (d->rows.isRow(row.item)) continue;
        d->rows.unfile(row);
        if (d->ownsItems()) d->disposeItem(row.item);
    }
    return true;
}

void ZEPHTreeModel::RemoveAll() {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread()) {
        d->forward([](ZEPHTreeModelWorker* w) {
            w->RemoveAll();
            return true;
        });
        return;
    }
    if (d->rows.isEmpty() || beingDisposed(this)) return;
    DisposalScope scope(this);
    beginRemoveRows(QModelIndex(), 0, d->rows.count() - 1);
    QList<QObject*> released;
    if (d->ownsItems()) {
        const QList<ZEPHTreeItem*> items = d->rows.items();
        released.reserve(2 * items.size());
        d->disposeOfTaken(items, false, [&released](QObject* object) { released.append(object); });
    }
    d->takeAllRows();
    // Objects whose thread no longer runs are deleted at once, but only after the signals below,
    // so that their listeners never read a deleted item (a listener may also delete one itself).
    QList<QPointer<QObject>> deleteNow;
    for (QObject* object : released) {
        if (!releaseLater(object)) deleteNow.append(object);
    }
    endRemoveRows();
    emit allItemRemoved();
    emit rowCountChanged();
    for (const QPointer<QObject>& object : deleteNow)
        delete object.data();
}

// Called by a host, the emptying is announced as a reset, so that proxies and views stacked on the
// model drop their rows with it; the items die only after the reset, so that no listener's
// destroyed() handling runs inside it.
void ZEPHTreeModel::ClearAllSourceContainer() {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread()) {
        d->forward([](ZEPHTreeModelWorker* w) {
            w->ClearAllSourceContainer();
            return true;
        });
        return;
    }
    if (d->rows.isEmpty() || beingDisposed(this)) return;
    DisposalScope scope(this);
    beginResetModel();
    const QList<ZEPHTreeItem*> items = d->takeAllRows();
    endResetModel();
    emit rowCountChanged();
    d->destroyTakenRows(items);
}

// Empties the model without a signal, for callers that announce the change themselves (an
// exchange of the content) or release the model right after.
void ZEPHTreeModelPrivate::clearSilently() {
    Q_Q(ZEPHTreeModel);
    if (rows.isEmpty() || beingDisposed(q)) return;
    DisposalScope scope(q);
    // Views hold these items too: they let go of them while the items are still alive.
    tellViewsOfSilentDrop(rows.items());
    destroyTakenRows(takeAllRows());
}

// The rows leave the model before anything is deleted, so whoever reacts to a deletion sees a
// consistent (empty) model. The items that are disposed of take their value-change connections
// with them; the others keep theirs for a return, unless the model is being released.
QList<ZEPHTreeItem*> ZEPHTreeModelPrivate::takeAllRows() {
    const QList<ZEPHTreeItem*> items = rows.items();
    if (ownsItems()) {
        for (ZEPHTreeItem* item : items) {
            if (!keptAlive(item)) rows.forgetConnection(item);
        }
    }
    rows.clear(!releasing);
    return items;
}

// Deletes rows taken out by takeAllRows() and their child models at once. A model with shared
// items owns none of them (the child models of a group view hold the items of its source, for
// instance), so it only lets go of them.
void ZEPHTreeModelPrivate::destroyTakenRows(const QList<ZEPHTreeItem*>& items) {
    if (!ownsItems()) return;
    // A cycle of child models that leads back here neither empties nor deletes this model.
    DisposalScope scope(q_func());
    disposeOfTaken(items, true, destroyNow);
}

void ZEPHTreeModel::MoveRow(int sourceRowIndex, int destinationRowIndex) {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread()) {
        d->forward([sourceRowIndex, destinationRowIndex](ZEPHTreeModelWorker* w) {
            w->MoveRow(sourceRowIndex, destinationRowIndex);
            return true;
        });
        return;
    }
    const int count = d->rows.count();
    if (sourceRowIndex < 0 || sourceRowIndex >= count || destinationRowIndex < 0 ||
        destinationRowIndex >= count)
        return;
    beginResetModel();
    d->rows.move(sourceRowIndex, destinationRowIndex);
    endResetModel();
}

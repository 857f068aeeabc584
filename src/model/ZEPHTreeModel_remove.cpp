#include "ZEPHTreeModel.h"

#include "IdIndex.h"
#include "RowTable.h"
#include "ZEPHTreeModelWorker.h"

#include <QMetaMethod>
#include <QPointer>
#include <QThread>

namespace {
// Models being emptied by RemoveAll() or ClearAllSourceContainer() in this thread; a cycle of
// child models reaches one of them again, and then it is neither emptied again nor disposed of.
thread_local QSet<const QObject*> t_disposing;

class DisposalScope {
public:
    explicit DisposalScope(const QObject* model) : m_model(model), m_entered(!t_disposing.contains(model)) {
        if (m_entered) t_disposing.insert(model);
    }
    ~DisposalScope() {
        if (m_entered) t_disposing.remove(m_model);
    }
    DisposalScope(const DisposalScope&) = delete;
    DisposalScope& operator=(const DisposalScope&) = delete;

private:
    const QObject* m_model;
    bool m_entered;
};

bool beingDisposed(const QObject* object) {
    return t_disposing.contains(object);
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

bool ZEPHTreeModel::keptAlive(const QObject* object) const {
    return m_keepAlive && m_keepAlive->contains(object);
}

// The items of a replacement list and their child models survive the removal of the old content,
// wherever in the tree they were before.
QSet<const QObject*> ZEPHTreeModel::keepSetFor(const QList<ZEPHTreeItem*>& items) const {
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
void ZEPHTreeModel::emptyBeforeRelease(ZEPHTreeModel* model, bool clearOnly) {
    const QSet<const QObject*>* previous = model->m_keepAlive;
    model->m_keepAlive = m_keepAlive;
    model->m_releasing = true;
    if (clearOnly)
        model->clearSilently();
    else
        model->RemoveAll();
    model->m_releasing = false;
    model->m_keepAlive = previous;
}

void ZEPHTreeModel::disposeItem(ZEPHTreeItem* item) {
    // An item that became a row again while the removal was announced stays.
    if (!item || keptAlive(item) || hasRow(item)) return;
    disconnectAllButDestroyed(item);
    dropValueConnection(item);
    release(item);
}

// Empties a child model of this library (the keep-alive set of a replacement in progress applies
// inside it too), then disconnects and releases it. Other objects are only disconnected and
// released. This model counts as being disposed of meanwhile, so that a cycle of child models
// leading back to it neither empties nor releases it.
void ZEPHTreeModel::disposeChildModel(QObject* childModel) {
    if (!childModel || childModel == this || keptAlive(childModel) || beingDisposed(childModel)) return;
    DisposalScope scope(this);
    if (ZEPHTreeModel* model = modelOf(childModel)) {
        emptyBeforeRelease(model, false);
    }
    disconnectAllButDestroyed(childModel);
    release(childModel);
}

void ZEPHTreeModel::RemoveOne(ZEPHTreeItem* item) {
    if (rowOf(item) < 0) return;
    if (ownsItems()) disposeChildModel(item->ChildModel());
    // Emptying the child model may have changed this model through its listeners.
    const int row = rowOf(item);
    if (row < 0) return;
    beginRemoveRows(QModelIndex(), row, row);
    m_items.removeAt(row);
    unfileItem(item);
    forgetRow(item);
    noteShift(row, -1);
    endRemoveRows();
}

bool ZEPHTreeModel::RemoveOne(const QString& id) {
    if (!isOwnerThread()) return forward([id](ZEPHTreeModelWorker* w) { return w->RemoveOne(id); });
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
    if (!item || !hasRow(item)) return false;
    RemoveOne(item);
    emit itemsRemoved(QStringList{id});
    emit rowCountChanged();
    if (ownsItems()) disposeItem(item);
    return true;
}

// Forwarded like the other removals, so that a call from another thread cannot change the model
// while its owner thread uses it.
bool ZEPHTreeModel::Remove(const QStringList& idList) {
    if (!isOwnerThread()) return forward([idList](ZEPHTreeModelWorker* w) { return w->RemoveList(idList); });
    QStringList removedIds;
    QList<ZEPHTreeItem*> removed;
    for (const QString& id : idList) {
        auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
        if (!item || !hasRow(item)) continue;
        RemoveOne(item);
        removedIds.append(id);
        removed.append(item);
    }
    if (!removedIds.isEmpty()) emit itemsRemoved(removedIds);
    emit rowCountChanged();
    if (ownsItems()) {
        for (ZEPHTreeItem* item : removed)
            disposeItem(item);
    }
    return true;
}

bool ZEPHTreeModel::Remove(int rowH, int rowT) {
    if (!isOwnerThread())
        return forward([rowH, rowT](ZEPHTreeModelWorker* w) { return w->Remove(rowH, rowT); });
    if (rowH < 0 || rowH > rowT || rowT >= m_items.size()) return false;
    beginRemoveRows(QModelIndex(), rowH, rowT);
    const QList<ZEPHTreeItem*> items = m_items.mid(rowH, rowT - rowH + 1);
    QStringList ids;
    ids.reserve(items.size());
    for (ZEPHTreeItem* item : items) {
        ids.append(item->ID());
        if (ownsItems()) disposeChildModel(item->ChildModel());
    }
    // The ID index keeps leading to the removed items until the signals below were delivered.
    QVector<bool> filed(items.size());
    QStringList filedIds;
    filedIds.reserve(items.size());
    for (int i = 0; i < items.size(); ++i) {
        filedIds.append(QString());
        filed[i] = forgetRow(items.at(i), &filedIds.last());
    }
    m_items.erase(m_items.begin() + rowH, m_items.begin() + rowT + 1);
    // Rows behind the range move up: all of them at once after a removal at the head, or by a
    // long way after a large range.
    if (rowH > 0 && items.size() > 64)
        refreshRowHints(rowH);
    else
        noteShift(rowH, -items.size());
    endRemoveRows();
    if (!ids.isEmpty()) emit itemsRemoved(ids);
    emit rowCountChanged();
    for (int i = 0; i < items.size(); ++i) {
        ZEPHTreeItem* item = items.at(i);
        if (hasRow(item)) continue;
        if (filed.at(i)) {
            m_idIndex->removeIfLeadsTo(filedIds.at(i), item);
        }
        if (ownsItems()) disposeItem(item);
    }
    return true;
}

void ZEPHTreeModel::RemoveAll() {
    if (!isOwnerThread()) {
        forward([](ZEPHTreeModelWorker* w) {
            w->RemoveAll();
            return true;
        });
        return;
    }
    if (m_items.isEmpty() || beingDisposed(this)) return;
    DisposalScope scope(this);
    beginRemoveRows(QModelIndex(), 0, m_items.size() - 1);
    const QList<ZEPHTreeItem*> items = m_items;
    QList<QObject*> released;
    if (ownsItems()) {
        released.reserve(items.size());
        for (ZEPHTreeItem* item : items) {
            if (keptAlive(item)) continue;
            QObject* child = item->ChildModel();
            if (child && !keptAlive(child) && !beingDisposed(child)) {
                if (ZEPHTreeModel* model = modelOf(child)) {
                    emptyBeforeRelease(model, false);
                }
                released.append(child);
            }
            released.append(item);
            dropValueConnection(item);
        }
    }
    dropAllRows();
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
    if (!isOwnerThread()) {
        forward([](ZEPHTreeModelWorker* w) {
            w->ClearAllSourceContainer();
            return true;
        });
        return;
    }
    if (m_items.isEmpty() || beingDisposed(this)) return;
    DisposalScope scope(this);
    beginResetModel();
    const QList<ZEPHTreeItem*> items = takeAllRows();
    endResetModel();
    emit rowCountChanged();
    destroyTakenRows(items);
}

// Empties the model without a signal, for callers that announce the change themselves (an
// exchange of the content) or release the model right after.
void ZEPHTreeModel::clearSilently() {
    if (m_items.isEmpty() || beingDisposed(this)) return;
    DisposalScope scope(this);
    // Views hold these items too: they let go of them while the items are still alive.
    tellViewsOfSilentDrop(m_items);
    destroyTakenRows(takeAllRows());
}

// The rows leave the model before anything is deleted, so whoever reacts to a deletion sees a
// consistent (empty) model.
QList<ZEPHTreeItem*> ZEPHTreeModel::takeAllRows() {
    const QList<ZEPHTreeItem*> items = m_items;
    // The items deleted afterwards take their connections with them.
    if (ownsItems()) {
        for (ZEPHTreeItem* item : items) {
            if (!keptAlive(item)) dropValueConnection(item);
        }
    }
    dropAllRows();
    return items;
}

// Deletes rows taken out by takeAllRows() and their child models at once. A model with shared
// items owns none of them (the child models of a group view hold the items of its source, for
// instance), so it only lets go of them.
void ZEPHTreeModel::destroyTakenRows(const QList<ZEPHTreeItem*>& items) {
    if (!ownsItems()) return;
    // A cycle of child models that leads back here neither empties nor deletes this model.
    DisposalScope scope(this);
    for (ZEPHTreeItem* item : items) {
        if (keptAlive(item)) continue;
        QObject* child = item->ChildModel();
        if (child && !keptAlive(child) && !beingDisposed(child)) {
            if (ZEPHTreeModel* model = modelOf(child)) {
                emptyBeforeRelease(model, true);
            }
            destroyNow(child);
        }
        destroyNow(item);
    }
}

void ZEPHTreeModel::MoveRow(int sourceRowIndex, int destinationRowIndex) {
    if (!isOwnerThread()) {
        forward([sourceRowIndex, destinationRowIndex](ZEPHTreeModelWorker* w) {
            w->MoveRow(sourceRowIndex, destinationRowIndex);
            return true;
        });
        return;
    }
    const int count = m_items.size();
    if (sourceRowIndex < 0 || sourceRowIndex >= count || destinationRowIndex < 0 ||
        destinationRowIndex >= count)
        return;
    beginResetModel();
    m_items.move(sourceRowIndex, destinationRowIndex);
    refreshRowHints(qMin(sourceRowIndex, destinationRowIndex));
    endResetModel();
}

#include "ZEPHTreeModel.h"

#include "ZEPHTreeModelWorker.h"

#include <QMetaMethod>

namespace {
// Models being emptied by RemoveAll() or ClearAllSourceContainer() in this thread; a cycle of
// child models reaches one of them again, and then it is neither emptied again nor disposed of.
thread_local QSet<const QObject*> t_disposing;

class DisposalScope {
public:
    explicit DisposalScope(const QObject* model) : m_model(model) { t_disposing.insert(model); }
    ~DisposalScope() { t_disposing.remove(m_model); }
    DisposalScope(const DisposalScope&) = delete;
    DisposalScope& operator=(const DisposalScope&) = delete;

private:
    const QObject* m_model;
};

bool beingDisposed(const QObject* object) { return t_disposing.contains(object); }

// Disconnects every signal of `object` except destroyed(), which views and proxies still need to
// learn that the object is gone.
void disconnectAllButDestroyed(QObject* object) {
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Signal || method.name() == "destroyed")
            continue;
        QObject::disconnect(object, method, nullptr, QMetaMethod());
    }
}
} // namespace

bool ZEPHTreeModel::keptAlive(const QObject* object) const { return m_keepAlive && m_keepAlive->contains(object); }

// Items of a replacement list, and their child models, survive the removal of the old content.
QSet<const QObject*> ZEPHTreeModel::keepSetFor(const QList<ZEPHTreeItem*>& items) const {
    QSet<const QObject*> keep;
    for (ZEPHTreeItem* item : items) {
        if (!item)
            continue;
        if (hasRow(item))
            keep.insert(item);
        if (QObject* child = item->ChildModel())
            keep.insert(child);
    }
    return keep;
}

void ZEPHTreeModel::disposeItem(ZEPHTreeItem* item) {
    if (!item || keptAlive(item))
        return;
    disconnectAllButDestroyed(item);
    item->deleteLater();
}

void ZEPHTreeModel::disposeChildModel(QObject* childModel) {
    if (!childModel || keptAlive(childModel) || beingDisposed(childModel))
        return;
    if (ZEPHTreeModel* model = modelOf(childModel))
        model->RemoveAll();
    disconnectAllButDestroyed(childModel);
    childModel->deleteLater();
}

void ZEPHTreeModel::RemoveOne(ZEPHTreeItem* item) {
    if (rowOf(item) < 0)
        return;
    if (ownsItems())
        disposeChildModel(item->ChildModel());
    const int row = rowOf(item);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_items.removeAt(row);
    unfileItem(item);
    m_rows.remove(item);
    endRemoveRows();
}

bool ZEPHTreeModel::RemoveOne(const QString& id) {
    if (!isOwnerThread())
        return forward([id](ZEPHTreeModelWorker* w) { return w->RemoveOne(id); });
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
    if (!item || !hasRow(item))
        return false;
    RemoveOne(item);
    emit itemsRemoved(QStringList{id});
    emit rowCountChanged();
    if (ownsItems())
        disposeItem(item);
    return true;
}

bool ZEPHTreeModel::Remove(const QStringList& idList) {
    if (!isOwnerThread())
        return forward([idList](ZEPHTreeModelWorker* w) { return w->RemoveList(idList); });
    QStringList removedIds;
    QList<ZEPHTreeItem*> removed;
    for (const QString& id : idList) {
        auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
        if (!item || !hasRow(item))
            continue;
        RemoveOne(item);
        removedIds.append(id);
        removed.append(item);
    }
    if (!removedIds.isEmpty())
        emit itemsRemoved(removedIds);
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
    if (rowH < 0 || rowH > rowT || rowT >= m_items.size())
        return false;
    beginRemoveRows(QModelIndex(), rowH, rowT);
    const QList<ZEPHTreeItem*> items = m_items.mid(rowH, rowT - rowH + 1);
    QStringList ids;
    ids.reserve(items.size());
    for (ZEPHTreeItem* item : items) {
        ids.append(item->ID());
        if (ownsItems())
            disposeChildModel(item->ChildModel());
    }
    // The ID index keeps leading to the removed items until the signals below were delivered.
    QList<RowInfo> filing;
    filing.reserve(items.size());
    for (ZEPHTreeItem* item : items)
        filing.append(m_rows.take(item));
    m_items.erase(m_items.begin() + rowH, m_items.begin() + rowT + 1);
    if (items.size() > 64)
        refreshRowHints(rowH);
    endRemoveRows();
    if (!ids.isEmpty())
        emit itemsRemoved(ids);
    emit rowCountChanged();
    for (int i = 0; i < items.size(); ++i) {
        ZEPHTreeItem* item = items.at(i);
        if (filing.at(i).filed) {
            auto entry = m_idIndex.find(filing.at(i).filedId);
            if (entry != m_idIndex.end() && entry.value() == item)
                m_idIndex.erase(entry);
        }
        if (ownsItems())
            disposeItem(item);
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
    if (m_items.isEmpty() || beingDisposed(this))
        return;
    DisposalScope scope(this);
    beginRemoveRows(QModelIndex(), 0, m_items.size() - 1);
    if (ownsItems()) {
        const QList<ZEPHTreeItem*> items = m_items;
        for (ZEPHTreeItem* item : items) {
            if (keptAlive(item))
                continue;
            QObject* child = item->ChildModel();
            if (child && !keptAlive(child) && !beingDisposed(child)) {
                if (ZEPHTreeModel* model = modelOf(child))
                    model->RemoveAll();
                child->deleteLater();
            }
            item->deleteLater();
        }
    }
    dropAllRows();
    endRemoveRows();
    emit allItemRemoved();
    emit rowCountChanged();
}

void ZEPHTreeModel::ClearAllSourceContainer() {
    if (!isOwnerThread()) {
        forward([](ZEPHTreeModelWorker* w) {
            w->ClearAllSourceContainer();
            return true;
        });
        return;
    }
    if (m_items.isEmpty() || beingDisposed(this))
        return;
    DisposalScope scope(this);
    // The rows leave the model before anything is deleted, so whoever reacts to a deletion sees a
    // consistent (empty) model.
    const QList<ZEPHTreeItem*> items = m_items;
    dropAllRows();
    for (ZEPHTreeItem* item : items) {
        if (keptAlive(item))
            continue;
        QObject* child = item->ChildModel();
        if (child && !keptAlive(child) && !beingDisposed(child)) {
            if (ZEPHTreeModel* model = modelOf(child))
                model->ClearAllSourceContainer();
            delete child;
        }
        delete item;
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
    if (sourceRowIndex < 0 || sourceRowIndex >= count || destinationRowIndex < 0 || destinationRowIndex >= count)
        return;
    beginResetModel();
    m_items.move(sourceRowIndex, destinationRowIndex);
    refreshRowHints(qMin(sourceRowIndex, destinationRowIndex));
    endResetModel();
}

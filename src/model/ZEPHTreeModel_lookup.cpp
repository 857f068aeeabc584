#include "model/ZEPHTreeModel.h"

#include "core/CycleGuard.h"
#include "model/ZEPHTreeModelPrivate.h"

namespace {
// The models visited by one recursive lookup, shared by the nested calls of that lookup in this
// thread, so that a cycle of child models ends instead of recursing forever. Each kind of lookup has
// its own walk, so that a view whose override of one calls the other still sees a whole tree.
thread_local CycleGuard::Walk t_findWalk;
thread_local CycleGuard::Walk t_idsWalk;

// A child model that recursive lookups descend into: any implementation of the model interface, the
// library's own or a host's. Other objects (a plain QObject, a foreign item model) are skipped.
IZEPHTreeModel* lookupModelOf(QObject* object) {
    return object ? dynamic_cast<IZEPHTreeModel*>(object) : nullptr;
}
} // namespace

QObject* ZEPHTreeModel::FindItem(int row) const {
    return d_func()->rows.itemAt(row);
}

QObject* ZEPHTreeModel::FindItem(const QString& id, bool includeChildModel) const {
    // The index is consulted before any child model, so a row of this model wins over equal IDs
    // deeper in the tree.
    Q_D(const ZEPHTreeModel);
    if (ZEPHTreeItem* own = d->rows.filedUnder(id)) return own;
    return includeChildModel ? d->findInChildModels(id) : nullptr;
}

// Depth-first through the child models, in row order.
QObject* ZEPHTreeModelPrivate::findInChildModels(const QString& id) const {
    CycleGuard guard(t_findWalk);
    guard.enter(q_func());
    for (ZEPHTreeItem* item : rows.items()) {
        IZEPHTreeModel* child = lookupModelOf(item->ChildModel());
        if (!child || !guard.enter(child)) continue;
        if (QObject* found = child->FindItem(id, true)) return found;
    }
    return nullptr;
}

QString ZEPHTreeModel::FindItemID(int row) const {
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(row));
    return item ? item->ID() : QString();
}

int ZEPHTreeModel::FindItemRow(const QString& id) const {
    // A row past the row count (a view that shows fewer rows than it holds) is not one.
    const int row = d_func()->rows.firstRowWithId(id);
    return row < rowCount() ? row : -1;
}

QVariant ZEPHTreeModel::FindItemValue(int row, int role) const {
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(row));
    return item ? item->getData(role) : QVariant();
}

QVariant ZEPHTreeModel::FindItemValue(int row, const QString& roleName) const {
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(row));
    return item ? item->getData(roleName) : QVariant();
}

QVariant ZEPHTreeModel::FindItemValue(const QString& id, int role) const {
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
    return item ? item->getData(role) : QVariant();
}

QVariant ZEPHTreeModel::FindItemValue(const QString& id, const QString& roleName) const {
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
    return item ? item->getData(roleName) : QVariant();
}

QVariant ZEPHTreeModel::FindItemValueEx(const QString& id, int role, bool includeChildModel) const {
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, includeChildModel));
    return item ? item->getData(role) : QVariant();
}

QVariant ZEPHTreeModel::FindItemValueEx(const QString& id, const QString& roleName,
                                        bool includeChildModel) const {
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, includeChildModel));
    return item ? item->getData(roleName) : QVariant();
}

void ZEPHTreeModel::GetAllIDs(QList<QString>& ids, bool includeChildModel) {
    const QList<ZEPHTreeItem*>& items = d_func()->rows.items();
    if (!includeChildModel) {
        ids.reserve(ids.size() + items.size());
        for (ZEPHTreeItem* item : items)
            ids.append(item->ID());
        return;
    }
    CycleGuard guard(t_idsWalk);
    guard.enter(this);
    for (ZEPHTreeItem* item : items) {
        ids.append(item->ID());
        IZEPHTreeModel* child = lookupModelOf(item->ChildModel());
        if (child && guard.enter(child)) child->GetAllIDs(ids, true);
    }
}

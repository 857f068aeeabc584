#include "model/ViewLink.h"

#include "model/ZEPHTreeModelPrivate.h"

#include <QPointer>
#include <QSet>

#include <memory>

ViewLink::ViewLink(ZEPHTreeModel* model, bool rowsInList) : m_model(model), m_rowsInList(rowsInList) {}

ViewLink::~ViewLink() = default;

const RowStore& ViewLink::rows() const {
    return ZEPHTreeModelPrivate::get(m_model)->rows;
}

const QList<ZEPHTreeItem*>* ViewLink::rowList() const {
    return m_rowsInList ? &rows().items() : nullptr;
}

ZEPHTreeItem* ViewLink::itemAt(int row) const {
    if (m_rowsInList) return rows().itemAt(row);
    return qobject_cast<ZEPHTreeItem*>(m_model->FindItem(row));
}

int ViewLink::rowOf(const ZEPHTreeItem* item) const {
    if (!item) return -1;
    if (m_rowsInList) return rows().rowOf(item);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->FindItem(row) == item) return row;
    }
    return -1;
}

bool ViewLink::isRow(const ZEPHTreeItem* item) const {
    if (m_rowsInList) return item && rows().isRow(item);
    return rowOf(item) >= 0;
}

bool ViewLink::announcesChangesOf(const ZEPHTreeItem* item) const {
    return rows().announcesChangesOf(item);
}

int ViewLink::roleForName(const QString& roleName) const {
    return ZEPHTreeModelPrivate::get(m_model)->roleForName(roleName);
}

// The set is made at the first question, so a test that is never asked costs nothing.
std::function<bool(const ZEPHTreeItem*)> ViewLink::rowTest() const {
    if (knowsRowsAtOnce()) return [this](const ZEPHTreeItem* item) { return isRow(item); };
    auto rows = std::make_shared<QSet<const ZEPHTreeItem*>>();
    auto walked = std::make_shared<bool>(false);
    return [this, rows, walked](const ZEPHTreeItem* item) {
        if (!*walked) {
            for (int row = 0; row < m_model->rowCount(); ++row) {
                if (const ZEPHTreeItem* shown = itemAt(row)) rows->insert(shown);
            }
            *walked = true;
        }
        return rows->contains(item);
    };
}

// A model without a link has no views to tell. The flag is restored, not cleared, for a listener
// that sorts the same model again inside the announcement; a listener may also delete the model.
void ViewLink::announceNewOrder(ZEPHTreeModel* model) {
    const int count = ZEPHTreeModelPrivate::get(model)->rows.count();
    ViewLink* link = ZEPHTreeModelPrivate::get(model)->viewLink.get();
    if (!link) {
        emit model->dataChanged(model->index(0, 0), model->index(count - 1, 0), QVector<int>());
        return;
    }
    const bool before = link->m_announcingNewOrder;
    link->m_announcingNewOrder = true;
    const QPointer<ZEPHTreeModel> alive(model);
    emit model->dataChanged(model->index(0, 0), model->index(count - 1, 0), QVector<int>());
    if (alive && ZEPHTreeModelPrivate::get(model)->viewLink.get() == link)
        link->m_announcingNewOrder = before;
}

void ViewLink::addListener(SourceListener* listener) {
    if (!m_listeners.contains(listener)) m_listeners.append(listener);
}

void ViewLink::removeListener(SourceListener* listener) {
    m_listeners.removeAll(listener);
}

// A listener may end another one (a view deleted by a listener of its signals): only those still
// registered are called.
void ViewLink::tellSilentDrop(QList<ZEPHTreeItem*> items) {
    if (m_muted || items.isEmpty() || m_listeners.isEmpty()) return;
    const QVector<SourceListener*> listeners = m_listeners;
    for (SourceListener* listener : listeners) {
        if (m_listeners.contains(listener)) listener->sourceDropsSilently(items);
    }
}

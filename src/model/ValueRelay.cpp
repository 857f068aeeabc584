#include "model/ValueRelay.h"

#include "item/ZEPHTreeItem.h"
#include "model/RowStore.h"

#include <QEvent>

namespace {
const int valueChangedIndex = ZEPHTreeItem::staticMetaObject.indexOfSignal("valueChanged()");
const int firstSlotIndex = QObject::staticMetaObject.methodCount();
} // namespace

ValueRelay::ValueRelay(RowStore* store, int firstSlot, QObject* parent)
    : QObject(parent), m_store(store), m_firstSlot(firstSlot) {}

// Automatic type, so that a change made in another thread reaches the model in its own thread.
void ValueRelay::connectItem(QObject* item, int slot) {
    QMetaObject::connect(item, valueChangedIndex, this, firstSlotIndex + slot - m_firstSlot,
                         Qt::AutoConnection | Qt::UniqueConnection);
}

void ValueRelay::disconnectItem(QObject* item, int slot) {
    QMetaObject::disconnect(item, valueChangedIndex, this, firstSlotIndex + slot - m_firstSlot);
}

int ValueRelay::qt_metacall(QMetaObject::Call call, int id, void** arguments) {
    id = QObject::qt_metacall(call, id, arguments);
    if (id < 0 || call != QMetaObject::InvokeMetaMethod) return id;
    if (id < Capacity && m_store) {
        // A queued change may have waited while its item left and another took its slot: only the
        // sender tells, and it is null once the item is disconnected. A direct call comes through a
        // live connection, so the slot's item is the sender.
        if (!m_queued)
            m_store->announceSlotChange(m_firstSlot + id);
        else if (QObject* item = sender())
            m_store->announceValueChange(static_cast<ZEPHTreeItem*>(item));
    }
    return -1;
}

// Queued calls arrive as events; direct ones do not.
bool ValueRelay::event(QEvent* event) {
    if (event->type() != QEvent::MetaCall) return QObject::event(event);
    const bool wasQueued = m_queued;
    m_queued = true;
    const bool done = QObject::event(event);
    m_queued = wasQueued;
    return done;
}

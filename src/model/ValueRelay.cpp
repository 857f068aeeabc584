#include "model/ValueRelay.h"

#include "item/ZEPHTreeItem.h"
#include "model/RowStore.h"

namespace {
const int valueChangedIndex = ZEPHTreeItem::staticMetaObject.indexOfSignal("valueChanged()");
const int relayIndex = ValueRelay::staticMetaObject.indexOfSlot("relay()");
} // namespace

ValueRelay::ValueRelay(RowStore* store, QObject* parent) : QObject(parent), m_store(store) {}

// Automatic type, so that a change made in another thread reaches the model in its own thread.
void ValueRelay::connectItem(QObject* item) {
    QMetaObject::connect(item, valueChangedIndex, this, relayIndex,
                         Qt::AutoConnection | Qt::UniqueConnection);
}

// Only items connect here. A queued change whose item has been disconnected or deleted since finds
// no sender.
void ValueRelay::relay() {
    if (m_store) {
        if (QObject* item = sender()) m_store->announceValueChange(static_cast<ZEPHTreeItem*>(item));
    }
}

#include "model/ValueRelay.h"

#include "item/ZEPHTreeItem.h"
#include "model/RowStore.h"

#include <QMetaMethod>

ValueRelay::ValueRelay(RowStore* rows, QObject* parent) : QObject(parent), m_rows(rows) {}

QMetaObject::Connection ValueRelay::connectItem(ZEPHTreeItem* item) {
    static const QMetaMethod changed = QMetaMethod::fromSignal(&ZEPHTreeItem::valueChanged);
    static const int slot = staticMetaObject.indexOfSlot("relay()");
    return QMetaObject::connect(item, changed.methodIndex(), this, slot);
}

void ValueRelay::relay() {
    // Only items are connected; null when the connection went away before a queued call arrived.
    if (QObject* item = sender()) m_rows->announceValueChange(static_cast<ZEPHTreeItem*>(item));
}

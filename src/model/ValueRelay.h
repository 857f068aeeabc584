#pragma once

#include <QObject>

class RowStore;

// Carries the value changes of many items into their model, each item through a slot of its own.
// A connection to a slot by its index needs no slot object (the 48 bytes a functor per item would
// add), and the slot's number tells which item changed: QObject::sender() would have to walk every
// connection into the relay. The slots are not declared to moc: qt_metacall() answers the method
// indices after QObject's own, as dynamic slots do.
class ValueRelay : public QObject {
public:
    /// The slots of one relay.
    static constexpr int Capacity = 1024;

    /// A relay for the store's slots `firstSlot` to `firstSlot + Capacity - 1`.
    ValueRelay(RowStore* store, int firstSlot, QObject* parent);
    /// Connects `item`'s valueChanged() to the store's slot `slot`, unless it already is.
    void connectItem(QObject* item, int slot);
    /// Ends that connection.
    void disconnectItem(QObject* item, int slot);
    /// Stops passing changes on (the row store is going away).
    void detach() { m_store = nullptr; }

    int qt_metacall(QMetaObject::Call call, int id, void** arguments) override;

protected:
    bool event(QEvent* event) override;

private:
    RowStore* m_store;
    int m_firstSlot;
    bool m_queued = false;
};

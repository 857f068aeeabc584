#pragma once

#include <QObject>

class RowStore;

// Carries the value changes of a few dozen items into their model. A connection to a slot by its
// index needs no slot object, which a functor per item would add, but the slot then learns the item
// only from QObject::sender(), which walks every connection into the receiver: so each relay takes
// a bounded share of the items, and the walk stays short however many rows the model has.
class ValueRelay : public QObject {
    Q_OBJECT
public:
    /// The most items whose changes one relay carries.
    static constexpr int Capacity = 32;

    ValueRelay(RowStore* store, QObject* parent);
    /// Connects `item`'s valueChanged() to this relay, unless it already is.
    void connectItem(QObject* item);
    /// Stops passing changes on (the row store is going away).
    void detach() { m_store = nullptr; }

private slots:
    void relay();

private:
    RowStore* m_store;
};

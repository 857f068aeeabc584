#pragma once

#include <QObject>

class RowStore;
class ZEPHTreeItem;

// Turns value changes of items into dataChanged of their rows, for a share of a model's rows. Items
// are connected to its slot by method index, which needs no slot object per item; the slot learns
// the item from sender(), which walks the connections into the relay, so each relay serves only a
// few dozen rows.
class ValueRelay : public QObject {
    Q_OBJECT
public:
    /// About how many rows one relay serves.
    static constexpr int Share = 64;

    ValueRelay(RowStore* rows, QObject* parent);
    /// Connects the value changes of `item` to this relay.
    QMetaObject::Connection connectItem(ZEPHTreeItem* item);

private slots:
    void relay();

private:
    RowStore* m_rows;
};

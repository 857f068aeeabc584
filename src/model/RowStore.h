#pragma once

#include "model/RowTable.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVector>

#include <climits>
#include <memory>
#include <vector>

class ValueRelay;
class ZEPHTreeItem;
class ZEPHTreeModel;

// The rows of a model: the item list in row order, a record per row (the ID the ID index files it
// under, a hint of its row; its position numbers the relay slot of its value-change connection), the
// ID index, and the records of items that stopped being rows but stay connected. The model and its
// views ask and change rows only through this interface, so that its tables may change without them.
class RowStore {
public:
    /// A row taken out by take(): the ID index may still lead to the item until unfile().
    struct TakenRow {
        ZEPHTreeItem* item = nullptr;
    };

    explicit RowStore(ZEPHTreeModel* model);
    ~RowStore();
    RowStore(const RowStore&) = delete;
    RowStore& operator=(const RowStore&) = delete;

    int count() const { return m_items.size(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    /// The item at `row`, or null.
    ZEPHTreeItem* itemAt(int row) const {
        return row >= 0 && row < m_items.size() ? m_items.at(row) : nullptr;
    }
    const QList<ZEPHTreeItem*>& items() const { return m_items; }
    /// The item list itself, for the host (changing it bypasses the records and the ID index).
    QList<ZEPHTreeItem*>* list() {
        m_listHandedOut = true;
        return &m_items;
    }
    /// True once list() has handed the item list out: its order may have changed unseen since.
    bool listHandedOut() const { return m_listHandedOut; }
    /// True when `item` is one of the rows.
    bool isRow(const ZEPHTreeItem* item) const {
        const RowRecord* record = m_rows->find(item);
        return record && !record->taken;
    }
    /// Row of `item`, or -1; starts at the row where it was last seen, so it is cheap after small
    /// shifts.
    int rowOf(const ZEPHTreeItem* item) const;
    /// The first row whose item has the ID `id`, or -1: from the ID index while every row is filed
    /// under its current ID, else by a scan.
    int firstRowWithId(const QString& id) const;
    /// The item the ID index files under `id`, or null.
    ZEPHTreeItem* filedUnder(const QString& id) const {
        const RowRecord* record = m_rows->filedUnder(id);
        return record ? const_cast<ZEPHTreeItem*>(record->item) : nullptr;
    }
    /// How many IDs the ID index holds.
    int filedCount() const { return m_rows->filedCount(); }
    /// True when a value change of the row `item` reaches the model's dataChanged.
    bool announcesChangesOf(const ZEPHTreeItem* item) const;
    /// True while rows that came in without a value-change connection are held.
    bool hasSilentRows() const { return m_hasSilentRows; }

    /// Starts loading what placing `item` reads first: its ID's slot misses the cache in a large
    /// model, and this lets the miss overlap the lookup by item that comes before.
    void prefetchPlacing(const ZEPHTreeItem* item) const;
    /// Puts new rows at `row`, connects their value changes and files them under their IDs.
    void place(int row, ZEPHTreeItem* const* items, int count);
    /// Appends `item` as a row without a value-change connection, filed under its ID.
    void placeSilently(ZEPHTreeItem* item);
    /// Files a row under its current ID, in place of whatever the ID led to.
    void file(ZEPHTreeItem* item);
    /// Takes rows `first` to `last` out; their value-change connections are kept for a return, and
    /// the ID index still leads to them.
    QVector<TakenRow> take(int first, int last);
    /// take() for the one row `row`.
    TakenRow take(int row);
    /// Removes the ID index entry of a taken row when it still leads to its item (unless the item
    /// became a row again).
    void unfile(const TakenRow& row);
    /// Drops every row and record; `keepConnections` keeps their value-change connections for a
    /// return.
    void clear(bool keepConnections);
    /// Forgets the value-change connection of an item being disposed of (disposal ends it).
    void forgetConnection(const ZEPHTreeItem* item);
    /// Replaces the row order by a permutation of the same items.
    void setOrder(QList<ZEPHTreeItem*> items);
    /// Moves the row at `from` to `to`.
    void move(int from, int to);
    /// move() for a row that moves far: the rows in between keep their hints, one row off.
    void moveRow(int from, int to);
    /// Turns the rows `first` to `last` round.
    void reverseRows(int first, int last);
    /// Appends items that are shown until an announced removal: neither rows nor filed.
    void appendShownOnly(const QList<ZEPHTreeItem*>& items);
    /// Emits dataChanged for the row of `item`, whose value changed.
    void announceValueChange(ZEPHTreeItem* item);
    /// announceValueChange() for the item of the record at position `slot`, whose relay slot it is.
    void announceSlotChange(int slot);
    /// Drops the list's entries from `count` on (only entries appended by appendShownOnly()).
    void truncate(int count);

private:
    static void disposeOf(QObject* object);
    void connectValueChanges(RowRecord& record);
    ValueRelay* relayFor(int position);
    void keepConnection(RowRecord& record);
    void dropKept(const RowRecord& record);
    void sweepKept();
    void release(RowRecord& record);
    int rowOf(RowRecord& record) const;
    void announceChange(RowRecord& record);
    void refreshHints(int from) const;
    void noteShift(int row, int delta);
    TakenRow forget(ZEPHTreeItem* item);
    void eraseRows(int first, int count);
    void fileRecord(RowRecord& record, const QString& id);

    ZEPHTreeModel* m_model;
    QList<ZEPHTreeItem*> m_items;
    // The relays, each with ValueRelay::Capacity slots: the slot numbered as a record's position
    // carries the value changes of its item, while the record is connected.
    std::vector<ValueRelay*> m_relays;
    QObject* m_relayHolder = nullptr;         // a child of the model, the parent of the relays
    std::vector<ValueRelay*> m_retiredRelays; // detached, of rows dropped without their connections
    // The records of the rows, of the taken rows that the ID index still files, and of the items
    // that stay connected after they left; it is the ID index too.
    std::unique_ptr<RowTable> m_rows;
    int m_takenCount = 0; // records in use that are not rows
    // Row hints are stored relative to this offset, so that insertions and removals at the head
    // shift every hint at once.
    mutable int m_hintBase = 0;
    // Rows from here on may have drifted from their hints (insertions and removals in the middle);
    // the hints of the rows before it are exact, so a refresh can start here.
    mutable int m_staleFrom = INT_MAX;
    // Guards of the items that stay connected though they are no longer rows (a model with shared
    // items keeps removed items connected), by record position, so that the records of the items
    // deleted meanwhile can be freed. Swept when the map has doubled since the last sweep.
    QHash<int, QPointer<QObject>> m_keptGuards;
    int m_keptAfterSweep = 0;
    // Set when rows came in without a value-change connection (ReplaceItemsListEx), until the
    // rows are dropped: their changes may go unannounced.
    bool m_hasSilentRows = false;
    bool m_listHandedOut = false;
    // Set when a row may no longer be filed under its current ID (two rows share an ID, or a row's
    // ID changed), until the rows are dropped.
    bool m_idsUnsure = false;
};

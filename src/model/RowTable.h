#pragma once

#include "core/SlotIndex.h"

#include <QHash>
#include <QString>
#include <QVector>

#include <vector>

class ZEPHTreeItem;

// What a model keeps of an item: a row; a row taken out that the ID index still files, until its
// removal has been announced; or an item that left but stays connected for a return (a model with
// shared items keeps removed items connected). A free record has no item.
struct RowRecord {
    RowRecord() : rowHint(0), filed(false), taken(false), connected(false) {}
    const ZEPHTreeItem* item = nullptr;
    QString filedId; // the ID under which the ID index files the item, while `filed`
    uint idHash = 0; // hash of filedId
    // Rows past 2^28 only in hints gone stale, which rowOf() corrects.
    int rowHint : 29;
    bool filed : 1;
    bool taken : 1; // not a row
    // The item's valueChanged() reaches the relay slot numbered as the record's position.
    bool connected : 1;
};

// A QString is one pointer that may be moved bytewise.
Q_DECLARE_TYPEINFO(RowRecord, Q_MOVABLE_TYPE);
static_assert(sizeof(void*) != 8 || sizeof(RowRecord) == 24, "a row record is three words");

// The records of a model's items in one array, found by the item's address and, for the records
// the ID index files, by that ID: a row costs one record and two slots. A record keeps its position
// while it is in use, and a freed position goes to the next new record: the position also numbers
// the item's value-change slot. Record references are valid until the next insert().
class RowTable {
public:
    /// The record of `item`, or null.
    RowRecord* find(const ZEPHTreeItem* item) {
        if (m_live == 0) return nullptr;
        const long position = m_byItem.entryAt(itemSlot(item));
        return position >= 0 ? recordAt(position) : nullptr;
    }
    const RowRecord* find(const ZEPHTreeItem* item) const { return const_cast<RowTable*>(this)->find(item); }
    /// The record of `item`; a new one, not filed and not connected, when there is none.
    RowRecord& insert(const ZEPHTreeItem* item);
    /// Frees `record` and drops its ID entry. Its position goes to another item next, so the item's
    /// value-change connection must be gone.
    void erase(RowRecord& record);
    /// The record the ID index files under `id`, or null.
    RowRecord* filedUnder(const QString& id) {
        if (m_filed == 0) return nullptr;
        const long position = m_byId.entryAt(idSlot(id, idHash(id)));
        return position >= 0 ? recordAt(position) : nullptr;
    }
    /// Starts loading what filing a record under `id` reads first.
    void prefetchFiling(const QString& id) const { m_byId.prefetch(idHash(id)); }
    /// Files `record` under `id`; returns the record the ID led to before, which is no longer
    /// filed, or null.
    RowRecord* file(RowRecord& record, const QString& id);
    /// file() for a record that is not filed, under the ID already in its filedId and idHash.
    RowRecord* fileAsSet(RowRecord& record);
    /// Drops the ID entry of `record`, if it has one.
    void unfile(RowRecord& record);
    /// Hash of an ID as the table files it: seeded like Qt's own hashes, so that a crafted set of
    /// IDs is no easier to collide than there.
    static uint idHash(const QString& id) { return qHash(id, uint(qGlobalQHashSeed())); }
    /// The record at `position`, free or not (see positionOf()).
    RowRecord& at(int position) { return m_records[position]; }
    int positionOf(const RowRecord& record) const { return int(&record - m_records.constData()); }
    /// Positions in use are below this.
    int extent() const { return m_records.size(); }
    /// How many records the ID index files.
    int filedCount() const { return m_filed; }
    /// How many records are in use.
    int size() const { return m_live; }
    /// Makes room for `count` more records: exactly when the table is empty (a bulk load), else
    /// with room to spare, so that many small blocks do not copy the records every time.
    void reserve(int count);
    /// Drops every record and the memory they used.
    void clear();
    QVector<RowRecord>::iterator begin() { return m_records.begin(); }
    QVector<RowRecord>::iterator end() { return m_records.end(); }

private:
    // The records are never shared, so no detaching check is needed to write one.
    RowRecord* recordAt(long position) { return const_cast<RowRecord*>(m_records.constData()) + position; }
    static uint64_t itemHash(const ZEPHTreeItem* item) { return uint64_t(reinterpret_cast<uintptr_t>(item)); }
    // The slot of `item`'s record, or the empty slot where a new one goes.
    size_t itemSlot(const ZEPHTreeItem* item) const {
        return m_byItem.probe(itemHash(item), [&](size_t at) { return m_records.at(int(at)).item == item; });
    }
    // The slot of the record filed under `id` (hashed to `hash`), or the empty slot where one goes.
    size_t idSlot(const QString& id, uint hash) const {
        return m_byId.probe(hash, [&](size_t at) {
            const RowRecord& record = m_records.at(int(at));
            return record.idHash == hash && record.filedId == id;
        });
    }
    void rehash(size_t slotCount);

    QVector<RowRecord> m_records;
    std::vector<int> m_free; // free positions, the next one last
    // Both cover every position, so that positions fit in their slots.
    SlotIndex m_byItem;
    SlotIndex m_byId; // the filed records only
    int m_live = 0;
    int m_filed = 0;
};

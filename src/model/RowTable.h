#pragma once

#include "core/SlotIndex.h"

#include <QHash>
#include <QString>
#include <QVector>

class ZEPHTreeItem;

// What a model keeps of an item that is one of its rows, or was until the removal now being
// announced: the ID index still leads to such an item until its record is dropped.
struct RowRecord {
    RowRecord() : rowHint(0), filed(false), taken(false) {}
    const ZEPHTreeItem* item = nullptr;
    QString filedId; // the ID under which the ID index files the item, while `filed`
    // Rows passed 2^29 only in hints gone stale, which rowOf() corrects.
    int rowHint : 30;
    bool filed : 1;
    bool taken : 1; // no longer a row
    // The relay slot that carries the item's value changes into the model, or -1.
    int relay = -1;
};

// A QString is one pointer that may be moved bytewise.
Q_DECLARE_TYPEINFO(RowRecord, Q_MOVABLE_TYPE);
static_assert(sizeof(void*) != 8 || sizeof(RowRecord) == 24, "a row record is three words");

// The records of a model's items in one array, found by the item's address and, for the records
// the ID index files, by that ID. A record that the ID index files lives in the same place as the
// row's own record, so a row costs one record and two slots. Taking a record out moves the last one
// into the gap: record pointers are valid until the next insert() or erase().
class RowTable {
public:
    /// The record of `item`, or null.
    RowRecord* find(const ZEPHTreeItem* item) {
        if (m_records.isEmpty()) return nullptr;
        const long position = m_byItem.entryAt(itemSlot(item));
        return position >= 0 ? recordAt(position) : nullptr;
    }
    const RowRecord* find(const ZEPHTreeItem* item) const { return const_cast<RowTable*>(this)->find(item); }
    /// The record of `item`; a new one, not filed, when there is none.
    RowRecord& insert(const ZEPHTreeItem* item);
    /// Drops the record of `item` and its ID entry; returns the record moved into its place, if any.
    RowRecord* erase(const ZEPHTreeItem* item);
    /// The record the ID index files under `id`, or null.
    RowRecord* filedUnder(const QString& id) {
        if (m_filed == 0) return nullptr;
        const long position = m_byId.entryAt(idSlot(id, idHash(id)));
        return position >= 0 ? recordAt(position) : nullptr;
    }
    /// Files `record` under `id`; returns the record the ID led to before, which is no longer
    /// filed, or null.
    RowRecord* file(RowRecord& record, const QString& id);
    /// file() for a record that is not filed, under the ID already in its filedId, which hashes to
    /// `hash`.
    RowRecord* fileAsSet(RowRecord& record, uint hash);
    /// Hash of an ID as the table files it: seeded like Qt's own hashes, so that a crafted set of
    /// IDs is no easier to collide than there.
    static uint idHash(const QString& id) { return qHash(id, uint(qGlobalQHashSeed())); }
    /// The record at `position` (see positionOf()), valid until the next insert() or erase().
    RowRecord& at(int position) { return m_records[position]; }
    int positionOf(const RowRecord& record) const { return int(&record - m_records.constData()); }
    /// How many records the ID index files.
    int filedCount() const { return m_filed; }
    int size() const { return m_records.size(); }
    /// Makes room for `count` records in all: exactly when the table is empty (a bulk load), else
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
        return m_byId.probe(hash, [&](size_t at) { return m_records.at(int(at)).filedId == id; });
    }
    uint64_t filedHash(size_t position) const { return idHash(m_records.at(int(position)).filedId); }
    void unfile(size_t position);
    void rehash(size_t slotCount);

    QVector<RowRecord> m_records;
    SlotIndex m_byItem;
    SlotIndex m_byId; // the filed records only
    int m_filed = 0;
};

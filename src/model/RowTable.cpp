#include "model/RowTable.h"

#include <QHash>

#include <algorithm>

RowRecord& RowTable::insert(const ZEPHTreeItem* item) {
    if (!m_byItem.fits(size_t(m_records.size()) + 1))
        rehash(m_byItem.slotCount() ? 2 * m_byItem.slotCount() : 16);
    const size_t slot = itemSlot(item);
    const long position = m_byItem.entryAt(slot);
    if (position >= 0) return m_records[int(position)];
    m_records.append(RowRecord());
    m_records.last().item = item;
    m_byItem.set(slot, itemHash(item), size_t(m_records.size()) - 1);
    return m_records.last();
}

RowRecord* RowTable::file(RowRecord& record, const QString& id) {
    if (record.filed) {
        if (record.filedId == id) return nullptr;
        unfile(size_t(positionOf(record)));
    }
    record.filedId = id;
    return fileAsSet(record, idHash(id));
}

// Copies no string: a loop over many records then runs without atomic reference counting, which
// would keep the processor from waiting for several cache misses at once.
RowRecord* RowTable::fileAsSet(RowRecord& record, uint hash) {
    const size_t slot = idSlot(record.filedId, hash);
    RowRecord* previous = nullptr;
    if (m_byId.entryAt(slot) >= 0) {
        previous = &m_records[int(m_byId.entryAt(slot))];
        previous->filed = false;
    } else {
        ++m_filed;
    }
    m_byId.set(slot, hash, size_t(positionOf(record)));
    record.filed = true;
    return previous;
}

void RowTable::unfile(size_t position) {
    RowRecord& record = m_records[int(position)];
    if (!record.filed) return;
    m_byId.erase(m_byId.slotOf(idHash(record.filedId), position),
                 [this](size_t at) { return filedHash(at); });
    record.filed = false;
    --m_filed;
}

// The last record moves into the gap, and both indexes are told of its new place.
RowRecord* RowTable::erase(const ZEPHTreeItem* item) {
    RowRecord* record = find(item);
    if (!record) return nullptr;
    const size_t position = positionOf(*record);
    unfile(position);
    m_byItem.erase(m_byItem.slotOf(itemHash(item), position),
                   [this](size_t at) { return itemHash(m_records.at(int(at)).item); });
    const size_t last = size_t(m_records.size()) - 1;
    if (position != last) {
        const RowRecord& moved = m_records.at(int(last));
        m_byItem.move(m_byItem.slotOf(itemHash(moved.item), last), position);
        if (moved.filed) m_byId.move(m_byId.slotOf(filedHash(last), last), position);
        m_records[int(position)] = std::move(m_records[int(last)]);
    }
    m_records.removeLast();
    return position != last ? recordAt(long(position)) : nullptr;
}

void RowTable::reserve(int count) {
    if (count <= 0) return;
    if (count > m_records.capacity())
        m_records.reserve(m_records.isEmpty()
                              ? count
                              : std::max(count + count / 8, m_records.capacity() + m_records.capacity() / 2));
    if (m_byItem.fits(size_t(count))) return;
    size_t wanted = SlotIndex::slotsFor(size_t(count));
    if (m_records.size() > 0) wanted = std::max(wanted, 2 * m_byItem.slotCount());
    rehash(wanted);
}

void RowTable::clear() {
    QVector<RowRecord>().swap(m_records);
    m_byItem.release();
    m_byId.release();
    m_filed = 0;
}

// The records keep no ID hashes (four bytes a row), so they are computed again here, in a loop of
// their own: each reads an ID string that is likely not in the cache, and a loop that does nothing
// else lets the processor wait for many of them at once.
void RowTable::rehash(size_t slotCount) {
    const size_t count = size_t(m_records.size());
    std::vector<uint> hashes(m_filed > 0 ? count : 0);
    for (size_t position = 0; position < hashes.size(); ++position) {
        const RowRecord& record = m_records.at(int(position));
        if (record.filed) hashes[position] = idHash(record.filedId);
    }
    m_byItem.reset(slotCount);
    m_byId.reset(slotCount);
    for (size_t position = 0; position < count; ++position) {
        const RowRecord& record = m_records.at(int(position));
        m_byItem.add(itemHash(record.item), position);
        if (record.filed) m_byId.add(hashes[position], position);
    }
}

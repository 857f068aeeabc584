#include "model/RowTable.h"

#include <algorithm>

RowRecord& RowTable::insert(const ZEPHTreeItem* item) {
    if (m_free.empty() && !m_byItem.fits(size_t(m_records.size()) + 1))
        rehash(m_byItem.slotCount() ? 2 * m_byItem.slotCount() : 16);
    const size_t slot = itemSlot(item);
    const long found = m_byItem.entryAt(slot);
    if (found >= 0) return *recordAt(found);
    int position;
    if (m_free.empty()) {
        position = m_records.size();
        m_records.append(RowRecord());
    } else {
        position = m_free.back();
        m_free.pop_back();
    }
    RowRecord& record = *recordAt(position);
    record.item = item;
    ++m_live;
    m_byItem.set(slot, itemHash(item), size_t(position));
    return record;
}

RowRecord* RowTable::file(RowRecord& record, const QString& id) {
    const uint hash = idHash(id);
    if (record.filed) {
        if (record.idHash == hash && record.filedId == id) return nullptr;
        unfile(record);
    }
    record.filedId = id;
    record.idHash = hash;
    return fileAsSet(record);
}

// Copies no string: a loop over many records then runs without atomic reference counting, which
// would keep the processor from waiting for several cache misses at once.
RowRecord* RowTable::fileAsSet(RowRecord& record) {
    const uint hash = record.idHash;
    const size_t slot = idSlot(record.filedId, hash);
    RowRecord* previous = nullptr;
    if (m_byId.entryAt(slot) >= 0) {
        previous = recordAt(m_byId.entryAt(slot));
        previous->filed = false;
    } else {
        ++m_filed;
    }
    m_byId.set(slot, hash, size_t(positionOf(record)));
    record.filed = true;
    return previous;
}

void RowTable::unfile(RowRecord& record) {
    if (!record.filed) return;
    m_byId.erase(m_byId.slotOf(record.idHash, size_t(positionOf(record))),
                 [this](size_t at) { return uint64_t(m_records.at(int(at)).idHash); });
    record.filed = false;
    --m_filed;
}

void RowTable::erase(RowRecord& record) {
    const size_t position = size_t(positionOf(record));
    unfile(record);
    m_byItem.erase(m_byItem.slotOf(itemHash(record.item), position),
                   [this](size_t at) { return itemHash(m_records.at(int(at)).item); });
    record = RowRecord();
    m_free.push_back(int(position));
    --m_live;
}

void RowTable::reserve(int count) {
    const int extent = m_records.size() + std::max(0, count - int(m_free.size()));
    if (extent > m_records.capacity())
        m_records.reserve(m_records.isEmpty() ? extent
                                              : std::max(extent + extent / 8,
                                                         m_records.capacity() + m_records.capacity() / 2));
    if (m_byItem.fits(size_t(extent))) return;
    size_t wanted = SlotIndex::slotsFor(size_t(extent));
    if (m_live > 0) wanted = std::max(wanted, 2 * m_byItem.slotCount());
    rehash(wanted);
}

void RowTable::clear() {
    QVector<RowRecord>().swap(m_records);
    std::vector<int>().swap(m_free);
    m_byItem.release();
    m_byId.release();
    m_live = 0;
    m_filed = 0;
}

void RowTable::rehash(size_t slotCount) {
    m_byItem.reset(slotCount);
    m_byId.reset(slotCount);
    for (size_t position = 0; position < size_t(m_records.size()); ++position) {
        const RowRecord& record = m_records.at(int(position));
        if (!record.item) continue;
        m_byItem.add(itemHash(record.item), position);
        if (record.filed) m_byId.add(record.idHash, position);
    }
}

#include "model/RowStore.h"

#include "model/ValueRelay.h"
#include "model/ZEPHTreeModel.h"

#include <QThread>
#include <QVarLengthArray>

#include <algorithm>

RowStore::RowStore(ZEPHTreeModel* model) : m_model(model), m_rows(new RowTable) {}

RowStore::~RowStore() {
    for (ValueRelay* relay : m_relays)
        relay->detach();
    for (QObject* object : m_relays) {
        if (object->parent()) continue;
        disposeOf(object);
    }
    if (m_relayHolder) disposeOf(m_relayHolder);
}

int RowStore::rowOf(const ZEPHTreeItem* item) const {
    RowRecord* info = m_rows->find(item);
    return info ? rowOf(*info) : -1;
}

int RowStore::rowOf(RowRecord& record) const {
    if (record.taken) return -1;
    RowRecord* info = &record;
    const ZEPHTreeItem* item = record.item;
    const int count = m_items.size();
    if (count == 0) return -1;
    const int hint = qBound(0, info->rowHint + m_hintBase, count - 1);
    if (m_items.at(hint) == item) return hint;
    // Rows shift by the number of insertions and removals in front of them (other than at the
    // head, which the hint base follows), so search outward from the last known row. A long search
    // means that many rows drifted: then every hint is brought up to date at once.
    for (int distance = 1; hint - distance >= 0 || hint + distance < count; ++distance) {
        int found = -1;
        if (hint + distance < count && m_items.at(hint + distance) == item)
            found = hint + distance;
        else if (hint - distance >= 0 && m_items.at(hint - distance) == item)
            found = hint - distance;
        if (found < 0) continue;
        if (distance > 64)
            refreshHints(qMin(m_staleFrom, qMin(hint, found)));
        else
            info->rowHint = found - m_hintBase;
        return found;
    }
    return -1;
}

// Deletes `object` now when it lives in this thread, else from its own thread's event loop.
void RowStore::disposeOf(QObject* object) {
    if (object->thread() == QThread::currentThread())
        delete object;
    else
        object->deleteLater();
}

// Every row inserted otherwise than by placeSilently() is connected.
bool RowStore::announcesChangesOf(const ZEPHTreeItem* item) const {
    if (!m_hasSilentRows) return true;
    const RowRecord* info = m_rows->find(item);
    if (info && !info->taken && info->relay >= 0) return true;
    const auto kept = m_keptConnections.constFind(item);
    return kept != m_keptConnections.cend() && kept->item;
}

void RowStore::refreshHints(int from) const {
    if (from == 0) m_hintBase = 0;
    for (int row = from; row < m_items.size(); ++row) {
        if (RowRecord* info = m_rows->find(m_items.at(row))) info->rowHint = row - m_hintBase;
    }
    if (from <= m_staleFrom) m_staleFrom = INT_MAX;
}

// Rows from `row` on (numbered after the change) moved by `delta`. After a change at the head the
// hint base moves every hint at once; after one in the middle the rows behind it are marked as
// drifted, so that the next refresh starts there (most changes happen near the tail).
void RowStore::noteShift(int row, int delta) {
    if (row == 0) {
        m_hintBase += delta;
        if (m_staleFrom != INT_MAX) m_staleFrom = qMax(0, m_staleFrom + delta);
        // Hints hold 30 bits: start again from 0 long before they could not hold a row.
        if (qAbs(m_hintBase) > (1 << 27)) refreshHints(0);
        return;
    }
    m_staleFrom = qMin(m_staleFrom, row);
}

// One lookup of each ID.
void RowStore::place(int row, ZEPHTreeItem* const* items, int count) {
    const int oldCount = m_items.size();
    if (row < oldCount) noteShift(row == 0 ? 0 : row + count, count);
    if (count > 1) {
        m_rows->reserve(m_rows->size() + count);
        reserveSlots(count);
    }
    // One pass per table, each a short loop: in a large table every probe misses the cache, and a
    // short loop lets the processor wait for several of them at once, where a loop that also
    // connects each row would wait for one after the other.
    QVarLengthArray<int, 16> positions(count);
    QVarLengthArray<uint, 16> hashes(count);
    for (int i = 0; i < count; ++i) {
        // An item back before the removal that took it out ended has its record still.
        RowRecord& info = m_rows->insert(items[i]);
        if (info.taken) --m_takenCount;
        info.taken = false;
        info.rowHint = row + i - m_hintBase;
        positions[i] = m_rows->positionOf(info);
    }
    for (int i = 0; i < count; ++i) {
        RowRecord& info = m_rows->at(positions[i]);
        if (info.filed) {
            fileRecord(info, items[i]->ID());
        } else {
            info.filedId = items[i]->ID();
            hashes[i] = RowTable::idHash(info.filedId);
        }
    }
    for (int i = 0; i < count; ++i) {
        RowRecord& info = m_rows->at(positions[i]);
        if (info.filed) continue;
        const RowRecord* previous = m_rows->fileAsSet(info, hashes[i]);
        if (previous && !previous->taken) m_idsUnsure = true;
    }
    for (int i = 0; i < count; ++i) {
        const int slot = connectValueChanges(items[i]);
        m_rows->at(positions[i]).relay = slot;
        m_slotRecords[size_t(slot)] = positions[i];
    }
    if (row == oldCount) {
        // QList grows by itself in steps; an exact reservation per call would copy the whole list
        // on every small append.
        if (oldCount == 0 && count > 1) m_items.reserve(count);
        for (int i = 0; i < count; ++i)
            m_items.append(items[i]);
    } else if (count == 1) {
        m_items.insert(row, items[0]);
    } else {
        QList<ZEPHTreeItem*> merged;
        merged.reserve(oldCount + count);
        merged.append(m_items.mid(0, row));
        for (int i = 0; i < count; ++i)
            merged.append(items[i]);
        merged.append(m_items.mid(row));
        m_items.swap(merged);
    }
    // A large block in the middle moves the rows behind it far from their last known rows.
    if (row > 0 && row < oldCount && count > 64) refreshHints(row + count);
}

void RowStore::placeSilently(ZEPHTreeItem* item) {
    RowRecord& info = m_rows->insert(item);
    if (info.taken) --m_takenCount;
    info.taken = false;
    info.rowHint = m_items.size() - m_hintBase;
    // An item that is still connected from an earlier stay goes on announcing its changes.
    if (!m_keptConnections.isEmpty()) {
        const auto kept = m_keptConnections.find(item);
        if (kept != m_keptConnections.end()) {
            if (kept->item) {
                info.relay = kept->slot;
                m_slotRecords[size_t(kept->slot)] = m_rows->positionOf(info);
            } else {
                releaseSlot(kept->slot);
            }
            m_keptConnections.erase(kept);
        }
    }
    m_items.append(item);
    fileRecord(info, item->ID());
    m_hasSilentRows = true;
}

void RowStore::file(ZEPHTreeItem* item) {
    RowRecord* info = m_rows->find(item);
    if (info && !info->taken) fileRecord(*info, item->ID());
}

// The ID now leads to the record; a row that it led to before is no longer found by it.
void RowStore::fileRecord(RowRecord& record, const QString& id) {
    const RowRecord* previous = m_rows->file(record, id);
    if (previous && !previous->taken) m_idsUnsure = true;
}

QVector<RowStore::TakenRow> RowStore::take(int first, int last) {
    QVector<TakenRow> taken;
    taken.reserve(last - first + 1);
    for (int row = first; row <= last; ++row)
        taken.append(forget(m_items.at(row)));
    eraseRows(first, last - first + 1);
    return taken;
}

RowStore::TakenRow RowStore::take(int row) {
    TakenRow taken = forget(m_items.at(row));
    eraseRows(row, 1);
    return taken;
}

// The record stays while the ID index files it, so that the ID leads to the item until unfile().
RowStore::TakenRow RowStore::forget(ZEPHTreeItem* item) {
    RowRecord* record = m_rows->find(item);
    if (!record) return TakenRow{item};
    const int slot = record->relay;
    record->relay = -1;
    if (record->filed) {
        record->taken = true;
        ++m_takenCount;
    } else {
        eraseRecord(item);
    }
    keepConnection(item, slot);
    return TakenRow{item};
}

// Rows behind the erased ones move up: all of them at once after a removal at the head, or by a
// long way after a large range.
void RowStore::eraseRows(int first, int count) {
    m_items.erase(m_items.begin() + first, m_items.begin() + first + count);
    if (first > 0 && count > 64)
        refreshHints(first);
    else
        noteShift(first, -count);
}

void RowStore::unfile(const TakenRow& row) {
    const RowRecord* record = m_rows->find(row.item);
    if (!record || !record->taken) return;
    eraseRecord(row.item);
    --m_takenCount;
}

// The last record moves into the gap: its slot follows it.
void RowStore::eraseRecord(const ZEPHTreeItem* item) {
    const RowRecord* moved = m_rows->erase(item);
    if (moved && moved->relay >= 0) m_slotRecords[size_t(moved->relay)] = m_rows->positionOf(*moved);
}

void RowStore::clear(bool keepConnections) {
    for (RowRecord& record : *m_rows) {
        if (record.relay < 0) continue;
        if (keepConnections)
            keepConnection(const_cast<ZEPHTreeItem*>(record.item), record.relay);
        else
            releaseSlot(record.relay);
    }
    m_items.clear();
    m_rows->clear();
    m_takenCount = 0;
    m_hintBase = 0;
    m_staleFrom = INT_MAX;
    m_hasSilentRows = false;
    m_idsUnsure = false;
}

int RowStore::firstRowWithId(const QString& id) const {
    // Every row is filed under its own ID, and no two rows share one: the item filed under `id` is
    // the only row with it, if it is a row at all (a row that was just taken out may still be filed).
    if (!m_idsUnsure && !m_hasSilentRows && !m_listHandedOut &&
        m_items.size() == m_rows->size() - m_takenCount) {
        const RowRecord* filed = m_rows->filedUnder(id);
        if (!filed || filed->taken) return -1;
        const int hinted = filed->rowHint + m_hintBase;
        if (hinted >= 0 && hinted < m_items.size() && m_items.at(hinted) == filed->item) return hinted;
        return rowOf(filed->item);
    }
    for (int row = 0; row < m_items.size(); ++row) {
        if (m_items.at(row)->ID() == id) return row;
    }
    return -1;
}

// The value-change connection: a change inside the item becomes dataChanged for its row. It goes
// through a slot of one of the model's relays (see ValueRelay). An item that comes back after a
// stay gets its earlier slot back, so there is one connection per item and model however often it
// returns. Returns the slot.
int RowStore::connectValueChanges(ZEPHTreeItem* item) {
    int slot = -1;
    if (!m_keptConnections.isEmpty()) {
        auto kept = m_keptConnections.find(item);
        if (kept != m_keptConnections.end()) {
            // The address may belong to a new item by now; the connection is unique either way.
            slot = kept->slot;
            m_keptConnections.erase(kept);
        }
    }
    if (slot < 0) slot = freeSlot();
    relayOf(slot)->connectItem(item, slot);
    return slot;
}

int RowStore::freeSlot() {
    if (m_freeSlots.empty()) {
        // Relays belong to the model, so that they follow it into another thread, through one child
        // that holds them all: the model's own children stay few, so that a search among them is
        // short.
        const bool sameThread = m_model->thread() == QThread::currentThread();
        if (!m_relayHolder && sameThread) m_relayHolder = new QObject(m_model);
        const int first = int(m_slotRecords.size());
        auto* relay = new ValueRelay(this, first, sameThread ? m_relayHolder : nullptr);
        if (!sameThread) relay->moveToThread(m_model->thread());
        m_relays.push_back(relay);
        m_slotRecords.resize(m_slotRecords.size() + ValueRelay::Capacity, -1);
        // Taken from the back: the lowest first.
        for (int slot = first + ValueRelay::Capacity - 1; slot >= first; --slot)
            m_freeSlots.push_back(slot);
    }
    const int slot = m_freeSlots.back();
    m_freeSlots.pop_back();
    return slot;
}

// Room for the relay slots of `count` more connections: exactly when there are none yet (a bulk
// load), else with room to spare.
void RowStore::reserveSlots(int count) {
    const size_t missing = size_t(qMax(0, count - int(m_freeSlots.size())));
    const size_t capacity = m_slotRecords.capacity();
    const size_t wanted = m_slotRecords.size() +
                          (missing + ValueRelay::Capacity - 1) / ValueRelay::Capacity * ValueRelay::Capacity;
    if (wanted > capacity)
        m_slotRecords.reserve(m_slotRecords.empty() ? wanted : qMax(wanted, capacity * 3 / 2));
}

// Only for a slot whose item is disconnected or deleted: else a change of that item would reach the
// slot's next item.
void RowStore::releaseSlot(int slot) {
    m_slotRecords[size_t(slot)] = -1;
    m_freeSlots.push_back(slot);
}

ValueRelay* RowStore::relayOf(int slot) const {
    return m_relays[size_t(slot / ValueRelay::Capacity)];
}

void RowStore::announceValueChange(ZEPHTreeItem* item) {
    if (const RowRecord* record = m_rows->find(item)) announceChange(*record);
}

void RowStore::announceSlotChange(int slot) {
    const int position = m_slotRecords[size_t(slot)];
    if (position >= 0) announceChange(m_rows->at(position));
}

void RowStore::announceChange(const RowRecord& record) {
    if (record.taken) return;
    if (!m_idsUnsure && record.filedId != record.item->ID()) m_idsUnsure = true;
    const QModelIndex changed = m_model->index(rowOf(const_cast<RowRecord&>(record)), 0, QModelIndex());
    if (changed.isValid()) emit m_model->dataChanged(changed, changed, QVector<int>());
}

void RowStore::keepConnection(ZEPHTreeItem* item, int slot) {
    if (slot < 0) return;
    m_slotRecords[size_t(slot)] = -1;
    m_keptConnections.insert(item, KeptConnection{item, slot});
    if (m_keptConnections.size() > 2 * m_keptConnectionsAfterSweep + 64) {
        for (auto it = m_keptConnections.begin(); it != m_keptConnections.end();) {
            if (it->item) {
                ++it;
                continue;
            }
            releaseSlot(it->slot);
            it = m_keptConnections.erase(it);
        }
        m_keptConnectionsAfterSweep = m_keptConnections.size();
    }
}

// The item is deleted soon. Disposal disconnects it first, or deletes it at once, unless it lives in
// another thread: then its slot is freed only once it is disconnected here.
void RowStore::forgetConnection(const ZEPHTreeItem* item) {
    int slot = -1;
    if (RowRecord* info = m_rows->find(item)) {
        slot = info->relay;
        info->relay = -1;
    }
    if (slot < 0 && !m_keptConnections.isEmpty()) {
        const auto kept = m_keptConnections.constFind(item);
        if (kept != m_keptConnections.cend()) {
            slot = kept->slot;
            m_keptConnections.erase(kept);
        }
    }
    if (slot < 0) return;
    if (item->thread() != QThread::currentThread())
        relayOf(slot)->disconnectItem(const_cast<ZEPHTreeItem*>(item), slot);
    releaseSlot(slot);
}

// Hints only guide rowOf(), which finds an item one row off its hint at the first step: only items
// that moved further get a new hint. A re-sort after an insertion moves most rows by one at most.
void RowStore::setOrder(QList<ZEPHTreeItem*> items) {
    const QList<ZEPHTreeItem*> previous = m_items;
    m_items = std::move(items);
    const int count = m_items.size();
    if (previous.size() != count) {
        refreshHints(0);
        return;
    }
    for (int row = 0; row < count; ++row) {
        const ZEPHTreeItem* item = m_items.at(row);
        if (previous.at(row) == item) continue;
        if ((row > 0 && previous.at(row - 1) == item) || (row + 1 < count && previous.at(row + 1) == item)) {
            m_staleFrom = qMin(m_staleFrom, row);
            continue;
        }
        if (RowRecord* info = m_rows->find(item)) info->rowHint = row - m_hintBase;
    }
}

void RowStore::move(int from, int to) {
    m_items.move(from, to);
    refreshHints(qMin(from, to));
}

void RowStore::moveRow(int from, int to) {
    if (from == to) return;
    ZEPHTreeItem* item = m_items.at(from);
    m_items.move(from, to);
    m_staleFrom = qMin(m_staleFrom, qMin(from, to));
    if (RowRecord* info = m_rows->find(item)) info->rowHint = to - m_hintBase;
}

void RowStore::reverseRows(int first, int last) {
    std::reverse(m_items.begin() + first, m_items.begin() + last + 1);
    for (int row = first; row <= last; ++row) {
        if (RowRecord* info = m_rows->find(m_items.at(row))) info->rowHint = row - m_hintBase;
    }
}

void RowStore::appendShownOnly(const QList<ZEPHTreeItem*>& items) {
    m_items.append(items);
}

void RowStore::truncate(int count) {
    m_items.erase(m_items.begin() + count, m_items.end());
}

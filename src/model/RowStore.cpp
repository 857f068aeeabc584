#include "model/RowStore.h"

#include "model/ValueRelay.h"
#include "model/ZEPHTreeModel.h"

#include <QThread>
#include <QVarLengthArray>

#include <algorithm>

RowStore::RowStore(ZEPHTreeModel* model) : m_model(model), m_rows(new RowTable) {}

RowStore::~RowStore() {
    m_relays.insert(m_relays.end(), m_retiredRelays.begin(), m_retiredRelays.end());
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
    const ZEPHTreeItem* item = record.item;
    const int count = m_items.size();
    if (count == 0) return -1;
    const int hint = qBound(0, record.rowHint + m_hintBase, count - 1);
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
            record.rowHint = found - m_hintBase;
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
    return info && info->connected;
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
        // Hints hold 29 bits: start again from 0 long before they could not hold a row.
        if (qAbs(m_hintBase) > (1 << 27)) refreshHints(0);
        return;
    }
    m_staleFrom = qMin(m_staleFrom, row);
}

void RowStore::prefetchPlacing(const ZEPHTreeItem* item) const {
    m_rows->prefetchFiling(item->ID());
}

// One lookup of each ID.
void RowStore::place(int row, ZEPHTreeItem* const* items, int count) {
    const int oldCount = m_items.size();
    if (row < oldCount) noteShift(row == 0 ? 0 : row + count, count);
    if (count > 1) m_rows->reserve(count);
    // One pass per table, each a short loop: in a large table every probe misses the cache, and a
    // short loop lets the processor wait for several of them at once, where a loop that also
    // connects each row would wait for one after the other.
    QVarLengthArray<int, 16> positions(count);
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
            info.idHash = RowTable::idHash(info.filedId);
        }
    }
    for (int i = 0; i < count; ++i) {
        RowRecord& info = m_rows->at(positions[i]);
        if (info.filed) continue;
        const RowRecord* previous = m_rows->fileAsSet(info);
        if (previous && !previous->taken) m_idsUnsure = true;
    }
    for (int i = 0; i < count; ++i)
        connectValueChanges(m_rows->at(positions[i]));
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

// An item that is still connected from an earlier stay goes on announcing its changes.
void RowStore::placeSilently(ZEPHTreeItem* item) {
    RowRecord& info = m_rows->insert(item);
    if (info.taken) --m_takenCount;
    info.taken = false;
    info.rowHint = m_items.size() - m_hintBase;
    if (info.connected) dropKept(info);
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

// The record stays while the ID index files it, so that the ID leads to the item until unfile(),
// and while the item is connected, for a return.
RowStore::TakenRow RowStore::forget(ZEPHTreeItem* item) {
    RowRecord* record = m_rows->find(item);
    if (!record || record->taken) return TakenRow{item};
    record->taken = true;
    ++m_takenCount;
    if (record->connected)
        keepConnection(*record);
    else if (!record->filed)
        release(*record);
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
    RowRecord* record = m_rows->find(row.item);
    if (!record || !record->taken) return;
    m_rows->unfile(*record);
    if (!record->connected) release(*record);
}

// Frees the record of an item that is not a row and not connected.
void RowStore::release(RowRecord& record) {
    if (record.taken) --m_takenCount;
    m_rows->erase(record);
}

// The records of kept connections stay (their positions are their slots); every other one goes.
void RowStore::clear(bool keepConnections) {
    if (keepConnections) {
        for (RowRecord& record : *m_rows) {
            if (!record.item || !record.connected) continue;
            m_rows->unfile(record);
            if (!record.taken) {
                record.taken = true;
                ++m_takenCount;
                keepConnection(record);
            }
        }
    } else {
        // The items may stay connected until the model is gone: their relays stop passing changes
        // on, and the next rows get new ones.
        for (ValueRelay* relay : m_relays)
            relay->detach();
        m_retiredRelays.insert(m_retiredRelays.end(), m_relays.begin(), m_relays.end());
        m_relays.clear();
    }
    if (!keepConnections || m_keptGuards.isEmpty()) {
        m_rows->clear();
        m_keptGuards.clear();
        m_keptAfterSweep = 0;
        m_takenCount = 0;
    } else {
        for (RowRecord& record : *m_rows) {
            if (record.item && !record.connected) release(record);
        }
    }
    m_items.clear();
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
// through the relay slot numbered as the item's record (see ValueRelay). An item that comes back
// after a stay finds its record and its connection still there, so there is one connection per
// item and model however often it returns.
void RowStore::connectValueChanges(RowRecord& record) {
    const int position = m_rows->positionOf(record);
    // The address of a kept item that was deleted may belong to a new item by now; the connection
    // is unique either way.
    if (record.connected) dropKept(record);
    relayFor(position)->connectItem(const_cast<ZEPHTreeItem*>(record.item), position);
    record.connected = true;
}

ValueRelay* RowStore::relayFor(int position) {
    const size_t index = size_t(position / ValueRelay::Capacity);
    while (m_relays.size() <= index) {
        // Relays belong to the model, so that they follow it into another thread, through one child
        // that holds them all: the model's own children stay few, so that a search among them is
        // short.
        const bool sameThread = m_model->thread() == QThread::currentThread();
        if (!m_relayHolder && sameThread) m_relayHolder = new QObject(m_model);
        auto* relay = new ValueRelay(this, int(m_relays.size()) * ValueRelay::Capacity,
                                     sameThread ? m_relayHolder : nullptr);
        if (!sameThread) relay->moveToThread(m_model->thread());
        m_relays.push_back(relay);
    }
    return m_relays[index];
}

void RowStore::announceValueChange(ZEPHTreeItem* item) {
    if (RowRecord* record = m_rows->find(item)) announceChange(*record);
}

void RowStore::announceSlotChange(int slot) {
    if (slot < m_rows->extent()) announceChange(m_rows->at(slot));
}

void RowStore::announceChange(RowRecord& record) {
    if (!record.item || record.taken || !record.connected) return;
    if (!m_idsUnsure && record.filedId != record.item->ID()) m_idsUnsure = true;
    const QModelIndex changed = m_model->index(rowOf(record), 0, QModelIndex());
    if (changed.isValid()) emit m_model->dataChanged(changed, changed, QVector<int>());
}

// A connected record that is no longer a row: guarded, so that it can be freed once its item is
// deleted (which ends the connection).
void RowStore::keepConnection(RowRecord& record) {
    m_keptGuards.insert(m_rows->positionOf(record), const_cast<ZEPHTreeItem*>(record.item));
    if (m_keptGuards.size() > 2 * m_keptAfterSweep + 64) sweepKept();
}

void RowStore::dropKept(const RowRecord& record) {
    if (!m_keptGuards.isEmpty()) m_keptGuards.remove(m_rows->positionOf(record));
}

void RowStore::sweepKept() {
    for (auto it = m_keptGuards.begin(); it != m_keptGuards.end();) {
        if (it.value()) {
            ++it;
            continue;
        }
        RowRecord& record = m_rows->at(it.key());
        record.connected = false;
        if (!record.filed) release(record);
        it = m_keptGuards.erase(it);
    }
    m_keptAfterSweep = m_keptGuards.size();
}

// The item is deleted soon. Disposal disconnects it first, or deletes it at once, unless it lives in
// another thread: then it is disconnected here, before its record (and so its slot) may be reused.
void RowStore::forgetConnection(const ZEPHTreeItem* item) {
    RowRecord* record = m_rows->find(item);
    if (!record || !record->connected) return;
    dropKept(*record);
    const int position = m_rows->positionOf(*record);
    if (item->thread() != QThread::currentThread())
        relayFor(position)->disconnectItem(const_cast<ZEPHTreeItem*>(item), position);
    record->connected = false;
    if (record->taken && !record->filed) release(*record);
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

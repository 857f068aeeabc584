#pragma once

#include <QVector>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Heap addresses and string hashes leave patterns in the low bits; a final mix spreads them over
// all bits, so that the low ones can pick a slot.
inline uint64_t mixHash(uint64_t hash) {
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return hash;
}

// A hash table whose entries sit in one dense array, found through an open-addressing array of
// slots (linear probing, at most half full, no tombstones). Nothing is allocated per entry, which
// a node-based hash does for every row of a bulk load. Taking an entry moves the last one into the
// gap: pointers to entries are valid only until the next insertion or removal. Entries are kept in
// a QVector, which grows by moving their bytes (entry types are declared movable), so growing a
// table costs a memcpy or an in-place realloc instead of a move-construction per entry.
// Traits: Key; static uint64_t hashKey(const Key&); static uint64_t hashEntry(const Entry&);
// static bool matches(const Entry&, const Key&, uint64_t hash); static void setKey(Entry&, const Key&,
// uint64_t hash).
template <typename Entry, typename Traits> class DenseHash {
public:
    using Key = typename Traits::Key;

    Entry* find(const Key& key) {
        if (m_entries.empty()) return nullptr;
        const uint32_t entry = m_slots[probe(key, Traits::hashKey(key))];
        return entry ? &m_entries[entry - 1] : nullptr;
    }
    const Entry* find(const Key& key) const { return const_cast<DenseHash*>(this)->find(key); }

    // The entry of `key`; a default one carrying the key is made when there is none.
    Entry& insert(const Key& key) {
        if (2 * (size_t(m_entries.size()) + 1) > m_slots.size())
            rehash(m_slots.empty() ? 16 : 2 * m_slots.size());
        const uint64_t hash = Traits::hashKey(key);
        const size_t slot = probe(key, hash);
        if (m_slots[slot]) return m_entries[m_slots[slot] - 1];
        m_entries.append(Entry());
        Entry& made = m_entries.last();
        Traits::setKey(made, key, hash);
        m_slots[slot] = uint32_t(m_entries.size());
        return made;
    }

    // Removes the entry of `key` and returns it (a default entry when there was none).
    Entry take(const Key& key) {
        if (m_entries.empty()) return Entry();
        const size_t slot = probe(key, Traits::hashKey(key));
        if (!m_slots[slot]) return Entry();
        const size_t index = m_slots[slot] - 1;
        Entry taken = std::move(m_entries[index]);
        eraseSlot(slot);
        const size_t last = size_t(m_entries.size()) - 1;
        if (index != last) {
            m_slots[slotOfIndex(last)] = uint32_t(index + 1);
            m_entries[index] = std::move(m_entries[last]);
        }
        m_entries.removeLast();
        return taken;
    }

    // Drops every entry and the memory they used.
    void clear() {
        QVector<Entry>().swap(m_entries);
        std::vector<uint32_t>().swap(m_slots);
        m_mask = 0;
    }

    // Makes room for `count` entries in all, with an eighth more, so that the single insertions
    // that follow a bulk load do not copy the table at once; in steps after that, so that many
    // small blocks do not copy the entries every time.
    void reserve(int count) {
        if (count <= 0) return;
        if (count > m_entries.capacity())
            m_entries.reserve(std::max(count + count / 8, m_entries.capacity() + m_entries.capacity() / 2));
        size_t wanted = m_slots.empty() ? 16 : m_slots.size();
        while (wanted < 2 * size_t(count))
            wanted *= 2;
        if (wanted != m_slots.size()) rehash(wanted);
    }

    int size() const { return m_entries.size(); }
    typename QVector<Entry>::iterator begin() { return m_entries.begin(); }
    typename QVector<Entry>::iterator end() { return m_entries.end(); }

private:
    size_t home(uint64_t hash) const { return size_t(mixHash(hash)) & m_mask; }

    // The slot that holds `key`, or the empty slot where the probe for it ends.
    size_t probe(const Key& key, uint64_t hash) const {
        size_t slot = home(hash);
        while (const uint32_t entry = m_slots[slot]) {
            if (Traits::matches(m_entries[entry - 1], key, hash)) return slot;
            slot = (slot + 1) & m_mask;
        }
        return slot;
    }

    size_t slotOfIndex(size_t index) const {
        size_t slot = home(Traits::hashEntry(m_entries[index]));
        while (m_slots[slot] != index + 1)
            slot = (slot + 1) & m_mask;
        return slot;
    }

    // The entries behind the freed slot that would no longer be reached from their home slot move
    // back into the gap.
    void eraseSlot(size_t slot) {
        size_t gap = slot;
        for (size_t next = (gap + 1) & m_mask; m_slots[next]; next = (next + 1) & m_mask) {
            const size_t want = home(Traits::hashEntry(m_entries[m_slots[next] - 1]));
            const bool reachable = gap <= next ? (gap < want && want <= next) : (gap < want || want <= next);
            if (reachable) continue;
            m_slots[gap] = m_slots[next];
            gap = next;
        }
        m_slots[gap] = 0;
    }

    void rehash(size_t slotCount) {
        m_slots.assign(slotCount, 0);
        m_mask = slotCount - 1;
        for (size_t index = 0; index < size_t(m_entries.size()); ++index) {
            size_t slot = home(Traits::hashEntry(m_entries[index]));
            while (m_slots[slot])
                slot = (slot + 1) & m_mask;
            m_slots[slot] = uint32_t(index + 1);
        }
    }

    QVector<Entry> m_entries;
    // 0 for an empty slot, else the index of an entry plus one.
    std::vector<uint32_t> m_slots;
    size_t m_mask = 0;
};

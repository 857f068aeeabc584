#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Heap addresses and string hashes leave patterns in the low bits; a final mix spreads them over
// all bits, so that the low ones can pick a slot.
inline uint64_t mixHash(uint64_t hash) {
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return hash;
}

// An open-addressing index (linear probing, no tombstones) over entries that sit in an array kept
// elsewhere: a slot holds an entry's position plus one, or 0 when empty. One array of entries may
// have several such indexes by different keys, so that an entry is stored once however it is
// found. The owner keeps the slot count a power of two and at least twice the number of entries.
class SlotIndex {
public:
    /// Empties the index and sizes it to `slotCount` (a power of two) slots.
    void reset(size_t slotCount) {
        m_slots.assign(slotCount, 0);
        m_mask = slotCount - 1;
    }
    /// Drops the slots and their memory.
    void release() {
        std::vector<uint32_t>().swap(m_slots);
        m_mask = 0;
    }
    size_t slotCount() const { return m_slots.size(); }

    /// The slot whose entry `matches` (called with an entry position), or the empty slot where the
    /// probe for `hash` ends.
    template <typename Matches> size_t probe(uint64_t hash, Matches matches) const {
        size_t slot = home(hash);
        while (const uint32_t entry = m_slots[slot]) {
            if (matches(entry - 1)) return slot;
            slot = (slot + 1) & m_mask;
        }
        return slot;
    }
    /// The slot that holds the entry at `position`, filed under `hash`.
    size_t slotOf(uint64_t hash, size_t position) const {
        size_t slot = home(hash);
        while (m_slots[slot] != position + 1)
            slot = (slot + 1) & m_mask;
        return slot;
    }
    /// Position of the entry in `slot`, or -1 when the slot is empty.
    long entryAt(size_t slot) const { return long(m_slots[slot]) - 1; }
    void set(size_t slot, size_t position) { m_slots[slot] = uint32_t(position + 1); }
    /// Adds the entry at `position` under `hash` (not there yet).
    void add(uint64_t hash, size_t position) {
        size_t slot = home(hash);
        while (m_slots[slot])
            slot = (slot + 1) & m_mask;
        m_slots[slot] = uint32_t(position + 1);
    }
    /// Frees `slot`; the entries behind it that would no longer be reached from their home slot
    /// move back into the gap. `hashAt` gives the hash of the entry at a position.
    template <typename HashAt> void erase(size_t slot, HashAt hashAt) {
        size_t gap = slot;
        for (size_t next = (gap + 1) & m_mask; m_slots[next]; next = (next + 1) & m_mask) {
            const size_t want = home(hashAt(m_slots[next] - 1));
            const bool reachable = gap <= next ? (gap < want && want <= next) : (gap < want || want <= next);
            if (reachable) continue;
            m_slots[gap] = m_slots[next];
            gap = next;
        }
        m_slots[gap] = 0;
    }

private:
    size_t home(uint64_t hash) const { return size_t(mixHash(hash)) & m_mask; }

    std::vector<uint32_t> m_slots;
    size_t m_mask = 0;
};

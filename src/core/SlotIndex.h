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
// elsewhere: one array of entries may have several such indexes by different keys, so that an
// entry is stored once however it is found. The owner keeps the number of entries below the slot
// count (see fits()). Any slot count will do: a hash picks its home slot by multiplication, not by
// a mask, so a table sized for n entries holds 1.25 n slots, not the next power of two above 2 n.
//
// A slot holds an entry's position plus one (0: empty) in as many low bits as the slot count has
// (there are fewer entries than slots), and in the bits above them a tag taken from the entry's
// hash, so that a probe passes most other entries without reading them: in a large table each
// entry read is a cache miss.
class SlotIndex {
public:
    /// Empties the index and sizes it to `slotCount` slots.
    void reset(size_t slotCount) {
        m_slots.assign(slotCount, 0);
        m_positionBits = 64 - __builtin_clzll(slotCount);
    }
    /// Drops the slots and their memory.
    void release() { std::vector<uint32_t>().swap(m_slots); }
    size_t slotCount() const { return m_slots.size(); }
    /// True when `count` entries fit: linear probing stays short up to four in five slots used.
    bool fits(size_t count) const { return 5 * count <= 4 * m_slots.size(); }
    /// The fewest slots that fit `count` entries.
    static size_t slotsFor(size_t count) { return count + count / 4 + 1; }

    /// The slot whose entry `matches` (called with an entry position), or the empty slot where the
    /// probe for `hash` ends.
    template <typename Matches> size_t probe(uint64_t hash, Matches matches) const {
        const uint64_t mixed = mixHash(hash);
        const uint32_t tag = tagOf(mixed);
        size_t slot = homeOf(mixed);
        while (const uint32_t value = m_slots[slot]) {
            if ((value & ~positionMask()) == tag && matches(positionIn(value))) return slot;
            slot = next(slot);
        }
        return slot;
    }
    /// The slot that holds the entry at `position`, filed under `hash`.
    size_t slotOf(uint64_t hash, size_t position) const {
        size_t slot = home(hash);
        while ((m_slots[slot] & positionMask()) != position + 1)
            slot = next(slot);
        return slot;
    }
    /// Starts loading the home slot of `hash`, for a probe soon after.
    void prefetch(uint64_t hash) const {
        if (!m_slots.empty()) __builtin_prefetch(&m_slots[home(hash)]);
    }
    /// Position of the entry in `slot`, or -1 when the slot is empty.
    long entryAt(size_t slot) const { return m_slots[slot] ? long(positionIn(m_slots[slot])) : -1; }
    /// Puts the entry at `position`, filed under `hash`, into `slot`.
    void set(size_t slot, uint64_t hash, size_t position) {
        m_slots[slot] = tagOf(mixHash(hash)) | uint32_t(position + 1);
    }
    /// Adds the entry at `position` under `hash` (not there yet).
    void add(uint64_t hash, size_t position) {
        size_t slot = home(hash);
        while (m_slots[slot])
            slot = next(slot);
        set(slot, hash, position);
    }
    /// Frees `slot`; the entries behind it that would no longer be reached from their home slot
    /// move back into the gap. `hashAt` gives the hash of the entry at a position.
    template <typename HashAt> void erase(size_t slot, HashAt hashAt) {
        size_t gap = slot;
        for (size_t at = next(gap); m_slots[at]; at = next(at)) {
            const size_t want = home(hashAt(positionIn(m_slots[at])));
            const bool reachable = gap <= at ? (gap < want && want <= at) : (gap < want || want <= at);
            if (reachable) continue;
            m_slots[gap] = m_slots[at];
            gap = at;
        }
        m_slots[gap] = 0;
    }

private:
    size_t home(uint64_t hash) const { return homeOf(mixHash(hash)); }
    // The low half of the mixed hash scaled to the slot count.
    size_t homeOf(uint64_t mixed) const { return size_t((mixed & 0xffffffffu) * m_slots.size() >> 32); }
    size_t next(size_t slot) const { return slot + 1 == m_slots.size() ? 0 : slot + 1; }
    // The top bits of the mixed hash, as many as the position leaves free: the home slot comes from
    // the low half. A QVector holds fewer than 2^27 entries of 16 bytes or more, and there are at most
    // 2.5 slots per entry, so at least four bits are left.
    uint32_t tagOf(uint64_t mixed) const {
        return uint32_t(mixed >> (32 + m_positionBits)) << m_positionBits;
    }
    uint32_t positionMask() const { return (1u << m_positionBits) - 1; }
    size_t positionIn(uint32_t value) const { return size_t(value & positionMask()) - 1; }

    std::vector<uint32_t> m_slots;
    int m_positionBits = 0;
};

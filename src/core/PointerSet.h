#pragma once

#include "core/SlotIndex.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <vector>

// The pointers one walk over a list has seen: open addressing over one array sized for the list,
// so that the walk allocates once instead of once per entry. It never grows: at most `expected`
// pointers go in.
class PointerSet {
public:
    explicit PointerSet(int expected) {
        size_t slotCount = 16;
        while (slotCount < 2 * size_t(qMax(expected, 1)))
            slotCount *= 2;
        m_slots.assign(slotCount, nullptr);
        m_mask = slotCount - 1;
    }
    /// Adds `pointer`; false when it was there already.
    bool insert(const void* pointer) {
        const size_t slot = probe(pointer);
        if (m_slots[slot]) return false;
        m_slots[slot] = pointer;
        return true;
    }
    bool contains(const void* pointer) const { return m_slots[probe(pointer)] != nullptr; }

private:
    // The slot that holds `pointer`, or the empty slot where the probe for it ends.
    size_t probe(const void* pointer) const {
        size_t slot = size_t(mixHash(uint64_t(reinterpret_cast<uintptr_t>(pointer)))) & m_mask;
        while (m_slots[slot] && m_slots[slot] != pointer)
            slot = (slot + 1) & m_mask;
        return slot;
    }

    std::vector<const void*> m_slots;
    size_t m_mask = 0;
};

#pragma once

#include "core/DenseHash.h"

#include <QString>

class ZEPHTreeItem;

// What a model keeps of each of its rows besides its place in the item list.
struct RowRecord {
    RowRecord() : relay(-1), filed(false) {}
    const ZEPHTreeItem* item = nullptr;
    QString filedId; // the ID under which the ID index files the item
    int rowHint = 0;
    // The relay that carries the item's value changes into the model, or -1.
    int relay : 31;
    bool filed : 1;
};

// A QString is one pointer that may be moved bytewise.
Q_DECLARE_TYPEINFO(RowRecord, Q_MOVABLE_TYPE);
static_assert(sizeof(void*) != 8 || sizeof(RowRecord) == 24, "a row record is three words");

struct RowRecordTraits {
    using Key = const ZEPHTreeItem*;
    static uint64_t hashKey(Key item) { return uint64_t(reinterpret_cast<uintptr_t>(item)); }
    static uint64_t hashEntry(const RowRecord& record) { return hashKey(record.item); }
    static bool matches(const RowRecord& record, Key item, uint64_t) { return record.item == item; }
    static void setKey(RowRecord& record, Key item, uint64_t) { record.item = item; }
};

// The row records of a model, found by the item's address.
class RowTable : public DenseHash<RowRecord, RowRecordTraits> {
public:
    using Record = RowRecord;

    bool contains(const ZEPHTreeItem* item) const { return find(item) != nullptr; }
};

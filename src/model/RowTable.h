#pragma once

#include "core/DenseHash.h"

#include <QMetaObject>
#include <QString>

class ZEPHTreeItem;

// What a model keeps of each of its rows besides its place in the item list.
struct RowRecord {
    const ZEPHTreeItem* item = nullptr;
    QString filedId; // the ID under which the ID index files the item
    int rowHint = 0;
    bool filed = false;
    // The item's value-change connection into the model, while the item is a row.
    QMetaObject::Connection connection;
};

// A QString and a connection handle are each one pointer that may be moved bytewise.
Q_DECLARE_TYPEINFO(RowRecord, Q_MOVABLE_TYPE);

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

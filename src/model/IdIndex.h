#pragma once

#include "core/DenseHash.h"

#include <QHash>
#include <QString>

class ZEPHTreeItem;

struct IdIndexEntry {
    QString id;
    ZEPHTreeItem* item = nullptr;
    uint hash = 0;
    // Where the item was last seen among the rows, relative to the row store's hint base: a lookup
    // of the row by ID checks it before it asks the row records.
    int rowHint = 0;
};

Q_DECLARE_TYPEINFO(IdIndexEntry, Q_MOVABLE_TYPE);

struct IdIndexTraits {
    using Key = QString;
    // Seeded like Qt's own hashes, so that a crafted set of IDs is no easier to collide than there.
    static uint64_t hashKey(const QString& id) { return qHash(id, uint(qGlobalQHashSeed())); }
    static uint64_t hashEntry(const IdIndexEntry& entry) { return entry.hash; }
    static bool matches(const IdIndexEntry& entry, const QString& id, uint64_t hash) {
        return entry.hash == hash && entry.id == id;
    }
    static void setKey(IdIndexEntry& entry, const QString& id, uint64_t hash) {
        entry.id = id;
        entry.hash = uint(hash);
    }
};

// A model's index from ID to the item filed under it.
class IdIndex : public DenseHash<IdIndexEntry, IdIndexTraits> {
public:
    /// The item filed under `id`, or null.
    ZEPHTreeItem* value(const QString& id) const {
        const IdIndexEntry* entry = find(id);
        return entry ? entry->item : nullptr;
    }
    /// The entry of `id`, to be set; an entry without an item is made when there is none.
    IdIndexEntry& entryFor(const QString& id) { return DenseHash::insert(id); }
    /// Removes the entry of `id` when it leads to `item`.
    void removeIfLeadsTo(const QString& id, const ZEPHTreeItem* item) {
        const IdIndexEntry* entry = find(id);
        if (entry && entry->item == item) take(id);
    }
};

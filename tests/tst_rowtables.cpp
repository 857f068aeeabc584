// The flat tables behind a model's rows and ID index, against QHash as the reference.
#include "model/IdIndex.h"
#include "model/RowTable.h"

#include <QHash>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const ZEPHTreeItem* fakeItem(quint32 n) {
    // Only the address is used; spaced like heap objects so that the low bits carry no information.
    return reinterpret_cast<const ZEPHTreeItem*>(quintptr(0x10000) + quintptr(n) * 96);
}

ZEPHTreeItem* fakeTarget(quint32 n) {
    return reinterpret_cast<ZEPHTreeItem*>(quintptr(0x20000) + quintptr(n) * 16);
}

} // namespace

class TestRowTables : public QObject {
    Q_OBJECT
private slots:
    void shouldAgreeWithHashUnderRandomChanges_data();
    void shouldAgreeWithHashUnderRandomChanges();
    void shouldKeepIdEntriesApartWhenOnlyTheLeadingItemMatches();
};

void TestRowTables::shouldAgreeWithHashUnderRandomChanges_data() {
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("keys");
    // Few keys keep the tables small (many wrap-arounds and shifted clusters); many keys make them
    // grow through several rehashes.
    QTest::newRow("8 keys") << 1u << 8;
    QTest::newRow("40 keys") << 2u << 40;
    QTest::newRow("700 keys") << 3u << 700;
    QTest::newRow("5000 keys") << 4u << 5000;
}

// Every operation on both tables is mirrored on a QHash; after each step the answers agree for
// every key, and a walk over the entries finds exactly the reference's content.
void TestRowTables::shouldAgreeWithHashUnderRandomChanges() {
    QFETCH(quint32, seed);
    QFETCH(int, keys);
    QRandomGenerator rng(seed);
    RowTable rows;
    IdIndex ids;
    QHash<const ZEPHTreeItem*, int> rowRef;
    QHash<QString, ZEPHTreeItem*> idRef;
    auto idOf = [](quint32 n) { return QStringLiteral("id-%1").arg(n); };
    const int steps = qMax(4000, keys * 8);
    for (int step = 0; step < steps; ++step) {
        const quint32 key = rng.bounded(quint32(keys));
        const int op = rng.bounded(100);
        if (op < 45) {
            const int hint = rng.bounded(1000000);
            rows.insert(fakeItem(key)).rowHint = hint;
            rowRef.insert(fakeItem(key), hint);
            ids.entryFor(idOf(key)) = fakeTarget(hint);
            idRef.insert(idOf(key), fakeTarget(hint));
        } else if (op < 85) {
            const RowTable::Record taken = rows.take(fakeItem(key));
            QCOMPARE(taken.item != nullptr, rowRef.contains(fakeItem(key)));
            if (taken.item) QCOMPARE(taken.rowHint, rowRef.take(fakeItem(key)));
            ZEPHTreeItem* leading = idRef.value(idOf(key));
            // Only an entry that leads to the named item goes.
            ZEPHTreeItem* named = rng.bounded(2) ? leading : fakeTarget(7);
            ids.removeIfLeadsTo(idOf(key), named);
            if (leading && leading == named) idRef.remove(idOf(key));
        } else if (op < 97) {
            rows.reserve(rows.size() + rng.bounded(keys) + 1);
            ids.reserve(ids.size() + rng.bounded(keys) + 1);
        } else if (op < 98) {
            rows.clear();
            ids.clear();
            rowRef.clear();
            idRef.clear();
        } else {
            // Changing a found record in place is seen by later lookups.
            if (RowTable::Record* record = rows.find(fakeItem(key))) {
                record->rowHint = -step;
                rowRef[fakeItem(key)] = -step;
            }
        }
        if (step % 97 != 0 && step != steps - 1) continue;
        QCOMPARE(rows.size(), rowRef.size());
        QCOMPARE(ids.size(), idRef.size());
        for (quint32 k = 0; k < quint32(keys); ++k) {
            const RowTable::Record* record = rows.find(fakeItem(k));
            QCOMPARE(record != nullptr, rowRef.contains(fakeItem(k)));
            if (record) QCOMPARE(record->rowHint, rowRef.value(fakeItem(k)));
            QCOMPARE(ids.value(idOf(k)), idRef.value(idOf(k)));
        }
        QHash<const ZEPHTreeItem*, int> walked;
        for (const RowTable::Record& record : rows)
            walked.insert(record.item, record.rowHint);
        QCOMPARE(walked, rowRef);
    }
}

// Two IDs with different texts never share an entry, and a stale removal (the ID now leads to
// another item) leaves the entry alone.
void TestRowTables::shouldKeepIdEntriesApartWhenOnlyTheLeadingItemMatches() {
    IdIndex ids;
    ids.entryFor(QStringLiteral("a")) = fakeTarget(1);
    ids.entryFor(QStringLiteral("A")) = fakeTarget(2);
    ids.entryFor(QString()) = fakeTarget(3);
    ids.entryFor(QStringLiteral("a")) = fakeTarget(4);
    ids.removeIfLeadsTo(QStringLiteral("a"), fakeTarget(1));
    QCOMPARE(ids.value(QStringLiteral("a")), fakeTarget(4));
    QCOMPARE(ids.value(QStringLiteral("A")), fakeTarget(2));
    QCOMPARE(ids.value(QString()), fakeTarget(3));
    QCOMPARE(ids.value(QStringLiteral("b")), static_cast<ZEPHTreeItem*>(nullptr));
    QCOMPARE(ids.size(), 3);
    ids.removeIfLeadsTo(QStringLiteral("a"), fakeTarget(4));
    QCOMPARE(ids.value(QStringLiteral("a")), static_cast<ZEPHTreeItem*>(nullptr));
    QCOMPARE(ids.size(), 2);
}

QTEST_GUILESS_MAIN(TestRowTables)
#include "tst_rowtables.moc"

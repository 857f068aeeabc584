#include <ZEPHTreeModel.h>

#include <QFile>
#include <QPointer>
#include <QtTest>

#include <memory>

// AddressSanitizer keeps freed memory in quarantine, so resident memory says nothing about leaks
// there; LeakSanitizer checks them instead at exit.
#if defined(__SANITIZE_ADDRESS__)
#define ZEPH_RESIDENT_MEANINGFUL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEPH_RESIDENT_MEANINGFUL 0
#endif
#endif
#ifndef ZEPH_RESIDENT_MEANINGFUL
#define ZEPH_RESIDENT_MEANINGFUL 1
#endif

namespace {

// Resident set size in KiB, from /proc/self/statm (Linux).
qint64 residentKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * 4 : -1;
}

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// One model of `count` items (every tenth with a child model of three) with a filter, a group, a
// paging and the partial view attached; some traffic; then everything is destroyed.
void cycle(int count, QList<QPointer<QObject>>& probes) {
    std::unique_ptr<ZEPHTreeModel> model(new ZEPHTreeModel(nullptr, {}, 0));
    QList<ZEPHTreeItem*> items;
    for (int i = 0; i < count; ++i) {
        ZEPHTreeModel* child = nullptr;
        if (i % 10 == 0) {
            child = new ZEPHTreeModel(nullptr, {}, 0);
            for (int k = 0; k < 3; ++k)
                child->AppendItem(
                    new ZEPHTreeItem(QStringLiteral("c%1-%2").arg(i).arg(k), QStringLiteral("x"), nullptr));
        }
        items << new ZEPHTreeItem(QString::number(i), QString::number(i % 17), child);
    }
    model->AppendItemsList(items);
    const QVariantList rules{QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                                         {QStringLiteral("Rule"), ZEPHTreeModel::SubStr},
                                         {QStringLiteral("Value"), QStringLiteral("1")}}};
    std::unique_ptr<QObject> filter(model->GetFilterModel(rules, true, 0));
    std::unique_ptr<QObject> group(model->GetGroupModel(QStringLiteral("nameRole")));
    std::unique_ptr<QObject> paging(model->GetPagingModel(50));
    model->GetPartialModel(20);
    model->SetFirstPartialModelRow(100);
    model->SortByRules({QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                                    {QStringLiteral("Ascending"), false}}},
                       ZEPHTreeModel::KeepSorting);
    model->RemoveOne(QStringLiteral("5"));
    model->Remove(0, 9);
    qobject_cast<ZEPHTreeItem*>(model->FindItem(20))->SetName(QStringLiteral("renamed"));
    probes << model.get() << items.last() << items.first() << filter.get();
    settle();
    filter.reset();
    group.reset();
    paging.reset();
    model.reset();
    settle();
}

} // namespace

class TstSoak : public QObject {
    Q_OBJECT
private slots:
    void shouldReturnMemoryAfterModelsWithViews();
};

// ZEPH_SOAK_ITERATIONS sets the number of cycles (default 200; the full soak runs 1000).
void TstSoak::shouldReturnMemoryAfterModelsWithViews() {
    const int iterations = qMax(40, qEnvironmentVariableIntValue("ZEPH_SOAK_ITERATIONS")
                                        ?: (ZEPH_RESIDENT_MEANINGFUL ? 200 : 40));
    constexpr int kWarmUp = 20;
    QList<QPointer<QObject>> probes;
    qint64 baseline = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < iterations; ++i) {
        // Progress, so that a slowdown over the run (something that grows per model) shows.
        if (i % 100 == 0 && i > 0)
            qInfo("cycle %d: %lld ms, resident %lld KiB", i, clock.restart(), residentKiB());
        cycle(1000, probes);
        for (const QPointer<QObject>& probe : probes)
            QVERIFY2(!probe, "an object outlived its model");
        probes.clear();
        if (i + 1 == kWarmUp) baseline = residentKiB();
    }
    const qint64 after = residentKiB();
    QVERIFY(baseline > 0);
    if (!ZEPH_RESIDENT_MEANINGFUL) QSKIP("resident memory is not comparable under AddressSanitizer");
    qInfo("%d models of 1000 items: resident %lld KiB after %d, %lld KiB after %d (%+.2f%%)", iterations,
          baseline, kWarmUp, after, iterations, 100.0 * double(after - baseline) / double(baseline));
    // A few percent of slack for allocator fragmentation; a leak of one model per cycle would be
    // far more (several hundred KiB each).
    QVERIFY2(after <= baseline + baseline / 20,
             qPrintable(QStringLiteral("%1 -> %2 KiB").arg(baseline).arg(after)));
}

QTEST_MAIN(TstSoak)
#include "tst_soak.moc"

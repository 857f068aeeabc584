#include "BulkLoad.h"

#include "DemoData.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QTextStream>
#include <QThread>

#include <atomic>
#include <memory>

#include <unistd.h>

namespace {
const QStringList kKinds{QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma"),
                         QStringLiteral("delta"), QStringLiteral("epsilon")};

QString syntheticId(int i) {
    return QStringLiteral("S%1").arg(i, 7, 10, QLatin1Char('0'));
}

// Items are made in the thread that inserts them; the model adopts them into its own thread.
QList<ZEPHTreeItem*> makeBatch(const QSharedPointer<const DemoRoles>& roles, int first, int end) {
    QList<ZEPHTreeItem*> batch;
    batch.reserve(end - first);
    for (int i = first; i < end; ++i) {
        auto* item = new DemoItem(roles, syntheticId(i), QStringLiteral("item %1").arg(i));
        item->setField(DemoRoles::TypeRole, kKinds.at(i % kKinds.size()));
        item->setField(DemoRoles::NumericRole, i);
        batch.append(item);
    }
    return batch;
}

// The views that watch a load: names containing "7", and groups by type.
struct LiveViews {
    explicit LiveViews(ZEPHTreeModel* model) {
        if (!model) return;
        const QVariantMap sevens{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                                 {QStringLiteral("Rule"), int(ZEPHTreeModel::SubStr)},
                                 {QStringLiteral("Value"), QStringLiteral("7")}};
        filter.reset(model->GetFilterModel(QVariantList{sevens}, true, ZEPHTreeModel::POS_TAIL));
        groups.reset(model->GetGroupModel(QStringLiteral("typeRole"), false));
    }
    std::unique_ptr<QObject> filter;
    std::unique_ptr<QObject> groups;
};

// Deferred deletes of removed items and their child models, processed level by level.
void deleteModel(ZEPHTreeModel* model) {
    delete model;
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString rate(int count, qint64 ns) {
    return QString::number(ns > 0 ? count * 1e6 / double(ns) : 0.0, 'f', 0) + QStringLiteral(" k items/s");
}
} // namespace

BulkLoad::BulkLoad(const DemoTree& tree, QTextStream& out) : m_tree(tree), m_out(out) {}

bool BulkLoad::run(int count, int threads, int batchSize) {
    m_out << "\n8. Cross-thread bulk load: " << count << " synthetic items from " << threads
          << " worker threads\n";
    std::unique_ptr<ZEPHTreeModel> model(m_tree.newModel());
    const QSharedPointer<const DemoRoles> roles = m_tree.roles();

    // Views attached before the load follow it as the rows arrive.
    LiveViews views(model.get());
    auto* filter = qobject_cast<ZEPHTreeModel*>(views.filter.get());
    auto* groups = qobject_cast<ZEPHTreeModel*>(views.groups.get());

    // Progress in the owner thread, from the model's count signal.
    const bool tty = isatty(STDOUT_FILENO);
    int reported = 0;
    ZEPHTreeModel* target = model.get();
    const QMetaObject::Connection progress =
        QObject::connect(target, &ZEPHTreeModel::rowCountChanged, target, [&, target] {
            const int rows = target->rowCount();
            const int step = tty ? qMax(1, count / 50) : qMax(1, count / 4);
            if (rows - reported < step && rows != count) return;
            reported = rows;
            m_out << (tty ? "\r" : "") << "   progress: " << rows << "/" << count << " items ("
                  << (count ? rows * 100 / count : 100) << "%)" << (tty ? "" : "\n");
            m_out.flush();
        });

    std::atomic<qint64> forwardNs{0};
    std::atomic<int> calls{0};
    QList<QThread*> workers;
    QEventLoop loop;
    int finished = 0;
    QElapsedTimer timer;
    timer.start();
    for (int t = 0; t < threads; ++t) {
        const int first = int(qint64(count) * t / threads);
        const int end = int(qint64(count) * (t + 1) / threads);
        QThread* worker = QThread::create([&, first, end] {
            for (int from = first; from < end; from += batchSize) {
                const QList<ZEPHTreeItem*> batch = makeBatch(roles, from, qMin(end, from + batchSize));
                QElapsedTimer call;
                call.start();
                model->AppendItemsList(batch);
                forwardNs += call.nsecsElapsed();
                ++calls;
            }
        });
        QObject::connect(worker, &QThread::finished, &loop, [&] {
            if (++finished == threads) loop.quit();
        });
        workers.append(worker);
    }
    for (QThread* worker : qAsConst(workers))
        worker->start();
    // The owner thread must run its event loop while other threads call into the model.
    if (threads > 0) loop.exec();
    const qint64 loadNs = timer.nsecsElapsed();
    for (QThread* worker : qAsConst(workers)) {
        worker->wait();
        delete worker;
    }
    if (tty) m_out << "\n";

    m_out << "   " << model->rowCount() << " items in " << loadNs / 1000000 << " ms ("
          << rate(model->rowCount(), loadNs) << "); " << calls << " forwarded AppendItemsList calls of up to "
          << batchSize << " items, " << QString::number(calls ? forwardNs / 1000.0 / calls : 0.0, 'f', 0)
          << " us each, waiting included\n";

    // What the threads inserted, worked out without the library.
    int expectedSevens = 0;
    QVector<int> perKind(kKinds.size(), 0);
    for (int i = 0; i < count; ++i) {
        expectedSevens += QString::number(i).contains(QLatin1Char('7')) ? 1 : 0;
        ++perKind[i % kKinds.size()];
    }
    QList<QString> ids;
    model->GetAllIDs(ids, false);
    bool ok = model->rowCount() == count && QSet<QString>(ids.begin(), ids.end()).size() == count;
    for (int i = 0; ok && i < count; i += qMax(1, count / 1000))
        ok = model->FindItem(syntheticId(i), false) != nullptr;

    if (filter) {
        ok = ok && filter->rowCount() == expectedSevens;
        m_out << "   the filter view (names containing \"7\") followed live: " << filter->rowCount()
              << " items\n";
    } else {
        m_out << "   (filter view not available in this build)\n";
    }
    if (groups) {
        QStringList sizes;
        int members = 0;
        for (int row = 0; row < groups->rowCount(); ++row) {
            auto* group = qobject_cast<ZEPHTreeItem*>(groups->FindItem(row));
            auto* memberModel = qobject_cast<ZEPHTreeModel*>(group->ChildModel());
            const int size = memberModel ? memberModel->rowCount() : 0;
            const int kind = kKinds.indexOf(group->ID());
            ok = ok && kind >= 0 && perKind.at(kind) == size;
            members += size;
            sizes << group->ID() + QLatin1Char(' ') + QString::number(size);
        }
        ok = ok && members == count && groups->rowCount() == qMin(count, int(kKinds.size()));
        m_out << "   the group view (by typeRole) followed live: " << sizes.join(QStringLiteral(", "))
              << "\n";
    } else {
        m_out << "   (group view not available in this build)\n";
    }
    m_out << "   check: " << (ok ? "ok" : "FAILED")
          << " (every ID inserted once; the views agree with the inserted data)\n";

    // The same load made in the owner thread, with the same views attached, for comparison.
    QObject::disconnect(progress);
    views = LiveViews(nullptr);
    deleteModel(model.release());
    std::unique_ptr<ZEPHTreeModel> local(m_tree.newModel());
    LiveViews localViews(local.get());
    timer.restart();
    for (int from = 0; from < count; from += batchSize)
        local->AppendItemsList(makeBatch(roles, from, qMin(count, from + batchSize)));
    const qint64 localNs = timer.nsecsElapsed();
    m_out << "   the same load made in the owner thread: " << localNs / 1000000 << " ms ("
          << rate(count, localNs) << ")\n";
    localViews = LiveViews(nullptr);
    deleteModel(local.release());
    m_out.flush();
    return ok;
}

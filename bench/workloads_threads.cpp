// One AppendItem from a thread that does not own the model: the call travels to the owner thread,
// runs there and its result travels back.
#include "Fixtures.h"
#include "Workloads.h"

#include "ZEPHTreeModel.h"

#include <QCoreApplication>
#include <QStandardItemModel>
#include <QThread>

#include <algorithm>

namespace {
constexpr int kCalls = 2000;

// A thread with a running event loop and an object living in it to run calls on.
class OwnerThread {
public:
    OwnerThread() {
        m_thread.start();
        m_anchor.moveToThread(&m_thread);
    }
    ~OwnerThread() {
        // Deferred deletions run in the owner thread, and the anchor comes home before it ends.
        QThread* home = QThread::currentThread();
        run([this, home] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            m_anchor.moveToThread(home);
        });
        m_thread.quit();
        m_thread.wait();
    }
    OwnerThread(const OwnerThread&) = delete;
    OwnerThread& operator=(const OwnerThread&) = delete;

    template <typename F> void run(F f) {
        QMetaObject::invokeMethod(&m_anchor, f, Qt::BlockingQueuedConnection);
    }

private:
    QThread m_thread;
    QObject m_anchor;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

template <typename Call> double medianMicroseconds(Call call) {
    std::vector<double> micros;
    micros.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        Stopwatch watch;
        call(i);
        micros.push_back(watch.seconds() * 1e6);
    }
    return median(micros);
}
} // namespace

void registerThreadWorkloads() {
    const Plan plan{1, 5};
    addCase("forwarded_append", "zeph", 0, plan, [](benchmark::State& state) {
        const Dataset& data = dataset(kCalls);
        double sum = 0;
        for (auto _ : state) {
            OwnerThread owner;
            ZEPHTreeModel* model = nullptr;
            owner.run([&] { model = makeModel(); });
            std::vector<ZEPHTreeItem*> items;
            for (int i = 0; i < kCalls; ++i)
                items.push_back(new ZEPHTreeItem(data.ids[i], data.names[i], nullptr));
            bool allTrue = true;
            const double micros = medianMicroseconds([&](int i) { allTrue &= model->AppendItem(items[i]); });
            const int rows = model->rowCount();
            owner.run([&] { destroy(model); });
            if (!allTrue || rows != kCalls) {
                skip(state, QStringLiteral("wrong result: forwarded AppendItem failed"));
                break;
            }
            state.SetIterationTime(micros * 1e-6);
            sum += micros;
        }
        reportValue(state, sum);
    });
    // The Qt way: a blocking queued call that runs appendRow in the model's thread.
    addCase("forwarded_append", "qsi", 0, plan, [](benchmark::State& state) {
        const Dataset& data = dataset(kCalls);
        double sum = 0;
        for (auto _ : state) {
            OwnerThread owner;
            QStandardItemModel* model = nullptr;
            owner.run([&] { model = makePeerModel(); });
            std::vector<QStandardItem*> items;
            for (int i = 0; i < kCalls; ++i) {
                auto* item = new QStandardItem;
                item->setData(data.ids[i], PeerIdRole);
                item->setData(data.names[i], PeerNameRole);
                item->setData(data.groups[i], PeerGroupRole);
                items.push_back(item);
            }
            const double micros = medianMicroseconds([&](int i) {
                QStandardItem* item = items[i];
                QMetaObject::invokeMethod(
                    model, [model, item] { model->appendRow(item); }, Qt::BlockingQueuedConnection);
            });
            const int rows = model->rowCount();
            owner.run([&] { delete model; });
            if (rows != kCalls) {
                skip(state, QStringLiteral("wrong result: appendRow calls were lost"));
                break;
            }
            state.SetIterationTime(micros * 1e-6);
            sum += micros;
        }
        reportValue(state, sum);
    });
    // The limit: an empty blocking queued call.
    addCase("forwarded_append", "base", 0, plan, [](benchmark::State& state) {
        double sum = 0;
        for (auto _ : state) {
            OwnerThread owner;
            const double micros = medianMicroseconds([&](int) { owner.run([] {}); });
            state.SetIterationTime(micros * 1e-6);
            sum += micros;
        }
        reportValue(state, sum);
    });
}

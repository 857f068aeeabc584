#include "ProbeModel.h"
#include "SignalLog.h"
#include "TreeBuilder.h"

#include <ZEPHTreeModel.h>
#include <ZEPHTreeModelExports.h>

#include <QPointer>
#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

using Probe = ProbeModel;
using tree::flushDeletes;

// Runs `work` in a new thread while this thread runs its event loop, and waits for it to end.
bool runInThread(const std::function<void()>& work) {
    std::unique_ptr<QThread> thread(QThread::create(work));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    return thread->wait(1000);
}

// Runs `work` in a new thread while this thread does NOT run its event loop; true when it ended
// within `ms` (a guard against a call that waits for this thread).
bool finishesWithoutOwner(const std::function<void()>& work, int ms) {
    QSemaphore done;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        work();
        done.release();
    }));
    thread->start();
    const bool finished = done.tryAcquire(1, ms);
    // A call that waits for this thread gets through before the thread object goes away.
    while (!thread->isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    thread->wait();
    return finished;
}

QString rows(ZEPHTreeModel* model) {
    return tree::rows(model) + QLatin1String(" / ") + tree::dump(model);
}

// What one operation did, seen from the calling thread.
struct Outcome {
    bool result = false;
    // A refused single item is still alive and lives in the calling thread.
    bool refusedItemKept = true;
};

// Runs one operation (see tree::run); everything it creates is created in the calling thread.
Outcome runOperation(ZEPHTreeModel* model, const QString& op) {
    QList<QPointer<ZEPHTreeItem>> passed;
    Outcome outcome;
    outcome.result = tree::run(model, op, &passed);
    const QString verb = op.section(QLatin1Char(' '), 0, 0);
    if (!outcome.result && (verb == QLatin1String("append") || verb == QLatin1String("prepend") ||
                            verb == QLatin1String("insert"))) {
        for (const QPointer<ZEPHTreeItem>& item : passed) {
            outcome.refusedItemKept = item && item->thread() == QThread::currentThread();
            delete item.data();
        }
    }
    return outcome;
}

// Every object of a model's tree lives in `thread`.
bool treeLivesIn(ZEPHTreeModel* model, QThread* thread) {
    for (ZEPHTreeItem* item : *model->GetModelItemList()) {
        if (item->thread() != thread) return false;
        auto* child = qobject_cast<ZEPHTreeModel*>(item->ChildModel());
        if (child && (child->thread() != thread || !treeLivesIn(child, thread))) return false;
    }
    return true;
}

QVariant itemVariant(ZEPHTreeItem* item) {
    void* pointer = item;
    return QVariant(QMetaType::VoidStar, &pointer);
}

QObject* workerOf(QObject* model) {
    for (QObject* child : model->children()) {
        if (qstrcmp(child->metaObject()->className(), "ZEPHTreeModelWorker") == 0) return child;
    }
    return nullptr;
}

} // namespace

class TstThreads : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { flushDeletes(); }

    void shouldRunForwardedCallsLikeOwnerThreadCalls_data();
    void shouldRunForwardedCallsLikeOwnerThreadCalls();
    void shouldDecideEarlyReturnsInCallingThread();
    void shouldForwardNullInsertionAndWaitForOwner();
    void shouldRefuseAtOnceWhenOwnerThreadEnded();
    void shouldGiveUpWhenOwnerEndsWithCallPending();
    void shouldDeleteModelInOwnerThreadFromForeignThread();
    void shouldUnwrapItemVariantsInWorker();
    void shouldDeleteItemsOfEndedThreadAfterRemovalSignals();
};

void TstThreads::shouldRunForwardedCallsLikeOwnerThreadCalls_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("op");

    const QStringList ops = {
        "append X",         "append X[Y Z]",     "append B:n",      "append ~",
        "prepend X",        "prepend B:n",       "insert 1 X[Y]",   "insert 3 X",
        "insert 4 X",       "insert -1 X",       "insert 0 B",      "insert 0 ~",
        "appendList X ~ Y", "appendList B:n X",  "appendList",      "prependList X Y[Z]",
        "prependList ~",    "prependList",       "replace X Y",     "replace",
        "replaceEx X",      "replaceEx X Y Z W", "replaceOwn C A",  "replaceExOwn C B A",
        "removeOne B",      "removeOne X",       "removeIds A C X", "removeRows 1 2",
        "removeRows 2 1",   "removeAll",         "clear",           "clearAll",
        "move 0 2",         "move 0 3",
    };
    for (const QString& op : ops) {
        QTest::addRow("%s", qPrintable(op)) << 0 << op;
        QTest::addRow("%s, merging", qPrintable(op)) << 4 << op;
    }
}

// The same operation on two equal models, once in the owner thread and once from another thread,
// gives the same result, signals and rows; the forwarded one signals in the owner thread only, and
// the items it handed over live in the owner thread afterwards.
void TstThreads::shouldRunForwardedCallsLikeOwnerThreadCalls() {
    QFETCH(int, flags);
    QFETCH(QString, op);
    QThread* owner = QThread::currentThread();
    QString signalsInOwner;
    QString rowsInOwner;
    Outcome inOwner;
    {
        Probe model(nullptr, {}, flags);
        tree::fill(&model, QStringLiteral("A B C"));
        model.keepSorting();
        SignalLog log(&model);
        model.log = &log;
        inOwner = runOperation(&model, op);
        signalsInOwner = log.take();
        rowsInOwner = rows(&model);
    }
    flushDeletes();

    Probe model(nullptr, {}, flags);
    tree::fill(&model, QStringLiteral("A B C"));
    model.keepSorting();
    SignalLog log(&model);
    model.log = &log;
    QList<QThread*> signalThreads;
    const auto record = [&] { signalThreads << QThread::currentThread(); };
    // Destroyed before the locals its connections use, so the model's teardown reaches none of them.
    QObject listener;
    connect(&model, &QAbstractItemModel::rowsInserted, &listener, record, Qt::DirectConnection);
    connect(&model, &QAbstractItemModel::rowsRemoved, &listener, record, Qt::DirectConnection);
    connect(&model, &QAbstractItemModel::dataChanged, &listener, record, Qt::DirectConnection);
    connect(&model, &QAbstractItemModel::modelReset, &listener, record, Qt::DirectConnection);
    connect(&model, &ZEPHTreeModel::rowCountChanged, &listener, record, Qt::DirectConnection);
    Outcome forwarded;
    QVERIFY(runInThread([&] { forwarded = runOperation(&model, op); }));

    QCOMPARE(forwarded.result, inOwner.result);
    QVERIFY(inOwner.refusedItemKept);
    QVERIFY(forwarded.refusedItemKept);
    QCOMPARE(log.take(), signalsInOwner);
    QCOMPARE(rows(&model), rowsInOwner);
    QVERIFY(!signalThreads.contains(nullptr));
    for (QThread* thread : signalThreads)
        QCOMPARE(thread, owner);
    for (QThread* thread : model.sortThreads)
        QCOMPARE(thread, owner);
    QVERIFY(treeLivesIn(&model, owner));
}

// Null items and empty lists are answered without waiting for the owner thread, which here runs no
// event loop at all.
void TstThreads::shouldDecideEarlyReturnsInCallingThread() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make(QStringLiteral("A")));
    QStringList results;
    QVERIFY(finishesWithoutOwner(
        [&] {
            results << QString::number(model->AppendItem(nullptr))
                    << QString::number(model->PrependItem(nullptr))
                    << QString::number(model->AppendItemsList({}))
                    << QString::number(model->PrependItemsList({}));
        },
        10000));
    QCOMPARE(results.join(QLatin1Char(' ')), QStringLiteral("0 0 1 1"));
}

// InsertItem tests the thread before the item, so a null item waits for the owner thread's answer.
void TstThreads::shouldForwardNullInsertionAndWaitForOwner() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make(QStringLiteral("A")));
    QSemaphore done;
    bool result = true;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        result = model->InsertItem(0, nullptr);
        done.release();
    }));
    thread->start();
    QVERIFY(!done.tryAcquire(1, 200));
    QTRY_VERIFY_WITH_TIMEOUT(done.available() > 0, 30000);
    thread->wait();
    QVERIFY(!result);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("A"));
}

// A model whose owner thread has ended cannot run anything any more: every forwarded call answers
// false (or does nothing) at once, and the caller keeps its items, in its own thread.
void TstThreads::shouldRefuseAtOnceWhenOwnerThreadEnded() {
    QPointer<ZEPHTreeModel> model;
    std::unique_ptr<QThread> owner(QThread::create([&] { model = tree::make(QStringLiteral("A[B[C]] D")); }));
    owner->start();
    QVERIFY(owner->wait(30000));
    auto* child = qobject_cast<ZEPHTreeModel*>(tree::at(model, 0)->ChildModel());
    QList<QPointer<QObject>> objects{model->FindItem(0), model->FindItem(1), child, child->FindItem(0),
                                     tree::at(child, 0)->ChildModel()};

    QStringList results;
    QPointer<ZEPHTreeItem> x;
    QVERIFY(finishesWithoutOwner(
        [&] {
            x = new ZEPHTreeItem(QStringLiteral("X"), QStringLiteral("X"), tree::make(QStringLiteral("Y")));
            results << QString::number(model->AppendItem(x)) << QString::number(model->PrependItem(x))
                    << QString::number(model->InsertItem(0, x))
                    << QString::number(model->AppendItemsList({x}))
                    << QString::number(model->PrependItemsList({x}))
                    << QString::number(model->ReplaceItemsList({x}))
                    << QString::number(model->ReplaceItemsListEx({x}))
                    << QString::number(model->RemoveOne(QStringLiteral("A")))
                    << QString::number(model->Remove(0, 0))
                    << QString::number(model->Remove(QStringList{QStringLiteral("A")}));
            model->RemoveAll();
            model->MoveRow(0, 1);
            model->ClearAllSourceContainer();
            results << QString::number(x && x->thread() == QThread::currentThread() &&
                                       x->ChildModel()->thread() == QThread::currentThread());
            delete x->ChildModel();
            delete x.data();
        },
        10000));
    QCOMPARE(results.join(QLatin1Char(' ')), QStringLiteral("0 0 0 0 0 0 0 0 0 0 1"));
    QCOMPARE(tree::dump(model), QStringLiteral("A[B[C]] D"));
    flushDeletes();
    for (const QPointer<QObject>& object : objects)
        QVERIFY(object);

    // Whoever deletes it empties and deletes it at once, in place: the ended thread would never run a
    // deferred deletion.
    bool deleted = false;
    QVERIFY(finishesWithoutOwner(
        [&] {
            IZEPHTreeModel* handle = model.data();
            deleted = DeleteZEPHTreeModel(&handle) && !handle;
        },
        10000));
    QVERIFY(deleted);
    QVERIFY(!model);
    for (const QPointer<QObject>& object : objects)
        QVERIFY(!object);
}

// The owner thread runs no event loop and ends while a forwarded call waits in its queue: the
// caller gets false instead of waiting for ever.
void TstThreads::shouldGiveUpWhenOwnerEndsWithCallPending() {
    ZEPHTreeModel* model = nullptr;
    QSemaphore ready;
    QSemaphore end;
    std::unique_ptr<QThread> owner(QThread::create([&] {
        model = tree::make(QStringLiteral("A"));
        ready.release();
        end.acquire();
    }));
    owner->start();
    ready.acquire();
    bool result = true;
    QVERIFY(finishesWithoutOwner(
        [&] {
            QPointer<ZEPHTreeItem> x = new ZEPHTreeItem(QStringLiteral("X"), QStringLiteral("X"), nullptr);
            std::unique_ptr<QThread> ender(QThread::create([&] {
                // Gives the call time to be posted before the owner thread ends.
                QThread::msleep(200);
                end.release();
            }));
            ender->start();
            result = model->AppendItem(x);
            ender->wait();
            delete x.data();
        },
        10000));
    QVERIFY(!result);
    QVERIFY(owner->wait(10000));
    IZEPHTreeModel* handle = model;
    QVERIFY(DeleteZEPHTreeModel(&handle));
}

void TstThreads::shouldDeleteModelInOwnerThreadFromForeignThread() {
    IZEPHTreeModel* handle = nullptr;
    QVERIFY(CreateZEPHTreeModel(&handle, nullptr, {}, 0, {}, {}));
    auto* model = qobject_cast<ZEPHTreeModel*>(handle);
    tree::fill(model, QStringLiteral("A[B] C"));
    QList<QPointer<QObject>> objects{model, model->FindItem(0), model->FindItem(1)};
    QThread* destroyedIn = nullptr;
    connect(
        model, &QObject::destroyed, this, [&] { destroyedIn = QThread::currentThread(); },
        Qt::DirectConnection);
    SignalLog log(model);
    bool deleted = false;
    QVERIFY(runInThread([&] { deleted = DeleteZEPHTreeModel(&handle); }));
    QVERIFY(deleted);
    QCOMPARE(handle, nullptr);
    QCOMPARE(destroyedIn, QThread::currentThread());
    QCOMPARE(log.take(), QStringLiteral("rem:0-1 allRemoved count"));
    flushDeletes();
    for (const QPointer<QObject>& object : objects)
        QVERIFY(!object);
}

// The worker takes items as void* variants; anything that does not convert reaches the model as a
// null item.
void TstThreads::shouldUnwrapItemVariantsInWorker() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make(QStringLiteral("A")));
    QObject* worker = workerOf(model.get());
    QVERIFY(worker);
    bool result = true;
    QVERIFY(QMetaObject::invokeMethod(worker, "AppendItem", Q_RETURN_ARG(bool, result),
                                      Q_ARG(QVariant, QVariant(QStringLiteral("X")))));
    QVERIFY(!result);
    ZEPHTreeItem* x = tree::items(QStringLiteral("X")).first();
    ZEPHTreeItem* y = tree::items(QStringLiteral("Y")).first();
    QVERIFY(QMetaObject::invokeMethod(worker, "AppendItemsList", Q_RETURN_ARG(bool, result),
                                      Q_ARG(QVariantList, (QVariantList{QVariant(7), itemVariant(x)}))));
    QVERIFY(result);
    QVERIFY(QMetaObject::invokeMethod(worker, "InsertItem", Q_RETURN_ARG(bool, result), Q_ARG(int, 1),
                                      Q_ARG(QVariant, itemVariant(y))));
    QVERIFY(result);
    QVERIFY(QMetaObject::invokeMethod(worker, "Remove", Q_RETURN_ARG(bool, result), Q_ARG(int, 0),
                                      Q_ARG(int, 0)));
    QVERIFY(result);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("Y X"));
}

// Items made in a thread that has ended are deleted at once when removed (a deferred deletion would
// never run there), but only after the removal's signals, which may still read them.
void TstThreads::shouldDeleteItemsOfEndedThreadAfterRemovalSignals() {
    QList<ZEPHTreeItem*> items;
    std::unique_ptr<QThread> maker(
        QThread::create([&items] { items = tree::items(QStringLiteral("A B[C]")); }));
    maker->start();
    QVERIFY(maker->wait(30000));
    ZEPHTreeModel model;
    QVERIFY(model.AppendItemsList(items));
    const QPointer<ZEPHTreeItem> first = items.at(0);
    const QPointer<QObject> child = items.at(1)->ChildModel();
    QStringList seen;
    const auto look = [&](const char* signal) {
        seen << QStringLiteral("%1:%2").arg(QLatin1String(signal), first && child ? "alive" : "dead");
    };
    connect(&model, &QAbstractItemModel::rowsRemoved, this, [&] { look("rem"); });
    connect(&model, &ZEPHTreeModel::allItemRemoved, this, [&] { look("all"); });
    connect(&model, &ZEPHTreeModel::rowCountChanged, this, [&] { look("count"); });
    model.RemoveAll();
    look("after");
    QCOMPARE(seen.join(QLatin1Char(' ')), QStringLiteral("rem:alive all:alive count:alive after:dead"));
}

QTEST_GUILESS_MAIN(TstThreads)
#include "tst_threads.moc"

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

// A model that logs each keep-sorting pass as "sort" and remembers the threads it ran in.
class Probe : public ZEPHTreeModel {
public:
    using ZEPHTreeModel::ZEPHTreeModel;
    void SortByRules(const QVariantList&, int) override {
        sortThreads << QThread::currentThread();
        if (log) log->entries << QStringLiteral("sort");
    }
    void keepSorting() { setKeepSorting(KeepSorting, {}); }

    SignalLog* log = nullptr;
    QList<QThread*> sortThreads;
};

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

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

QList<ZEPHTreeItem*> own(ZEPHTreeModel* model, const QString& ids) {
    QList<ZEPHTreeItem*> items;
    for (const QString& id : ids.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        items << qobject_cast<ZEPHTreeItem*>(model->FindItem(id));
    return items;
}

QString rows(ZEPHTreeModel* model) {
    QStringList parts;
    for (ZEPHTreeItem* item : *model->GetModelItemList())
        parts << (item->Name() == item->ID() ? item->ID() : item->ID() + QLatin1Char(':') + item->Name());
    return parts.join(QLatin1Char(' ')) + QLatin1String(" / ") + tree::dump(model);
}

// What one operation did, seen from the calling thread.
struct Outcome {
    bool result = false;
    // A refused single item is still alive and lives in the calling thread.
    bool refusedItemKept = true;
};

// Runs one operation written as "<operation> <arguments>"; everything it creates is created in the
// calling thread.
Outcome runOperation(ZEPHTreeModel* model, const QString& op) {
    const QString verb = op.section(QLatin1Char(' '), 0, 0);
    QString rest = op.section(QLatin1Char(' '), 1);
    const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    Outcome outcome;
    outcome.result = true;
    const auto single = [&](const std::function<bool(ZEPHTreeItem*)>& call, const QString& shape) {
        ZEPHTreeItem* item = tree::listOf(shape).value(0);
        QPointer<ZEPHTreeItem> guard = item;
        outcome.result = call(item);
        if (!outcome.result && item) {
            outcome.refusedItemKept = guard && guard->thread() == QThread::currentThread();
            delete guard.data();
        }
    };
    if (verb == QLatin1String("append"))
        single([&](ZEPHTreeItem* item) { return model->AppendItem(item); }, rest);
    else if (verb == QLatin1String("prepend"))
        single([&](ZEPHTreeItem* item) { return model->PrependItem(item); }, rest);
    else if (verb == QLatin1String("insert"))
        single([&](ZEPHTreeItem* item) { return model->InsertItem(args.at(0).toInt(), item); },
               rest.section(QLatin1Char(' '), 1));
    else if (verb == QLatin1String("appendList"))
        outcome.result = model->AppendItemsList(tree::listOf(rest));
    else if (verb == QLatin1String("prependList"))
        outcome.result = model->PrependItemsList(tree::listOf(rest));
    else if (verb == QLatin1String("replace"))
        outcome.result = model->ReplaceItemsList(tree::listOf(rest));
    else if (verb == QLatin1String("replaceEx"))
        outcome.result = model->ReplaceItemsListEx(tree::listOf(rest));
    else if (verb == QLatin1String("replaceOwn"))
        outcome.result = model->ReplaceItemsList(own(model, rest));
    else if (verb == QLatin1String("replaceExOwn"))
        outcome.result = model->ReplaceItemsListEx(own(model, rest));
    else if (verb == QLatin1String("removeOne"))
        outcome.result = model->RemoveOne(rest);
    else if (verb == QLatin1String("removeIds"))
        outcome.result = model->Remove(args);
    else if (verb == QLatin1String("removeRows"))
        outcome.result = model->Remove(args.at(0).toInt(), args.at(1).toInt());
    else if (verb == QLatin1String("removeAll"))
        model->RemoveAll();
    else if (verb == QLatin1String("clear"))
        model->clear();
    else if (verb == QLatin1String("clearAll"))
        model->ClearAllSourceContainer();
    else if (verb == QLatin1String("move"))
        model->MoveRow(args.at(0).toInt(), args.at(1).toInt());
    else
        qFatal("unknown operation %s", qPrintable(op));
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
    void shouldDeleteModelInPlaceWhenOwnerThreadEnded();
    void shouldUnwrapItemVariantsInWorker();
    void shouldSerializeCallsFromSeveralThreads();
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
    ZEPHTreeModel* model = nullptr;
    std::unique_ptr<QThread> owner(QThread::create([&] { model = tree::make(QStringLiteral("A[B] C")); }));
    owner->start();
    QVERIFY(owner->wait(30000));
    QList<QPointer<QObject>> objects{model->FindItem(0), model->FindItem(1),
                                     qobject_cast<ZEPHTreeItem*>(model->FindItem(0))->ChildModel()};

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
    QCOMPARE(tree::dump(model), QStringLiteral("A[B] C"));
    flushDeletes();
    for (const QPointer<QObject>& object : objects)
        QVERIFY(object);

    IZEPHTreeModel* handle = model;
    QVERIFY(DeleteZEPHTreeModel(&handle));
    QCOMPARE(handle, nullptr);
    // Deleted at once: the ended thread would never run a deferred deletion.
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

// A model made in a thread that has ended is emptied and deleted by whoever deletes it.
void TstThreads::shouldDeleteModelInPlaceWhenOwnerThreadEnded() {
    QPointer<ZEPHTreeModel> model;
    QList<QPointer<QObject>> objects;
    std::unique_ptr<QThread> owner(QThread::create([&] {
        model = tree::make(QStringLiteral("A[B[C]] D"));
        objects << model->FindItem(0) << model->FindItem(1)
                << qobject_cast<ZEPHTreeItem*>(model->FindItem(0))->ChildModel();
    }));
    owner->start();
    QVERIFY(owner->wait(30000));
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

// Calls from several threads at once are run one after the other in the owner thread.
void TstThreads::shouldSerializeCallsFromSeveralThreads() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make(QString()));
    SignalLog log(model.get());
    const auto fill = [&](const QString& prefix) {
        for (int i = 0; i < 200; ++i) {
            const QString id = prefix + QString::number(i);
            if (i % 2)
                model->AppendItem(new ZEPHTreeItem(id, id, nullptr));
            else
                model->PrependItemsList({new ZEPHTreeItem(id, id, nullptr)});
        }
    };
    std::unique_ptr<QThread> first(QThread::create(fill, QStringLiteral("a")));
    std::unique_ptr<QThread> second(QThread::create(fill, QStringLiteral("b")));
    first->start();
    second->start();
    QTRY_VERIFY_WITH_TIMEOUT(first->isFinished() && second->isFinished(), 60000);
    QCOMPARE(model->rowCount(), 400);
    QCOMPARE(log.entries.count(QStringLiteral("count")), 400);
    QVERIFY(treeLivesIn(model.get(), QThread::currentThread()));
    for (int i = 0; i < 200; ++i)
        QVERIFY(model->FindItem(QStringLiteral("a%1").arg(i)) &&
                model->FindItem(QStringLiteral("b%1").arg(i)));
}

QTEST_GUILESS_MAIN(TstThreads)
#include "tst_threads.moc"

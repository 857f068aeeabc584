#include "SignalLog.h"
#include "TreeBuilder.h"
#include "ValueItem.h"
#include "core/SlotIndex.h"
#include "model/ValueRelay.h"
#include "model/ZEPHTreeModelPrivate.h"

#include <ZEPHTreeModel.h>
#include <ZEPHTreeModelExports.h>

#include <QtTest>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

using Tester = QAbstractItemModelTester;
// Table flags beyond the creation flags (1, 2, 4).
constexpr int Handler = 8, ThrowingHandler = 16, ClaimsRows = 32, FindsStranger = 64, ShiftsRows = 128;

// A model that logs each keep-sorting pass as "sort" among its signals, and, as a view may, can
// claim more rows than it holds, answer lookups by ID with an item that is no row of it, or show
// its rows shifted by one. The duplicate handler names the merged item after the new one with a
// "!" added, and may throw afterwards.
class Probe : public ZEPHTreeModel {
public:
    explicit Probe(int flags, const QHash<int, QByteArray>& roles = {})
        : ZEPHTreeModel(nullptr, roles, flags & 7, handler(flags)), m_extra(flags) {
        ZEPHTreeModelPrivate::get(this)->setKeepSorting(KeepSorting, {QVariantMap()});
    }
    static PF_DUPLICATE_HANDLER handler(int flags) {
        if (!(flags & (Handler | ThrowingHandler))) return {};
        return [flags](const QObject* source, QObject* target) {
            qobject_cast<ZEPHTreeItem*>(target)->SetName(qobject_cast<const ZEPHTreeItem*>(source)->Name() +
                                                         '!');
            if (flags & ThrowingHandler) throw std::runtime_error("refused");
        };
    }
    void SortByRules(const QVariantList& rules, int flag) override {
        if (log) log->entries << (rules.size() == 1 && flag == KeepSorting ? "sort" : "sort?");
    }
    QObject* FindItem(const QString& id, bool deep) const override {
        return m_extra & FindsStranger ? &m_stranger : ZEPHTreeModel::FindItem(id, deep);
    }
    QObject* FindItem(int row) const override {
        return ZEPHTreeModel::FindItem(row + (m_extra & ShiftsRows ? 1 : 0));
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return m_extra & ClaimsRows ? 10 : ZEPHTreeModel::rowCount(parent);
    }
    SignalLog* log = nullptr;

private:
    int m_extra;
    mutable ZEPHTreeItem m_stranger{QStringLiteral("S"), QStringLiteral("stranger"), nullptr};
};

// An item that shows a text of its own in the display role.
struct DisplayItem : ZEPHTreeItem {
    using ZEPHTreeItem::getData;
    using ZEPHTreeItem::ZEPHTreeItem;
    QVariant getData(int role) const override {
        return role ? ZEPHTreeItem::getData(role) : QVariant("shown");
    }
};

// A value as text: "invalid", "QString=A", "QObject*=0" (or the item's ID, or "obj"), "QVariantMap(3)".
QString text(const QVariant& value) {
    if (!value.isValid()) return QStringLiteral("invalid");
    const QString type = QString::fromLatin1(value.typeName()) + '=';
    if (value.userType() == QMetaType::QVariantMap)
        return type.chopped(1) + QStringLiteral("(%1)").arg(value.toMap().size());
    if (value.userType() != QMetaType::QObjectStar) return type + value.toString();
    auto* object = value.value<QObject*>();
    auto* item = qobject_cast<ZEPHTreeItem*>(object);
    return type + (item ? item->ID() : object ? QStringLiteral("obj") : QStringLiteral("0"));
}

// "ID:name" of a found item, or "-".
QString found(QObject* object) {
    auto* item = qobject_cast<ZEPHTreeItem*>(object);
    return item ? item->ID() + ':' + item->Name() : QStringLiteral("-");
}

// The rows as "ID", "ID:name" where the name differs, "*" where the ID index leads elsewhere, and
// the rows of a child model in brackets (unless it is one of the models around it).
QString describe(ZEPHTreeModel* model, QSet<QObject*> path = {}) {
    QStringList parts;
    path.insert(model);
    for (ZEPHTreeItem* item : *model->GetModelItemList()) {
        parts << item->ID() + (item->Name() == item->ID() ? QString() : ':' + item->Name());
        if (model->ZEPHTreeModel::FindItem(item->ID(), false) != item) parts.last() += '*';
        auto* child = qobject_cast<ZEPHTreeModel*>(item->ChildModel());
        if (child && child->rowCount() && !path.contains(child))
            parts.last() += '[' + describe(child, path) + ']';
    }
    return parts.join(' ');
}

// Every object of a tree in pre-order, once: items, their child models, and so on down.
void collect(ZEPHTreeModel* model, QList<QPointer<QObject>>& objects, QObject* top = nullptr) {
    for (ZEPHTreeItem* item : *model->GetModelItemList()) {
        objects << item;
        auto* child = qobject_cast<ZEPHTreeModel*>(item->ChildModel());
        if (child && child != (top ? top : model) && !objects.contains(child))
            collect(child, objects << child, top ? top : model);
    }
}

// The IDs of a model's rows, sorted.
QStringList sortedIds(const QObject* model) {
    QStringList ids = tree::ids(model).split(' ');
    return ids.sort(), ids;
}

// Runs `work` in a new thread while this thread runs its event loop (or, without `loop`, none);
// true when the work ended within 10 s.
// The relays and the one object that holds them are a model's only plain QObjects.
int plainObjectsIn(const QObject* model) {
    const QObjectList children = model->findChildren<QObject*>();
    return int(std::count_if(children.cbegin(), children.cend(), [](const QObject* child) {
        return child->metaObject() == &QObject::staticMetaObject;
    }));
}

bool runInThread(const std::function<void()>& work, bool loop = true) {
    QSemaphore done;
    std::unique_ptr<QThread> thread(QThread::create([&] { work(), done.release(); }));
    QEventLoop events;
    QObject::connect(thread.get(), &QThread::finished, &events, &QEventLoop::quit);
    thread->start();
    if (loop) events.exec();
    const bool finished = done.tryAcquire(1, 10000);
    while (!thread->wait(50))
        QCoreApplication::processEvents();
    return finished;
}

} // namespace

class TstModel : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { tree::flushDeletes(3); }
    void shouldBuildEveryModelCompletely();
    void shouldAnswerLookups_data();
    void shouldAnswerLookups();
    void shouldFollowTheOperationContract_data();
    void shouldFollowTheOperationContract();
    void shouldAgreeWithAListUnderRandomOperations();
    void shouldDropAQueuedChangeOfAnItemThatLeft();
    void shouldIndexLikeAMapWhenHashesCollide();
    void shouldKeepSharedItemsConnectedUntilTheyDie();
    void shouldAnswerWithoutRunningOwnerThread();
};

// Both constructors give a model with the default roles, its own partial view and a worker that
// carries calls from other threads into the owner thread; the view-only operations do nothing.
void TstModel::shouldBuildEveryModelCompletely() {
    for (auto* model : {new ZEPHTreeModel(), new ZEPHTreeModel(nullptr, {})}) {
        std::unique_ptr<ZEPHTreeModel> owner(model);
        QCOMPARE(model->roleNames(),
                 (QHash<int, QByteArray>{{257, "idRole"}, {258, "nameRole"}, {259, "childModelRole"}}));
        QObject* partial = model->GetPartialModel(2);
        QVERIFY(partial->parent() == model && model->GetPartialModel(3) == partial);
        bool appended = false;
        QVERIFY(runInThread([&] { appended = tree::run(model, "append T"); }));
        QVERIFY(appended && tree::at(model, 0)->thread() == thread());
        // The worker (the child after the partial view) takes items as void* variants; anything else
        // reaches the model as a null item.
        void* x = tree::items("X").first();
        QVERIFY(QMetaObject::invokeMethod(
            model->children().at(1), "AppendItemsList", Q_RETURN_ARG(bool, appended),
            Q_ARG(QVariantList, (QVariantList{7, QVariant(QMetaType::VoidStar, &x)}))));
        QVERIFY(appended && tree::ids(model) == "T X");
        SignalLog log(model);
        model->setPage(2);
        model->SetFirstPartialModelRow(0);
        model->SetFirstPartialModelRow(0);
        QVERIFY(QMetaObject::invokeMethod(model, "EmitValueChange")); // no sender, no row
        QCOMPARE(log.take() + partial->property("count").toString(), QStringLiteral("first first2"));
        QCOMPARE(QVariantList({model->page(), model->totalPage(), model->UpdateFilterRules({}, true),
                               model->UpdateUserDefinedFilterRules({}), model->UpdateGroupRole(258)}),
                 QVariantList({-1, 0, false, false, false}));
    }
    QHash<int, QByteArray> roles{{1, "keep"}, {257, "old"}};
    ZEPHTreeItem::GetRolesHash(roles, ZEPHTreeItem::WithJsonValueRole);
    QCOMPARE(roles.value(1) + roles.value(257) + roles.value(260), QByteArray("keepidRolejsonValueRole"));
}

void TstModel::shouldAnswerLookups_data() {
    QTest::addColumn<QString>("tree"); // a shape, then "; <script>" run on the filled model
    QTest::addColumn<int>("flags");    // Probe flags
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");
    // Queries (several keys give answers separated by " / ") and what they answer:
    //   "id <ID>"     FindItem(ID, false) | FindItem(ID, true) | FindItemValue(ID, 257)
    //                 | FindItemValueEx(ID, 257, true), the by-name forms answering alike
    //   "row <row>"   FindItem(row) | FindItemID(row) | FindItemValue(row, 257)
    //                 | FindItemValue(row, "nameRole"), get(row) answering alike
    //   "first <ID>"  FindItemRow(ID)
    //   "all"         GetAllIDs after "Z", with child models | without
    //   "data <row>,<role>"       data() of the model, its paging and its partial view; the rows S
    //                             (a DisplayItem) and V (a ValueItem) are added to the tree
    //   "get <row> [role table]"  get() of a model with that role table, S and V added
    // clang-format off
    QTest::newRow("child row") << "A:a[B:b C:c] D:d" << 0 << "id B" << "-|B:b|invalid|QString=B";
    QTest::newRow("own row wins over deeper one") << "A[X:deep] X:top" << 0 << "id X" << "X:top|X:top|QString=X|QString=X";
    QTest::newRow("depth first in row order") << "A[B[T:deep]] C[T:mid]" << 0 << "id T" << "-|T:deep|invalid|QString=T";
    QTest::newRow("each level's index first") << "A[B[T:deep] T:mid]" << 0 << "id T" << "-|T:mid|invalid|QString=T";
    QTest::newRow("case counts") << "A[b]" << 0 << "id B" << "-|-|invalid|invalid";
    QTest::newRow("later of two equal IDs") << "X:1 X:2" << 0 << "id X" << "X:2|X:2|QString=X|QString=X";
    QTest::newRow("by old ID after SetID, not by new one") << "A B[C]; id A N; id C M" << 0 << "id A N C" << "N:A|N:A|QString=N|QString=N / -|-|invalid|invalid / -|M:C|invalid|QString=M";
    QTest::newRow("through FindItem override") << "A:a" << FindsStranger << "id A" << "S:stranger|S:stranger|QString=S|QString=S";
    QTest::newRow("row") << "A:a B:b[X] C:c" << 0 << "row 2 -1 3" << "C:c|C|QString=C|QString=c / -||invalid|invalid / -||invalid|invalid";
    QTest::newRow("row through FindItem override") << "A:a B:b" << ShiftsRows << "row 0" << "B:b|B|QString=B|QString=b";
    QTest::newRow("first of duplicates") << "B A:1 A:2" << 0 << "first A" << "1";
    QTest::newRow("first, by new ID, not by old one") << "A B[C]; id A N" << 0 << "first N A" << "0 / -1";
    QTest::newRow("first, not in child models") << "A[B] C" << 0 << "first B" << "-1";
    QTest::newRow("first, rows claimed") << "A B C" << ClaimsRows << "first C" << "2";
    QTest::newRow("all, by new IDs") << "A B[C]; id A N; id C M" << 0 << "all" << "Z N B M|Z N B";
    QTest::newRow("all, two models hold each other") << "A[B]; link B ." << 0 << "all" << "Z A B|Z A";
    QTest::newRow("all, cycle below the top") << "A[B[C]] E; link C A" << 0 << "all" << "Z A B C E|Z A E";
    QTest::newRow("all, shared child model") << "A[X] B; link B A" << 0 << "all" << "Z A X B|Z A B";
    QTest::newRow("ring of three") << "A[B[C D]]; link C ." << 0 << "id D Q" << "-|D:D|invalid|QString=D / -|-|invalid|invalid";
    QTest::newRow("all, duplicates") << "A A[A B]" << 0 << "all" << "Z A A A B|Z A A";
    QTest::newRow("data") << "A:a B:b[X]" << 0 << "data 1,259 0,259 0,260 3,300 0,301 0,0 2,0 4,257" << "QObject*=obj / QObject*=0 / QVariantMap(3) / int=7 / invalid / QString=a / QString=shown / invalid";
    QTest::newRow("get") << "A:a" << 0 << "get 0" << "childModelRole=QObject*=0 idRole=QString=A nameRole=QString=a";
    QTest::newRow("get, json by name is invalid") << "A:a" << 0 << "get 0 257=idRole 260=jsonValueRole" << "idRole=QString=A jsonValueRole=invalid";
    QTest::newRow("get, one key per name") << "A:a" << 0 << "get 0 257=idRole 258=idRole" << "idRole=QString=A";
    QTest::newRow("get, subclass role") << "A:a" << 0 << "get 2 300=valueRole 301=otherRole" << "otherRole=invalid valueRole=int=7";
    // clang-format on
}

void TstModel::shouldAnswerLookups() {
    QFETCH(QString, tree);
    QFETCH(int, flags);
    QFETCH(QString, query);
    QFETCH(QString, expected);
    const QStringList q = query.split(' ');
    QHash<int, QByteArray> roles;
    for (const QString& entry : q.mid(2).filter("="))
        roles.insert(entry.section('=', 0, 0).toInt(), entry.section('=', 1).toLatin1());
    Probe model(flags, roles);
    tree::fill(&model, tree.section(';', 0, 0));
    tree::run(&model, tree.section(';', 1));
    if (q[0] == "data" || q[0] == "get")
        model.AppendItemsList({new DisplayItem("S", "s", nullptr), new ValueItem("V", 7)});
    QStringList answers;
    for (const QString& key : q[0] == "get" || q[0] == "all" ? QStringList{q.value(1)} : q.mid(1)) {
        const int row = key.section(',', 0, 0).toInt(), role = key.section(',', 1).toInt();
        QStringList answer;
        if (q[0] == "id") {
            answer << found(model.FindItem(key, false)) << found(model.FindItem(key, true))
                   << text(model.FindItemValue(key, 257)) << text(model.FindItemValueEx(key, 257, true));
            // The by-name forms answer alike.
            QCOMPARE(text(model.FindItemValue(key, "idRole")) +
                         text(model.FindItemValueEx(key, "idRole", true)),
                     answer.at(2) + answer.at(3));
            QCOMPARE(text(model.FindItemValueEx(key, "idRole", false)), answer.at(2));
        } else if (q[0] == "row") {
            answer << found(model.FindItem(row)) << model.FindItemID(row)
                   << text(model.FindItemValue(row, 257)) << text(model.FindItemValue(row, "nameRole"));
            QCOMPARE(text(model.get(row).value("idRole")), answer.at(2));
        } else if (q[0] == "first") {
            answer << QString::number(model.FindItemRow(key));
        } else if (q[0] == "get") {
            const QVariantMap map = model.get(row);
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                answer << it.key() + '=' + text(it.value());
            answer = QStringList{answer.join(' ')};
        } else if (q[0] == "data") {
            std::unique_ptr<QObject> pages(model.GetPagingModel(0));
            for (QObject* object : {static_cast<QObject*>(&model), pages.get(), model.GetPartialModel(5)}) {
                auto* view = qobject_cast<QAbstractItemModel*>(object);
                answer << text(view->data(view->index(row, 0), role));
            }
            // An index of another model's row, as a stale view may hold, reads like a missing row.
            std::unique_ptr<ZEPHTreeModel> bigger(tree::make("A B C D E F"));
            answer << text(model.data(bigger->index(row, 0), role));
            answer.removeDuplicates();
        } else {
            for (const bool deep : {true, false}) {
                QList<QString> ids{"Z"};
                model.GetAllIDs(ids, deep);
                answer << QStringList(ids).join(' ');
            }
        }
        answers << answer.join('|');
    }
    QCOMPARE(answers.join(" / "), expected);
}

void TstModel::shouldFollowTheOperationContract_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("flags");  // creation flags and Probe flags
    QTest::addColumn<QString>("op"); // see the test function
    QTest::addColumn<bool>("result");
    // Signals; "gone": objects of the tree were deleted; "|": the call returned (not logged for the
    // call from another thread, which returns once the owner thread is done).
    QTest::addColumn<QString>("signalList");
    QTest::addColumn<QString>("after"); // as describe() gives it
    // clang-format off
    QTest::newRow("append equal ID without merging") << "A B" << 0 << "append B" << true << "aboutIns:2-2 ins:2-2 sort count |" << "A B* B";
    QTest::newRow("append merged") << "A B" << 4 << "append B:n" << true << "data:1-1 data:1-1 sort count |" << "A B:n";
    QTest::newRow("append merged, child model") << "A[B C] D" << 4 << "append A[X]" << true << "data:0-0 data:0-0 sort count | gone" << "A[X] D";
    QTest::newRow("append merged, shared items") << "A[B C] D" << 6 << "append A[X]" << true << "data:0-0 data:0-0 sort count |" << "A[X] D";
    QTest::newRow("append merged, handler takes the name") << "A[B]" << 4 + Handler << "append A:n[X]" << true << "data:0-0 data:0-0 sort count |" << "A:n![B]";
    QTest::newRow("append null") << "A" << 0 << "append ~" << false << "|" << "A";
    QTest::newRow("append own row") << "A B" << 0 << "append @A" << false << "|" << "A B";
    QTest::newRow("append own row, merging into itself") << "A B" << 4 << "append @B" << true << "data:1-1 sort count |" << "A B";
    QTest::newRow("append merged into the indexed of two") << "P Q" << 4 << "id P Q; append Q:n" << true << "data:1-1 data:1-1 sort count |" << "Q:P* Q:n";
    QTest::newRow("append own row under another's ID") << "A B" << 4 << "id A B; append @A" << false << "|" << "B:A* B";
    QTest::newRow("prepend equal ID without merging") << "X:old" << 0 << "prepend X:new" << true << "aboutIns:0-0 ins:0-0 sort count |" << "X:new X:old*";
    QTest::newRow("prepend merged by throwing handler") << "A B" << 4 + ThrowingHandler << "prepend B:n" << true << "data:1-1 data:1-1 sort |" << "A B:n!";
    QTest::newRow("insert") << "A B" << 0 << "insert 1 C" << true << "aboutIns:1-1 ins:1-1 sort count |" << "A C B";
    QTest::newRow("insert into empty") << "" << 0 << "insert 0 C" << true << "aboutIns:0-0 ins:0-0 sort count |" << "C";
    QTest::newRow("insert duplicate") << "A B" << 4 << "insert 0 B" << false << "|" << "A B";
    QTest::newRow("insert null") << "A B" << 0 << "insert 1 ~" << false << "|" << "A B";
    QTest::newRow("insert before first row") << "A B" << 0 << "insert -1 C" << false << "|" << "A B";
    QTest::newRow("insert past tail") << "A B" << 0 << "insert 3 C" << false << "|" << "A B";
    QTest::newRow("insert past own rows") << "A B" << ClaimsRows << "insert 5 C" << false << "|" << "A B";
    QTest::newRow("append list") << "A B C" << 0 << "appendList X ~ Y" << true << "aboutIns:3-4 ins:3-4 sort count |" << "A B C X Y";
    QTest::newRow("append list, a pointer twice") << "A B" << 0 << "appendList X = @B" << true << "aboutIns:2-2 ins:2-2 sort count |" << "A B X";
    QTest::newRow("append list, a merged pointer twice") << "A" << 4 << "appendList A:n =" << true << "data:0-0 sort |" << "A:n";
    QTest::newRow("append list without own rows") << "A B" << 0 << "appendList @B X @A" << true << "aboutIns:2-2 ins:2-2 sort count |" << "A B X";
    QTest::newRow("append list, throwing handler") << "A B" << 4 + ThrowingHandler << "appendList X B:n Y" << true << "data:1-1 aboutIns:2-3 ins:2-3 sort count |" << "A B:n! X Y";
    QTest::newRow("append list, merge inside list") << "A" << 4 << "appendList X:1 X:2" << true << "aboutIns:1-1 ins:1-1 sort count |" << "A X:2";
    QTest::newRow("append list, equal IDs without merging") << "X:old" << 0 << "appendList X:1 X:2" << true << "aboutIns:1-2 ins:1-2 sort count |" << "X:old* X:1* X:2";
    QTest::newRow("append empty list") << "A" << 0 << "appendList" << true << "|" << "A";
    QTest::newRow("prepend list, merge inside list") << "A" << 4 << "prependList X:1 X:2" << true << "aboutIns:0-0 ins:0-0 sort count |" << "X:1 A";
    QTest::newRow("prepend list, equal IDs without merging") << "X:old" << 0 << "prependList X:1 X:2" << true << "aboutIns:0-1 ins:0-1 sort count |" << "X:1 X:2* X:old*";
    QTest::newRow("prepend list, throwing handler") << "A B" << 4 + ThrowingHandler << "prependList X B:n Y" << true << "data:1-1 aboutIns:0-1 ins:0-1 sort count |" << "X Y A B:n!";
    QTest::newRow("prepend list of merges") << "A" << 4 << "prependList A" << true << "sort |" << "A";
    QTest::newRow("remove one") << "A B C" << 0 << "removeOne B" << true << "aboutRem:1-1 rem:1-1 itemsRemoved:B count | gone" << "A C";
    QTest::newRow("remove one unknown") << "A B C" << 0 << "removeOne X" << false << "|" << "A B C";
    QTest::newRow("remove one, indexed of two") << "A:1 A:2 B" << 0 << "removeOne A" << true << "aboutRem:1-1 rem:1-1 itemsRemoved:A count | gone" << "A:1* B";
    QTest::newRow("remove one, found no row") << "A B" << FindsStranger << "removeOne A" << false << "|" << "A B";
    QTest::newRow("remove one, child model") << "A[B C] D" << 0 << "removeOne A" << true << "aboutRem:0-0 rem:0-0 itemsRemoved:A count | gone" << "D";
    QTest::newRow("remove one, shared items") << "A[B C] D" << 2 << "removeOne A" << true << "aboutRem:0-0 rem:0-0 itemsRemoved:A count |" << "D";
    QTest::newRow("remove one by old ID") << "A B C" << 0 << "id A C; removeOne A" << true << "aboutRem:0-0 rem:0-0 itemsRemoved:A count | gone" << "B C";
    QTest::newRow("remove one by shared ID") << "A B C" << 0 << "id A C; removeOne C" << true << "aboutRem:2-2 rem:2-2 itemsRemoved:C count | gone" << "C:A* B";
    QTest::newRow("remove rows, renamed") << "A B C" << 0 << "id A C; removeRows 0 0" << true << "aboutRem:0-0 rem:0-0 itemsRemoved:C count | gone" << "B C";
    QTest::newRow("exchange, renamed") << "A B C" << 0 << "id A C; replaceEx @B" << true << "aboutRem:1-2 rem:1-2 gone count data:0-0 |" << "B";
    QTest::newRow("remove ids") << "A B C D" << 0 << "removeIds A X C" << true << "aboutRem:0-0 rem:0-0 aboutRem:1-1 rem:1-1 itemsRemoved:A,C count | gone" << "B D";
    QTest::newRow("remove ids twice the same") << "A B" << 0 << "removeIds B B" << true << "aboutRem:1-1 rem:1-1 itemsRemoved:B count | gone" << "A";
    QTest::newRow("remove ids, none") << "A B" << 0 << "removeIds" << true << "count |" << "A B";
    QTest::newRow("remove ids, child model") << "A[B C] D" << 0 << "removeIds A D" << true << "aboutRem:0-0 rem:0-0 aboutRem:0-0 rem:0-0 itemsRemoved:A,D count | gone" << "";
    QTest::newRow("remove rows") << "A B C D E" << 0 << "removeRows 1 3" << true << "aboutRem:1-3 rem:1-3 itemsRemoved:B,C,D count | gone" << "A E";
    QTest::newRow("remove rows from -1") << "A B" << 0 << "removeRows -1 0" << false << "|" << "A B";
    QTest::newRow("remove rows backwards") << "A B C" << 0 << "removeRows 2 1" << false << "|" << "A B C";
    QTest::newRow("remove rows past tail") << "A B" << 0 << "removeRows 0 2" << false << "|" << "A B";
    QTest::newRow("remove rows past own rows") << "A B" << ClaimsRows << "removeRows 0 5" << false << "|" << "A B";
    QTest::newRow("remove all") << "A[B C] D" << 0 << "removeAll" << true << "aboutRem:0-1 rem:0-1 allRemoved count | gone" << "";
    QTest::newRow("remove all, shared items") << "A[B C] D" << 2 << "removeAll" << true << "aboutRem:0-1 rem:0-1 allRemoved count |" << "";
    QTest::newRow("remove all of empty") << "" << 0 << "removeAll" << true << "|" << "";
    QTest::newRow("clear containers") << "A[B[C]] D" << 0 << "clearAll" << true << "aboutReset reset count gone |" << "";
    QTest::newRow("clear containers, shared items") << "A[B[C]] D" << 2 << "clearAll" << true << "aboutReset reset count |" << "";
    QTest::newRow("remove one, cycle through itself") << "A B" << 0 << "link A .; removeOne A" << true << "aboutRem:0-0 rem:0-0 itemsRemoved:A count | gone" << "B";
    QTest::newRow("remove all, cycle below the top") << "A[B[C]] E" << 0 << "link C A; removeAll" << true << "aboutRem:0-1 rem:0-1 allRemoved count | gone" << "";
    QTest::newRow("clear containers, cycle of two") << "A[B] C" << 0 << "link B .; clearAll" << true << "aboutReset reset count gone |" << "";
    QTest::newRow("exchange, cycle of two") << "A[B] C" << 0 << "link B .; replaceEx" << true << "aboutRem:0-1 rem:0-1 gone count |" << "";
    QTest::newRow("move forward") << "A B C D" << 0 << "move 0 2" << true << "aboutReset reset |" << "B C A D";
    QTest::newRow("move from past tail") << "A B" << 0 << "move 2 0" << true << "|" << "A B";
    QTest::newRow("move to past tail") << "A B" << 0 << "move 0 2" << true << "|" << "A B";
    QTest::newRow("move to past own rows") << "A B" << ClaimsRows << "move 0 5" << true << "|" << "A B";
    QTest::newRow("move from -1") << "A B" << 0 << "move -1 0" << true << "|" << "A B";
    QTest::newRow("replace") << "A B" << 0 << "replace X ~ Y" << true << "aboutRem:0-1 rem:0-1 allRemoved count aboutIns:0-1 ins:0-1 sort count | gone" << "X Y";
    QTest::newRow("replace with empty list") << "A B" << 0 << "replace" << true << "aboutRem:0-1 rem:0-1 allRemoved count | gone" << "";
    QTest::newRow("replace, merging in list") << "A" << 4 << "replace A:1 A:2" << true << "aboutRem:0-0 rem:0-0 allRemoved count aboutIns:0-0 ins:0-0 sort count | gone" << "A:2";
    QTest::newRow("replace, throwing handler") << "A B" << 4 + ThrowingHandler << "replace X B:1 B:2" << true << "aboutRem:0-1 rem:0-1 allRemoved count aboutIns:0-1 ins:0-1 sort count | gone" << "X B:2!";
    QTest::newRow("replace with own items") << "A[X Y] B C" << 0 << "replace @C @B @A" << true << "aboutRem:0-2 rem:0-2 allRemoved count aboutIns:0-2 ins:0-2 sort count |" << "C B A[X Y]";
    QTest::newRow("replace with own child's item") << "A[B C] D" << 0 << "replace @B" << true << "aboutRem:0-1 rem:0-1 allRemoved count aboutIns:0-0 ins:0-0 sort count | gone" << "B";
    QTest::newRow("replace, then a change") << "A B" << 2 << "replace @B @A; name A n" << true << "data:1-1 |" << "B A:n";
    QTest::newRow("exchange, fewer rows") << "A B C" << 0 << "replaceEx X" << true << "aboutRem:1-2 rem:1-2 gone count data:0-0 |" << "X";
    QTest::newRow("exchange, more rows") << "A" << 0 << "replaceEx X Y Z" << true << "gone aboutIns:1-2 ins:1-2 count data:0-2 |" << "X Y Z";
    QTest::newRow("exchange, as many rows") << "A B" << 2 << "replaceEx X Y" << true << "data:0-1 |" << "X Y";
    QTest::newRow("exchange, nulls skipped") << "A" << 0 << "replaceEx X ~ Y" << true << "gone aboutIns:1-1 ins:1-1 count data:0-1 |" << "X Y";
    QTest::newRow("exchange, no merging") << "A" << 4 << "replaceEx X:1 X:2" << true << "gone aboutIns:1-1 ins:1-1 count data:0-1 |" << "X:1* X:2";
    QTest::newRow("exchange with fewer own items") << "A[X Y] B C" << 0 << "replaceEx @C @A" << true << "aboutRem:2-2 rem:2-2 gone count data:0-1 |" << "C A[X Y]";
    QTest::newRow("exchange with own child's item") << "A[B C] D" << 0 << "replaceEx @B" << true << "aboutRem:1-1 rem:1-1 gone count data:0-0 |" << "B";
    QTest::newRow("exchange, then a change") << "A" << 0 << "replaceEx X Y; name X n" << true << "|" << "X:n Y";
    QTest::newRow("exchange own items, then a change") << "A B" << 0 << "replaceEx @B @A; name A n" << true << "data:1-1 |" << "B A:n";
    QTest::newRow("removed one comes back") << "A B C" << 0 << "removeOne B | itemsRemoved: append &B" << true << "aboutRem:1-1 rem:1-1 itemsRemoved:B aboutIns:2-2 ins:2-2 sort count count |" << "A C B";
    QTest::newRow("no merge into a leaving row") << "A B C" << 4 << "removeRows 1 1 | rem: append B:new" << true << "aboutRem:1-1 rem:1-1 aboutIns:2-2 ins:2-2 sort count itemsRemoved:B count | gone" << "A C B:new";
    // clang-format on
}

// "<setup>; <step> | <signal>: <script>" (tree::run's notation): the setup runs unlogged with a
// filter view made before it, the step once in the owner thread and once from another thread, the
// script in a listener of the first such signal ("rem" or "itemsRemoved"; "&B" there is the item B
// as it was before the step). Both runs must give the result, signals (in the owner thread, checked
// by Qt's model tester) and rows of the table. Objects that left an owning model are gone once
// deferred deletions ran, child models emptied at once; everything else lives in the owner thread;
// refused items stay with the caller, merged ones are deleted; no ID leads to an item that is no
// row, and the view holds the model's items.
void TstModel::shouldFollowTheOperationContract() {
    QFETCH(QString, initial);
    QFETCH(int, flags);
    QFETCH(QString, op);
    QFETCH(bool, result);
    QFETCH(QString, signalList);
    QFETCH(QString, after);
    const QString listener = op.section(" | ", 1);
    QStringList steps = op.section(" | ", 0, 0).split(';');
    const QString step = steps.takeLast();
    const bool owning = !(flags & 2);
    for (const bool forwarded : {false, true}) {
        auto model = std::make_unique<Probe>(flags);
        tree::fill(model.get(), initial);
        const bool plain = !(flags & (ClaimsRows | FindsStranger));
        std::unique_ptr<QObject> view(plain ? model->GetFilterModel({}, true, 0) : nullptr);
        tree::run(model.get(), steps.join(';'));
        QList<QPointer<QObject>> before;
        collect(model.get(), before);
        std::unique_ptr<Tester> tester(plain ? new Tester(model.get(), Tester::FailureReportingMode::QtTest)
                                             : nullptr);
        SignalLog log(model.get(), SignalLog::WithAboutTo);
        model->log = &log;
        for (QObject* object : before)
            connect(object, &QObject::destroyed, &log, [&log] {
                if (!log.entries.endsWith("gone")) log.entries << "gone";
            });
        const QString script = listener.section(": ", 1);
        const QPointer<ZEPHTreeItem> back = tree::found(model.get(), script.section('&', 1)).value(0);
        bool listened = false;
        const auto listen = [&] {
            if (log.entries.last().section(':', 0, 0) == listener.section(':', 0, 0) &&
                !std::exchange(listened, true))
                back ? model->AppendItem(back) : tree::run(model.get(), script);
        };
        connect(model.get(), &QAbstractItemModel::rowsRemoved, &log, listen);
        connect(model.get(), &ZEPHTreeModel::itemsRemoved, &log, listen);

        QList<QPointer<ZEPHTreeItem>> passed;
        bool actual = !result, kept = true;
        const auto call = [&] {
            actual = tree::run(model.get(), step, &passed);
            for (ZEPHTreeItem* item : actual ? decltype(passed)() : passed)
                kept = kept && item && item->thread() == QThread::currentThread(), delete item->ChildModel(),
                delete item;
        };
        if (forwarded)
            QVERIFY(runInThread(call));
        else
            call(), log.entries << "|";
        QCOMPARE(actual, result);
        QVERIFY(kept);
        QList<QPointer<QObject>> now;
        collect(model.get(), now);
        const QSet<QObject*> rows(now.begin(), now.end());
        for (QObject* object : before)
            if (auto* child = qobject_cast<ZEPHTreeModel*>(object); child && owning && !rows.contains(child))
                QCOMPARE(child->rowCount(), 0);
        tree::flushDeletes(3);
        QCOMPARE(log.take(),
                 forwarded ? QString(' ' + signalList + ' ').replace(" | ", " ").trimmed() : signalList);
        QCOMPARE(log.foreign, 0);
        QCOMPARE(describe(model.get()), after);
        for (const QPointer<QObject>& object : before)
            QVERIFY(object.isNull() == (owning && !rows.contains(object)));
        for (ZEPHTreeItem* item : passed)
            QVERIFY(!item || rows.contains(item));
        for (QObject* object : now)
            QCOMPARE(object->thread(), thread());
        // The ID index leads to rows only, and to each row whose ID no other row had and no step changed.
        const QRegularExpression separators("[^A-Z0-9]+");
        const QStringList rowIds = tree::ids(model.get()).split(' '), initialIds = initial.split(separators);
        for (const QString& id : (initial + ' ' + op).split(separators)) {
            auto* filed = qobject_cast<ZEPHTreeItem*>(model->ZEPHTreeModel::FindItem(id, false));
            QVERIFY(!filed || model->GetModelItemList()->contains(filed));
            const bool unique = !id.isEmpty() && rowIds.count(id) == 1 && initialIds.count(id) <= 1;
            QVERIFY(filed || !unique || op.contains(QRegularExpression("\\bid ")));
        }
        if (view) QCOMPARE(sortedIds(view.get()), sortedIds(model.get()));
        view.reset();
        tester.reset();
        model.reset();
        tree::flushDeletes(3);
        // A model with shared items owns none of them.
        for (QObject* object : now + before)
            delete object;
    }
}

// Random operations on a merging model, mirrored on a list of IDs: after each, the rows, every
// lookup by ID and the row that a value change names agree with the list (row hints and the ID
// index stay right through shifts at the head, in the middle and at the tail; a change made in
// another thread arrives in the owner thread), a filter view without rules holds the same items,
// and the model keeps no more relays of value changes than its most rows needed at once.
void TstModel::shouldAgreeWithAListUnderRandomOperations() {
    ZEPHTreeModel model(nullptr, {}, 4);
    Tester tester(&model, Tester::FailureReportingMode::QtTest);
    std::unique_ptr<QObject> view(model.GetFilterModel());
    SignalLog log(&model);
    QRandomGenerator random(7);
    QStringList ids;
    QSet<QString> unwatched; // brought in by ReplaceItemsListEx, without a value-change connection
    int next = 0, mostRows = 0;
    for (int step = 0; step < 300; ++step) {
        const int count = ids.size();
        const int row = random.bounded(qMax(count, 1));
        const int last = qMin(count - 1, row + (random.bounded(2) ? 2 : 80));
        QStringList made;
        while (made.size() < (random.bounded(2) || count > 300 ? 3 : 70))
            made << QString::number(next++);
        QStringList kept = ids.mid(row, 40);
        std::reverse(kept.begin(), kept.end());
        const QStringList ops{"appendList " + made.join(' '),
                              "prependList " + made.join(' '),
                              "prepend " + made[0],
                              QStringLiteral("insert %1 %2").arg(row).arg(made[0]),
                              "removeOne " + ids.value(row),
                              QStringLiteral("removeRows %1 %2").arg(row).arg(last),
                              "removeIds " + ids.value(row),
                              QStringLiteral("move %1 %2").arg(row).arg(count - 1),
                              "append " + ids.value(row) + ":m",
                              "replaceEx @" + kept.join(" @") + ' ' + made.join(' ')};
        const int op = count < 50 ? 0 : random.bounded(ops.size());
        QVERIFY(tree::run(&model, ops[op]));
        QStringList removed;
        if (op == 0) ids += made;
        if (op == 1) ids = made + ids;
        if (op == 2 || op == 3) ids.insert(op == 2 ? 0 : row, made[0]);
        if (op == 4 || op == 6) removed << ids.takeAt(row);
        if (op == 5)
            removed = ids.mid(row, last - row + 1), ids.erase(ids.begin() + row, ids.begin() + last + 1);
        if (op == 7) ids.move(row, count - 1);
        if (op == 9)
            removed = ids, ids = kept + made, unwatched.unite(QSet<QString>(made.begin(), made.end()));
        QCOMPARE(tree::ids(&model), ids.join(' '));
        QCOMPARE(sortedIds(view.get()), sortedIds(&model));
        mostRows = qMax(mostRows, count + made.size());
        for (int r = 0; r < ids.size(); ++r) {
            QCOMPARE(model.FindItemRow(ids[r]), r);
            QCOMPARE(model.FindItem(ids[r]), model.FindItem(r));
            removed.removeOne(ids[r]);
        }
        for (const QString& id : removed)
            QCOMPARE(model.FindItem(id), nullptr);
        log.clear();
        for (int probe = 0; probe < 3 && !ids.isEmpty(); ++probe) {
            const int r = random.bounded(ids.size());
            const auto change = [&] {
                tree::at(&model, r)->SetName(QStringLiteral("n%1").arg(step * 3 + probe));
            };
            if (probe == 2)
                QVERIFY(runInThread(change));
            else
                change();
            QCOMPARE(log.foreign, 0);
            QCOMPARE(log.take(),
                     unwatched.contains(ids[r]) ? QString() : QStringLiteral("data:%1-%1").arg(r));
        }
        tree::flushDeletes();
    }
    QVERIFY(plainObjectsIn(&model) <= mostRows / ValueRelay::Capacity + 2);
}

// The slot index that finds rows by item and by ID, against a map, with hashes so weak that homes
// and tags collide all the time: lookups, additions and removals, around the end of the slots too.
void TstModel::shouldIndexLikeAMapWhenHashesCollide() {
    QRandomGenerator random(5);
    const auto hash = [](int key) { return uint64_t(key % 5); };
    for (const size_t slotCount : {7, 16, 50}) {
        SlotIndex index;
        index.reset(slotCount);
        std::vector<int> keys(slotCount, -1); // by entry position
        std::map<int, long> positions;
        for (int step = 0; step < 3000; ++step) {
            const int key = random.bounded(int(slotCount) + 5);
            const size_t slot = index.probe(hash(key), [&](size_t at) { return keys[at] == key; });
            const long position = index.entryAt(slot);
            QCOMPARE(position, positions.count(key) ? positions[key] : -1L);
            if (position >= 0 && random.bounded(2)) {
                index.erase(slot, [&](size_t at) { return hash(keys[at]); });
                keys[size_t(position)] = -1, positions.erase(key);
            } else if (position < 0 && index.fits(positions.size() + 1)) {
                const long free = long(std::find(keys.begin(), keys.end(), -1) - keys.begin());
                index.set(slot, hash(key), size_t(free));
                keys[size_t(free)] = key, positions[key] = free;
            }
        }
    }
}

// A change made in another thread waits in the owner thread's queue. When its item has left by
// then and a new row has taken over its connection's place, the new row gets no dataChanged.
void TstModel::shouldDropAQueuedChangeOfAnItemThatLeft() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make("A"));
    ZEPHTreeItem* a = tree::at(model.get(), 0);
    QVERIFY(runInThread([a] { a->SetName("n"); }, false));
    SignalLog log(model.get());
    QVERIFY(tree::run(model.get(), "removeOne A; append B"));
    log.clear();
    QCoreApplication::processEvents();
    QCOMPARE(log.take(), QString());
    tree::at(model.get(), 0)->SetName("m");
    QCOMPARE(log.take(), QStringLiteral("data:0-0"));
}

// A model with shared items keeps the items that leave it connected: one that returns announces
// its changes again, and the connections of the ones deleted meanwhile are given up, so that a
// stream of short-lived items does not make the model grow.
void TstModel::shouldKeepSharedItemsConnectedUntilTheyDie() {
    ZEPHTreeItem stays("S", "s", nullptr);
    ZEPHTreeModel model(nullptr, {}, 2);
    SignalLog log(&model);
    // Storage of their own, so that no new item takes the address of a deleted one.
    std::vector<std::aligned_storage_t<sizeof(ZEPHTreeItem), alignof(ZEPHTreeItem)>> storage(3000);
    for (int round = 0; round < 30; ++round) {
        QList<ZEPHTreeItem*> items;
        for (int i = 0; i < 100; ++i)
            items << new (&storage[size_t(round * 100 + i)]) ZEPHTreeItem(QString::number(i), "n", nullptr);
        QVERIFY(model.AppendItemsList(items));
        QVERIFY(model.AppendItem(&stays));
        model.RemoveAll();
        std::for_each(items.begin(), items.end(), std::destroy_at<ZEPHTreeItem>);
    }
    QVERIFY(model.AppendItem(&stays));
    log.clear(), stays.SetName("t");
    QCOMPARE(log.take(), QStringLiteral("data:0-0"));
    QCOMPARE(plainObjectsIn(&model), 2);
}

// An owner thread that ended answers every forwarded call false at once, the caller keeps its items
// in its own thread, and whoever deletes the model empties and deletes it in place. An owner thread
// that runs no event loop leaves the early answers (a null item, an empty list) to the calling thread
// and ends a pending call with false when it ends. A model deleted from a foreign thread dies in its
// owner thread; items made in a thread that ended are deleted at once when they leave, after the
// signals.
void TstModel::shouldAnswerWithoutRunningOwnerThread() {
    QPointer<ZEPHTreeModel> ended, blocked;
    QSemaphore end;
    QList<ZEPHTreeItem*> stray;
    std::unique_ptr<QThread> first(
        QThread::create([&] { ended = tree::make("A[B[C]] D"), stray = tree::items("S[T]"); }));
    std::unique_ptr<QThread> second(QThread::create([&] { blocked = tree::make("A"), end.acquire(); }));
    first->start(), second->start();
    QVERIFY(first->wait(10000));
    QTRY_VERIFY(blocked);
    QList<QPointer<QObject>> objects;
    collect(ended, objects);
    QStringList results;
    const auto call = [&](ZEPHTreeModel* model, const QString& op) {
        QList<QPointer<ZEPHTreeItem>> passed;
        results << QString::number(tree::run(model, op, &passed));
        for (ZEPHTreeItem* item : passed) {
            results.last() += item->thread() == QThread::currentThread() || model == blocked ? "" : "?";
            delete item->ChildModel(), delete item;
        }
    };
    QVERIFY(runInThread(
        [&] {
            for (const QString& op :
                 QString("append X[Y]|prepend X|insert 0 X|appendList X|prependList X|replace X|"
                         "replaceEx X|removeOne A|removeRows 0 0|removeIds A|removeAll|move 0 1|clearAll")
                     .split('|'))
                call(ended, op);
            for (const QString& op : {"append ~", "prepend ~", "appendList", "prependList"})
                call(blocked, op);
            std::unique_ptr<QThread> ender(QThread::create([&] { QThread::msleep(200), end.release(); }));
            ender->start();
            call(blocked, "append X");
            ender->wait();
            IZEPHTreeModel* handle = ended.data();
            results << tree::dump(ended) << QString::number(DeleteZEPHTreeModel(&handle) && !handle);
        },
        false));
    QCOMPARE(results.join(' '), QStringLiteral("0 0 0 0 0 0 0 0 0 0 1 1 1 0 0 1 1 0 A[B[C]] D 1"));
    for (const QPointer<QObject>& object : objects)
        QVERIFY(!object);
    QVERIFY(second->wait(10000));
    IZEPHTreeModel* handle = blocked.data();
    QVERIFY(DeleteZEPHTreeModel(&handle));

    handle = tree::make("A[B] C");
    static_cast<ZEPHTreeModel*>(handle)->AppendItemsList(stray);
    SignalLog log(handle);
    QThread* diedIn = nullptr;
    connect(stray.first(), &QObject::destroyed, &log, [&] { log.entries << "gone"; });
    connect(
        handle, &QObject::destroyed, this, [&] { diedIn = QThread::currentThread(); }, Qt::DirectConnection);
    QVERIFY(runInThread(
        [&] { results = QStringList{QString::number(DeleteZEPHTreeModel(&handle) && !handle)}; }));
    QCOMPARE(diedIn, thread());
    QCOMPARE(results.first() + ' ' + log.take(), QStringLiteral("1 rem:0-2 allRemoved count gone"));
}

QTEST_MAIN(TstModel)
#include "tst_model.moc"

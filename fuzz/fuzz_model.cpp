// Model fuzzer: the input decodes into operations on a small model tree (which owns or shares its
// items, and may merge duplicates through a host handler that throws) and on a stack of live views
// built over it: filter, group and paging views of the model and of each other, and the window of
// each. Rule lists are mostly well formed, sometimes of any shape and type, nested deep, or JSON.
// On every model and window sit a sorting Qt proxy and Qt's model testers; after every step each
// view holds what one made now over its source holds (ViewCheck.h), and nothing crashes or hangs.
#include "ViewCheck.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QDate>
#include <QJsonDocument>
#include <QPointer>

#include <stdexcept>

namespace {

// Stops the run with a message; libFuzzer records the input that led here.
void require(bool holds, const QString& what) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", qPrintable(what));
    std::abort();
}

// Reads the input front to back; past the end every read answers 0.
struct Reader {
    const uint8_t* data;
    size_t size, pos = 0;
    bool atEnd() const { return pos >= size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    int below(int n) { return n <= 0 ? 0 : byte() % n; }
    bool flag() { return byte() & 1; }
    // A row near the valid range, sometimes negative or far beyond it.
    int row(int count) {
        const uint8_t b = byte();
        return b < 250 ? b % (count + 2) : b == 255 ? -1 : b == 254 ? 1 << 30 : -(1 << 30) + b;
    }
    // The unread bytes, which are then read.
    QByteArray rest() {
        return QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size))
            .mid(int(std::exchange(pos, size)));
    }
};

// Every warning is a finding (the library writes none; Qt warns about a broken model protocol), and
// so is every report of a model tester but one: a sort of an empty model announces dataChanged
// with invalid indexes, as specified (the model fuzzer checks that the model is empty then).
void failOnWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    require(qstrcmp(context.category, "qt.modeltest") == 0 &&
                message.startsWith(QLatin1String("FAIL! topLeft.isValid() ")),
            message);
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

ZEPHTreeItem* itemAt(const ZEPHTreeModel* model, int row) {
    return qobject_cast<ZEPHTreeItem*>(model->FindItem(row));
}

// Rows and ID index agree: every row holds a distinct item that its ID finds, at its row (IDs
// given with SetID start with 'r': the index files such an item under its old ID, by design).
void checkModel(ZEPHTreeModel* model) {
    const int count = model->rowCount();
    require(!model->FindItem(count) && !model->FindItem(-1), "rows");
    QString problem;
    require(viewcheck::rowItems(model, problem).size() == count && problem.isEmpty(), "distinct rows");
    for (int row = 0; row < count; ++row) {
        const QString id = itemAt(model, row)->ID();
        require(id.startsWith(QLatin1Char('r')) ||
                    (model->FindItem(id) == model->FindItem(row) && model->FindItemRow(id) == row),
                id);
    }
}

const char* const kNames[] = {"a", "b", "ab", "B", "", "10", "5"};

// A host's duplicate handler: the existing item takes the new name, and then names starting with
// 'B' are refused with an exception. The model must finish the merge all the same.
void mergeName(const QObject* source, QObject* target) {
    const QString name = qobject_cast<const ZEPHTreeItem*>(source)->Name();
    qobject_cast<ZEPHTreeItem*>(target)->SetName(name);
    if (name.startsWith(QLatin1Char('B'))) throw std::runtime_error("refused");
}

// Any value: a scalar of a troublesome type, or a list or map of such values.
QVariant anyValue(Reader& in, int depth, int& budget) {
    // clang-format off
    static const QVariant scalars[] = {QVariant(), true, -1, std::numeric_limits<qlonglong>::max(),
        std::numeric_limits<qulonglong>::max(), 1e308, std::numeric_limits<double>::quiet_NaN(), -0.0, 2.5,
        "nameRole", "idRole", "childModelRole", "jsonValueRole", "a", "", "10", QByteArray("\xff"),
        QStringList{"a", "b"}, QDate(2020, 1, 1)};
    static const char* const keys[] = {"RoleName", "Rule", "Value", "Rules", "OrAllRules", "Ascending", "x"};
    // clang-format on
    if (--budget < 0 || in.atEnd()) return QVariant();
    const int kind = in.below(depth > 300 ? 1 : 3);
    if (kind == 0) return scalars[in.below(int(sizeof(scalars) / sizeof(scalars[0])))];
    QVariantList list;
    QVariantMap map;
    for (int n = in.below(5); n > 0 && budget > 0; --n) {
        const QString key = QString::fromLatin1(keys[in.below(7)]);
        const QVariant value = anyValue(in, depth + 1, budget);
        if (kind == 1) list << value;
        if (kind == 2) map.insert(key, value);
    }
    return kind == 1 ? QVariant(list) : QVariant(map);
}

// A rule whose "Rules" and "Value" nest `depth` levels deep.
QVariant deepRule(int depth) {
    QVariant chain = QStringLiteral("a");
    for (int i = 0; i < depth; ++i)
        chain =
            i % 2 ? QVariant(QVariantList{chain}) : QVariant(QVariantMap{{QStringLiteral("Rules"), chain}});
    return QVariantMap{{"RoleName", "nameRole"}, {"Rules", chain}, {"Value", chain}};
}

enum Kind { Root, Filter, Group, Paging };

// A model or view, how it was made, and the proxies and testers stacked on it and on its window.
struct Node {
    Kind kind = Root;
    int source = -1;
    QVariantList rules;      // of a filter view
    bool flag = false;       // a filter view's orAllRules, a group view's keepSortWithSource
    bool keptSorted = false; // the view keeps its own rows sorted (and, recursively, its groups)
    int arg = 0;             // a filter view's newItemPos (2: another), a group view's role, rows per page
    std::unique_ptr<ZEPHTreeModel> model;
    QAbstractItemModel* window = nullptr;
    int windowSize = 0;
    std::vector<std::unique_ptr<QObject>> stacked;
    QSortFilterProxyModel* proxies[2] = {};
    ~Node() {
        std::for_each(stacked.rbegin(), stacked.rend(), [](auto& object) { object.reset(); });
    }
    // The view over `from`, or one made like it `now`, to compare it with.
    ZEPHTreeModel* make(ZEPHTreeModel* from, bool now) const {
        const int newItemPos = now ? 0 : arg % 2 + arg / 2 * 7;
        if (kind == Filter)
            return qobject_cast<ZEPHTreeModel*>(from->GetFilterModel(rules, flag, newItemPos));
        if (kind == Group) return qobject_cast<ZEPHTreeModel*>(from->GetGroupModel(arg, flag && !now));
        auto* pages = qobject_cast<ZEPHTreeModel*>(from->GetPagingModel(unsigned(arg)));
        pages->setPage(now ? model->page() : 0);
        return pages;
    }
    // A Qt proxy sorting by name and testers on the model and on its window. The testers report
    // through the message handler, which lets dataChanged with invalid indexes through: only a
    // model without rows may send it.
    void stack() {
        for (QAbstractItemModel* shown : {static_cast<QAbstractItemModel*>(model.get()), window}) {
            QObject::connect(
                shown, &QAbstractItemModel::dataChanged, shown, [shown](const QModelIndex& topLeft) {
                    require(topLeft.isValid() || shown->rowCount() == 0, "dataChanged, invalid index");
                });
            auto* proxy = new QSortFilterProxyModel;
            proxy->setSortRole(ZEPHTreeItem::NameRole);
            proxy->setDynamicSortFilter(true);
            proxy->setSourceModel(shown);
            proxy->sort(0);
            proxies[shown == window] = proxy;
            using Tester = QAbstractItemModelTester;
            stacked.emplace_back(new Tester(shown, Tester::FailureReportingMode::Warning));
            stacked.emplace_back(proxy);
            stacked.emplace_back(new Tester(proxy, Tester::FailureReportingMode::Warning));
        }
    }
};

class Session {
public:
    explicit Session(Reader& in) : m_in(in) {
        // IDs stay unique: new items get fresh IDs unless an operation merges on purpose (flag 4).
        const int flags = m_in.byte() & 6;
        m_merging = flags & 4;
        auto root = std::make_unique<Node>();
        root->model.reset(
            new ZEPHTreeModel(nullptr, {}, flags, m_in.flag() ? mergeName : PF_DUPLICATE_HANDLER()));
        add(std::move(root));
    }
    ~Session() {
        // Views go first, from the top of the stack; then the items and child models that a
        // sharing model left alive (a merge there replaces an item's child model, which is the host's).
        std::for_each(m_nodes.rbegin(), m_nodes.rend(), [](auto& node) { node.reset(); });
        flushDeletes();
        for (const QPointer<QObject>& object : qAsConst(m_made))
            delete object.data();
    }

    void run() {
        for (int steps = 0; !m_in.atEnd() && steps < 200; ++steps) {
            step();
            check();
        }
    }

private:
    ZEPHTreeModel* root() const { return m_nodes.front()->model.get(); }
    QString name() { return QString::fromLatin1(kNames[m_in.below(7)]); }
    int anyRole() { return m_in.flag() ? ZEPHTreeItem::NameRole : ZEPHTreeItem::IdRole; }

    void add(std::unique_ptr<Node> node) {
        node->windowSize = m_in.below(6);
        node->window = qobject_cast<QAbstractItemModel*>(node->model->GetPartialModel(node->windowSize));
        node->stack();
        m_nodes.push_back(std::move(node));
    }

    // One of the nodes whose kind is in the bit set `kinds`, or null.
    Node* pick(unsigned kinds) {
        std::vector<Node*> found;
        for (const auto& node : m_nodes) {
            if (kinds & (1u << node->kind)) found.push_back(node.get());
        }
        return found.empty() ? nullptr : found[size_t(m_in.below(int(found.size())))];
    }

    // True when a view of this kind lies below the node.
    bool over(const Node& node, Kind kind) const {
        for (int at = node.source; at >= 0; at = m_nodes[size_t(at)]->source) {
            if (m_nodes[size_t(at)]->kind == kind) return true;
        }
        return false;
    }

    // The group items and member models of the group views whose groups a source reset cannot
    // change (none over a paging view, whose page may show other items then).
    QList<const QObject*> groupObjects() const {
        QList<const QObject*> objects;
        for (const auto& node : m_nodes) {
            const ZEPHTreeModel* view = node->model.get();
            for (int row = 0; node->kind == Group && !over(*node, Paging) && row < view->rowCount(); ++row)
                objects << itemAt(view, row) << itemAt(view, row)->ChildModel();
        }
        return objects;
    }

    // A member whose ID changed left its group and came back as its last member, and a group it
    // left empty came back as the last row (groups that keep the source's order are rebuilt, and a
    // view that keeps itself sorted puts the group back in its place).
    void checkRejoined(ZEPHTreeItem* item) const {
        for (const auto& node : m_nodes) {
            ZEPHTreeModel* view = node->model.get();
            const bool rejoins = node->kind == Group && !node->flag && !node->keptSorted;
            for (int row = 0; rejoins && row < view->rowCount(); ++row) {
                auto* members = qobject_cast<ZEPHTreeModel*>(itemAt(view, row)->ChildModel());
                const int count = members->rowCount();
                if (!members->GetModelItemList()->contains(item)) continue;
                require(members->FindItem(count - 1) == item, "a member with a new ID comes last");
                require(count > 1 || row == view->rowCount() - 1, "its emptied group comes back last");
            }
        }
    }

    ZEPHTreeItem* newItem(QChar prefix = QLatin1Char('i')) {
        const QString id = prefix + QString::number(m_nextId++);
        ZEPHTreeModel* child = m_in.below(4) ? nullptr : new ZEPHTreeModel(nullptr, {}, 0);
        for (int n = child ? m_in.below(3) : 0; n > 0; --n)
            child->AppendItem(new ZEPHTreeItem(QStringLiteral("c%1").arg(m_nextId++), name(), nullptr));
        auto* item = new ZEPHTreeItem(id, name(), child);
        m_made << child << item;
        return item;
    }

    // An item whose ID is already a row: merged with flag 4 (only IDs that the ID index files).
    ZEPHTreeItem* duplicateOrNew() {
        const ZEPHTreeItem* existing = itemAt(root(), m_in.below(root()->rowCount()));
        if (m_merging && existing && m_in.flag() && existing->ID().startsWith(QLatin1Char('i')))
            m_made << new ZEPHTreeItem(existing->ID(), name(), nullptr);
        else
            newItem();
        return qobject_cast<ZEPHTreeItem*>(m_made.last());
    }

    // A rule list: well formed mostly; sometimes any value, a rule nested deep, or the rest of the
    // input read as JSON.
    QVariantList rules() {
        QVariant wild;
        int budget = 2000;
        const int how = m_in.below(16);
        if (how == 0) wild = QJsonDocument::fromJson(m_in.rest()).toVariant();
        if (how == 1) wild = QVariantList{deepRule(1 + m_in.byte() * 8)};
        if (how == 2) wild = anyValue(m_in, 0, budget);
        if (how < 3) return wild.type() == QVariant::List ? wild.toList() : QVariantList{wild};
        QVariantList list;
        for (int n = how % 3; n > 0; --n) {
            QVariantMap rule{{QStringLiteral("RoleName"), m_in.flag() ? "nameRole" : "idRole"}};
            QVariantList sub;
            for (int k = m_in.below(4) ? 1 : m_in.below(3); k > 0; --k)
                sub << QVariantMap{{QStringLiteral("Rule"), m_in.below(9)},
                                   {QStringLiteral("Value"), name()}};
            if (sub.size() == 1) rule.insert(sub.first().toMap());
            if (sub.size() != 1)
                rule.insert({{QStringLiteral("Rules"), sub}, {QStringLiteral("OrAllRules"), m_in.flag()}});
            list << rule;
        }
        return list;
    }

    QString idAt(int count) {
        const ZEPHTreeItem* item = itemAt(root(), m_in.row(count));
        return item ? item->ID() : QStringLiteral("nope");
    }

    // Items that ReplaceItemsListEx brought in (IDs "s...") get no value-change connection, and
    // those that take an existing row get no rowsInserted either, so a change inside them reaches
    // no view: the fuzzer leaves them alone.
    ZEPHTreeItem* changeable(int count) {
        ZEPHTreeItem* item = itemAt(root(), m_in.row(count));
        return item && !item->ID().startsWith(QLatin1Char('s')) ? item : nullptr;
    }

    void step() {
        ZEPHTreeModel* model = root();
        const int count = model->rowCount();
        const int op = m_in.below(20);
        // Arguments are read into locals first: the order in which arguments are evaluated is unspecified.
        if (op == 0) {
            ZEPHTreeItem* item = duplicateOrNew();
            const int how = m_in.below(3);
            if (how < 2) require(how ? model->PrependItem(item) : model->AppendItem(item), "inserted");
            // A refused item stays ours.
            if (how == 2 && !model->InsertItem(m_in.row(count), item)) delete item->ChildModel(), delete item;
        } else if (op == 1) {
            QList<ZEPHTreeItem*> list;
            for (int n = m_in.below(4); n > 0; --n)
                list << (m_in.below(5) ? duplicateOrNew() : nullptr);
            const int how = m_in.below(3);
            require(how == 0   ? model->AppendItemsList(list)
                    : how == 1 ? model->PrependItemsList(list)
                               : model->ReplaceItemsList(list),
                    "inserted");
        } else if (op == 2) {
            model->RemoveOne(idAt(count));
        } else if (op == 3) {
            const int head = m_in.row(count), tail = m_in.row(count);
            model->Remove(head, tail);
        } else if (op == 4) {
            QStringList ids;
            for (int n = m_in.below(4); n > 0; --n)
                ids << idAt(count);
            model->Remove(ids);
        } else if (op == 5) {
            // A reset of the source is passed on: groups keep their items and member models.
            const int from = m_in.row(count), to = m_in.row(count);
            const QList<const QObject*> groups = groupObjects();
            model->MoveRow(from, to);
            require(groupObjects() == groups, "groups made anew");
        } else if (op == 6) {
            // Entries must be distinct new items: the operation neither merges nor tests them.
            QList<ZEPHTreeItem*> list;
            for (int n = m_in.below(4); n > 0; --n)
                list << newItem(QLatin1Char('s'));
            model->ReplaceItemsListEx(list);
        } else if (op == 7) {
            m_in.flag() ? model->RemoveAll() : model->clear();
        } else if (op == 8) {
            model->ClearAllSourceContainer();
        } else if (op == 9) {
            ZEPHTreeItem* item = changeable(count);
            const int how = m_in.below(3);
            if (item && how == 0) item->SetID(QStringLiteral("r%1").arg(m_nextId++)), checkRejoined(item);
            if (item && how > 0)
                item->setData(QStringLiteral("nameRole"),
                              how == 1 ? QVariant(name()) : QVariant(m_in.below(20)));
        } else if (op == 10) {
            // A change inside a child model reaches the filter views' descendant rule; a new child
            // model too (the old one stays with the host, here: deleted).
            ZEPHTreeItem* item = changeable(count);
            auto* child = item ? qobject_cast<ZEPHTreeModel*>(item->ChildModel()) : nullptr;
            const int how = item ? m_in.below(3) : -1;
            if (how == 0 && child) child->Remove(0, 0);
            if (how == 1 && child)
                child->AppendItem(new ZEPHTreeItem(QStringLiteral("c%1").arg(m_nextId++), name(), nullptr));
            if (how == 2)
                m_made << new ZEPHTreeModel(nullptr, {}, 0), item->SetChildModel(m_made.last()), delete child;
        } else if (op == 11) {
            Node* node = pick(1u << Root | 1u << Filter | 1u << Group);
            const int how = m_in.below(3), role = anyRole(), ascending = m_in.flag();
            const QVariantList rules = how == 2 ? this->rules() : QVariantList();
            if (how == 0) node->model->SortByRole(role, ascending);
            if (how == 1) node->model->SortByRoleAndKeep(role, ascending);
            const int flag = how == 2 ? m_in.below(4) : 0;
            if (how == 2) node->model->SortByRules(rules, flag);
            node->keptSorted = how == 1 || flag != 0;
        } else if (op == 12) {
            if (Node* node = pick(1u << Filter)) {
                node->rules = rules();
                node->flag = m_in.flag();
                node->model->UpdateFilterRules(node->rules, node->flag);
                delete node->model->FindItemValue(0, int(ZEPHTreeItem::ChildModelRole)).value<QObject*>();
            }
        } else if (op == 13) {
            // Views are only made of earlier nodes: the last node is a view of no other.
            if (m_nodes.size() >= 10) m_nodes.pop_back();
            auto node = std::make_unique<Node>();
            node->source = m_in.below(int(m_nodes.size()));
            node->kind = Kind(Filter + m_in.below(3));
            node->rules = node->kind == Filter ? rules() : QVariantList();
            node->flag = m_in.flag();
            node->arg = node->kind == Group ? anyRole() : m_in.below(node->kind == Filter ? 3 : 5);
            node->model.reset(node->make(m_nodes[size_t(node->source)]->model.get(), false));
            add(std::move(node));
        } else if (op == 14) {
            if (Node* node = pick(1u << Group)) node->model->UpdateGroupRole(node->arg = anyRole());
        } else if (op == 15) {
            if (Node* node = pick(1u << Paging)) node->model->setPage(m_in.row(node->model->totalPage()));
        } else if (op == 16) {
            Node* node = pick(~0u);
            const int rows = node->model->rowCount();
            m_in.flag() ? node->model->SetPartialModelCount(node->windowSize = m_in.row(rows) - 1)
                        : node->model->SetFirstPartialModelRow(m_in.row(rows));
        } else {
            flushDeletes();
        }
    }

    void check() {
        checkModel(root());
        for (const auto& node : m_nodes) {
            ZEPHTreeModel* view = node->model.get();
            ZEPHTreeModel* source = node->source < 0 ? nullptr : m_nodes[size_t(node->source)]->model.get();
            QString problem, rows;
            if (node->kind == Filter && (over(*node, Group) || node->arg == 2)) {
                // Over a group view, items have descendants deeper than their child model's rows,
                // whose changes reach no filter view, by design; a filter view that puts later items
                // nowhere takes in none. Such a view only shows rows of its source.
                const viewcheck::Items live = viewcheck::rowItems(view, rows);
                problem = viewcheck::compare(live, live & viewcheck::rowItems(source, rows),
                                             QStringLiteral("rows"));
            } else if (source) {
                const std::unique_ptr<ZEPHTreeModel> fresh(node->make(source, true));
                problem = viewcheck::mismatch(view, fresh.get());
            }
            problem += rows + viewcheck::windowMismatch(node->window, view, node->windowSize);
            // A window announces a change of many rows one by one, which may leave a proxy unsorted.
            problem += viewcheck::proxyMismatch(node->proxies[0], true) +
                       viewcheck::proxyMismatch(node->proxies[1], false);
            require(problem.isEmpty(),
                    QStringLiteral("view %1 over %2: %3").arg(node->kind).arg(node->source).arg(problem));
        }
    }

    Reader& m_in;
    bool m_merging = false;
    int m_nextId = 0;
    QList<QPointer<QObject>> m_made;
    // The model first, then its views, each after its source.
    std::vector<std::unique_ptr<Node>> m_nodes;
};

} // namespace

// The entry points: one application for the whole run, and every deferred delete delivered after
// each input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    qInstallMessageHandler(failOnWarnings);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!QCoreApplication::instance()) LLVMFuzzerInitialize(nullptr, nullptr);
    Reader in{data, size};
    Session(in).run();
    flushDeletes();
    flushDeletes();
    return 0;
}

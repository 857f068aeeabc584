// Model-operation fuzzer: the input decodes into a sequence of operations on a small model tree and
// on the stack of live views that the input builds over it: filter, group and paging views of the
// model and of each other, and the partial view (window) of each. On every model and view sit a Qt
// proxy sorting by name and Qt's model testers; after every step each of them must hold the items
// that one rebuilt over its final source holds.
#include "FuzzSupport.h"

#include <QAbstractItemModelTester>

#include <memory>
#include <stdexcept>
#include <vector>

using namespace fuzz;

namespace {

const char* const kNames[] = {"a", "b", "ab", "B", "", "10", "5"};
constexpr int kNameCount = int(sizeof(kNames) / sizeof(kNames[0]));
constexpr int kNameRole = ZEPHTreeItem::NameRole;
constexpr int kIdRole = ZEPHTreeItem::IdRole;
constexpr size_t kMaxNodes = 10;

// A host's duplicate handler: the existing item takes the new name, and then names starting with
// 'B' are refused with an exception. The model must finish the merge all the same.
void mergeName(const QObject* source, QObject* target) {
    const auto* from = qobject_cast<const ZEPHTreeItem*>(source);
    auto* to = qobject_cast<ZEPHTreeItem*>(target);
    if (!from || !to) return;
    to->SetName(from->Name());
    if (from->Name().startsWith(QLatin1Char('B'))) throw std::runtime_error("refused");
}

enum Kind { Root, Filter, Group, Paging };

// A model or view under test, what it was made from, and what is stacked on it and on its window
// (the partial view every model owns): a Qt proxy sorting by name and model testers on both.
struct Node {
    Kind kind = Root;
    int source = -1;
    std::unique_ptr<ZEPHTreeModel> model;
    QAbstractItemModel* window = nullptr;
    int windowSize = 0;
    QVariantList rules;
    bool orAll = true;
    int role = kNameRole;
    bool keepSort = false;
    unsigned perPage = 0;
    std::vector<std::unique_ptr<QObject>> stacked;
    QSortFilterProxyModel* proxies[2] = {};

    ~Node() {
        while (!stacked.empty())
            stacked.pop_back();
    }
};

// The testers report through the message handler (failOnWarnings), which lets one kind of report
// through: dataChanged with invalid indexes, checked here to come from a model without rows.
QSortFilterProxyModel* stackOn(Node& node, QAbstractItemModel* model) {
    QObject::connect(model, &QAbstractItemModel::dataChanged, model, [model](const QModelIndex& topLeft) {
        FUZZ_CHECK(topLeft.isValid() || model->rowCount() == 0, QStringLiteral("dataChanged, invalid index"));
    });
    using Tester = QAbstractItemModelTester;
    auto* proxy = new QSortFilterProxyModel;
    proxy->setSortRole(kNameRole);
    proxy->setDynamicSortFilter(true);
    proxy->setSourceModel(model);
    proxy->sort(0);
    node.stacked.emplace_back(new Tester(model, Tester::FailureReportingMode::Warning));
    node.stacked.emplace_back(proxy);
    node.stacked.emplace_back(new Tester(proxy, Tester::FailureReportingMode::Warning));
    return proxy;
}

class Session {
public:
    explicit Session(Reader& in) : m_in(in) {
        // IDs stay unique: new items get fresh IDs unless an operation merges on purpose (flag 4).
        m_merging = m_in.flag();
        PF_DUPLICATE_HANDLER handler;
        if (m_in.flag()) handler = mergeName;
        auto root = std::make_unique<Node>();
        root->model.reset(new ZEPHTreeModel(nullptr, {}, m_merging ? 4 : 0, handler));
        add(std::move(root));
    }

    ~Session() {
        // Views go first, from the top of the stack: each source outlives its views.
        while (!m_nodes.empty())
            m_nodes.pop_back();
    }

    void run() {
        int steps = 0;
        while (!m_in.atEnd() && steps++ < 200) {
            step();
            check();
        }
    }

private:
    ZEPHTreeModel* root() const { return m_nodes.front()->model.get(); }
    QString name() { return QString::fromLatin1(kNames[m_in.below(kNameCount)]); }

    void add(std::unique_ptr<Node> node) {
        node->windowSize = m_in.below(6);
        node->window = qobject_cast<QAbstractItemModel*>(node->model->GetPartialModel(node->windowSize));
        node->proxies[0] = stackOn(*node, node->model.get());
        node->proxies[1] = stackOn(*node, node->window);
        m_nodes.push_back(std::move(node));
    }

    void addView(int source, Kind kind) {
        ZEPHTreeModel* from = m_nodes[size_t(source)]->model.get();
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->source = source;
        QObject* view = nullptr;
        if (kind == Filter) {
            node->rules = rules();
            node->orAll = m_in.flag();
            view = from->GetFilterModel(node->rules, node->orAll, m_in.below(2));
        } else if (kind == Group) {
            node->role = m_in.flag() ? kNameRole : kIdRole;
            node->keepSort = m_in.flag();
            view = from->GetGroupModel(node->role, node->keepSort);
        } else {
            node->perPage = unsigned(m_in.below(5));
            view = from->GetPagingModel(node->perPage);
        }
        node->model.reset(qobject_cast<ZEPHTreeModel*>(view));
        add(std::move(node));
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

    // The group items and member models of the group views whose membership a source reset cannot
    // change (none over a paging view, whose page may then show other items).
    QList<QObject*> groupObjects() const {
        QList<QObject*> objects;
        for (const auto& node : m_nodes) {
            if (node->kind != Group || over(*node, Paging)) continue;
            for (int row = 0; row < node->model->rowCount(); ++row) {
                ZEPHTreeItem* group = itemAt(node->model.get(), row);
                objects << group << group->ChildModel();
            }
            objects << nullptr;
        }
        return objects;
    }

    // A member whose ID changed left its group and came back as its last member, and a group it
    // left empty came back as the last row (groups that keep the source's order are rebuilt).
    void checkRejoined(const ZEPHTreeItem* item) const {
        for (const auto& node : m_nodes) {
            if (node->kind != Group || node->keepSort) continue;
            const ZEPHTreeModel* view = node->model.get();
            for (int row = 0; row < view->rowCount(); ++row) {
                const auto* members = qobject_cast<ZEPHTreeModel*>(itemAt(view, row)->ChildModel());
                if (!members || !itemSet(members).contains(item)) continue;
                const int count = members->rowCount();
                FUZZ_CHECK(members->FindItem(count - 1) == item, idsOf(members));
                FUZZ_CHECK(count > 1 || row == view->rowCount() - 1, idsOf(view));
            }
        }
    }

    ZEPHTreeItem* newItem(QChar prefix = QLatin1Char('i')) {
        const QString id = prefix + QString::number(m_nextId++);
        QObject* child = nullptr;
        if (m_in.below(4) == 0) {
            auto* childModel = new ZEPHTreeModel(nullptr, {}, 0);
            for (int n = m_in.below(3); n > 0; --n)
                childModel->AppendItem(
                    new ZEPHTreeItem(QStringLiteral("c%1").arg(m_nextId++), name(), nullptr));
            child = childModel;
        }
        return new ZEPHTreeItem(id, name(), child);
    }

    // Items that ReplaceItemsListEx brought in (IDs "s...") get no value-change connection, and
    // those that take an existing row get no rowsInserted either, so a change inside them reaches
    // no view: the fuzzer leaves them alone.
    static bool silent(const ZEPHTreeItem* item) { return !item || item->ID().startsWith(QLatin1Char('s')); }

    // An item whose ID is already a row (only an ID the ID index files): merged with flag 4,
    // refused otherwise (never inserted, so IDs stay unique).
    ZEPHTreeItem* duplicateOrNew() {
        const int count = root()->rowCount();
        if (m_merging && count > 0 && m_in.flag()) {
            const ZEPHTreeItem* existing = itemAt(root(), m_in.below(count));
            if (existing->ID().startsWith(QLatin1Char('i')))
                return new ZEPHTreeItem(existing->ID(), name(), nullptr);
        }
        return newItem();
    }

    QList<ZEPHTreeItem*> newList(bool allowNull) {
        QList<ZEPHTreeItem*> list;
        for (int n = m_in.below(4); n > 0; --n)
            list << (allowNull && m_in.below(5) == 0 ? nullptr : duplicateOrNew());
        return list;
    }

    QVariantList rules() {
        QVariantList list;
        for (int n = m_in.below(3); n > 0; --n) {
            QVariantMap rule;
            rule.insert(QStringLiteral("RoleName"),
                        m_in.flag() ? QStringLiteral("nameRole") : QStringLiteral("idRole"));
            if (m_in.below(4) == 0) {
                QVariantList sub;
                for (int k = m_in.below(3); k > 0; --k)
                    sub << QVariantMap{{QStringLiteral("Rule"), m_in.below(9)},
                                       {QStringLiteral("Value"), name()}};
                rule.insert(QStringLiteral("Rules"), sub);
                rule.insert(QStringLiteral("OrAllRules"), m_in.flag());
            } else {
                rule.insert(QStringLiteral("Rule"), m_in.below(9));
                rule.insert(QStringLiteral("Value"), name());
            }
            list << rule;
        }
        return list;
    }

    QVariantList sortRules() {
        QVariantList list;
        for (int n = m_in.below(3); n > 0; --n)
            list << QVariantMap{{QStringLiteral("RoleName"),
                                 m_in.flag() ? QStringLiteral("nameRole") : QStringLiteral("idRole")},
                                {QStringLiteral("Ascending"), m_in.flag()}};
        return list;
    }

    void step() {
        ZEPHTreeModel* model = root();
        const int count = model->rowCount();
        const int op = m_in.below(25);
        if (m_trace) std::fprintf(stderr, "op %d rows [%s]\n", op, qPrintable(idsOf(model)));
        constexpr unsigned sortable = 1u << Root | 1u << Filter | 1u << Group;
        switch (op) {
        case 0:
            FUZZ_CHECK(model->AppendItem(duplicateOrNew()), QString());
            break;
        case 1:
            FUZZ_CHECK(model->PrependItem(duplicateOrNew()), QString());
            break;
        case 2: {
            ZEPHTreeItem* item = duplicateOrNew();
            // A refused item stays ours, and so does its child model.
            if (!model->InsertItem(m_in.row(count), item)) {
                delete item->ChildModel();
                delete item;
            }
            break;
        }
        case 3:
            FUZZ_CHECK(model->AppendItemsList(newList(true)), QString());
            break;
        case 4:
            FUZZ_CHECK(model->PrependItemsList(newList(true)), QString());
            break;
        case 5: {
            const ZEPHTreeItem* item = itemAt(model, m_in.row(count));
            model->RemoveOne(item ? item->ID() : QStringLiteral("nope"));
            break;
        }
        case 6: {
            // Arguments are read into locals first: their evaluation order is unspecified.
            const int head = m_in.row(count), tail = m_in.row(count);
            model->Remove(head, tail);
            break;
        }
        case 7: {
            QStringList ids;
            for (int n = m_in.below(4); n > 0; --n) {
                const ZEPHTreeItem* item = itemAt(model, m_in.row(count));
                ids << (item ? item->ID() : QStringLiteral("nope"));
            }
            model->Remove(ids);
            break;
        }
        case 8: {
            // A reset of the source is passed on: groups keep their items and member models.
            const int from = m_in.row(count), to = m_in.row(count);
            const QList<QObject*> groups = groupObjects();
            model->MoveRow(from, to);
            FUZZ_CHECK(groupObjects() == groups, QStringLiteral("groups made anew"));
            break;
        }
        case 9:
            FUZZ_CHECK(model->ReplaceItemsList(newList(true)), QString());
            break;
        case 10: {
            // Entries must be distinct new items: the operation neither merges nor tests them.
            QList<ZEPHTreeItem*> list;
            for (int n = m_in.below(4); n > 0; --n)
                list << newItem(QLatin1Char('s'));
            model->ReplaceItemsListEx(list);
            break;
        }
        case 11:
            if (m_in.flag())
                model->RemoveAll();
            else
                model->clear();
            break;
        case 12: {
            ZEPHTreeItem* item = itemAt(model, m_in.row(count));
            if (silent(item)) break;
            const int how = m_in.below(3);
            if (how == 0) {
                item->SetID(QStringLiteral("r%1").arg(m_nextId++));
                checkRejoined(item);
            } else if (how == 1) {
                item->setData(kNameRole, name());
            } else {
                item->setData(QStringLiteral("nameRole"), m_in.below(20));
            }
            if (m_trace)
                std::fprintf(stderr, "  now %s:%s\n", qPrintable(item->ID()), qPrintable(item->Name()));
            break;
        }
        case 13:
            if (Node* node = pick(sortable))
                node->model->SortByRole(m_in.flag() ? kNameRole : kIdRole, m_in.flag());
            break;
        case 14:
            if (Node* node = pick(sortable)) {
                const QVariantList rules = sortRules();
                node->model->SortByRules(rules, m_in.below(4));
            }
            break;
        case 15:
            if (Node* node = pick(sortable)) {
                const int role = m_in.flag() ? kNameRole : kIdRole;
                node->model->SortByRoleAndKeep(role, m_in.flag());
            }
            break;
        case 16:
            if (Node* node = pick(1u << Filter)) {
                node->rules = rules();
                node->orAll = m_in.flag();
                node->model->UpdateFilterRules(node->rules, node->orAll);
            }
            break;
        case 17: {
            // The last node is a view of no other node: views are only made of earlier nodes.
            if (m_nodes.size() >= kMaxNodes) m_nodes.pop_back();
            const int source = m_in.below(int(m_nodes.size()));
            addView(source, Kind(Filter + m_in.below(3)));
            break;
        }
        case 18:
            if (Node* node = pick(1u << Group)) {
                node->role = m_in.flag() ? kNameRole : kIdRole;
                node->model->UpdateGroupRole(node->role);
            }
            break;
        case 19:
            if (Node* node = pick(1u << Paging)) node->model->setPage(m_in.row(node->model->totalPage()));
            break;
        case 20:
            if (Node* node = pick(~0u)) {
                const int rows = node->model->rowCount();
                if (m_in.flag()) {
                    node->windowSize = m_in.row(rows) - 1;
                    node->model->SetPartialModelCount(node->windowSize);
                } else {
                    node->model->SetFirstPartialModelRow(m_in.row(rows));
                }
            }
            break;
        case 21: {
            // Changes inside a child model reach the filter view's descendant rule.
            const ZEPHTreeItem* item = itemAt(model, m_in.row(count));
            auto* child = silent(item) ? nullptr : qobject_cast<ZEPHTreeModel*>(item->ChildModel());
            if (!child) break;
            if (m_in.flag())
                child->AppendItem(new ZEPHTreeItem(QStringLiteral("c%1").arg(m_nextId++), name(), nullptr));
            else
                child->Remove(0, 0);
            break;
        }
        case 22: {
            ZEPHTreeItem* item = itemAt(model, m_in.row(count));
            if (silent(item)) break;
            // A new child model for an item; the old one stays with the host (here: deleted).
            QObject* old = item->ChildModel();
            auto* child = new ZEPHTreeModel(nullptr, {}, 0);
            child->AppendItem(new ZEPHTreeItem(QStringLiteral("c%1").arg(m_nextId++), name(), nullptr));
            item->SetChildModel(child);
            delete old;
            break;
        }
        case 23:
            model->ClearAllSourceContainer();
            break;
        default:
            flushDeletes();
            break;
        }
    }

    void check() {
        checkModel(root(), true);
        for (const auto& node : m_nodes) {
            ZEPHTreeModel* view = node->model.get();
            ZEPHTreeModel* source = node->source < 0 ? nullptr : m_nodes[size_t(node->source)]->model.get();
            if (m_trace)
                std::fprintf(stderr, "  check kind %d over %d: [%s]\n", node->kind, node->source,
                             qPrintable(idsOf(view)));
            if (node->kind == Filter)
                checkFilterView(source, view, node->rules, node->orAll, !over(*node, Group));
            if (node->kind == Group) checkGroupView(source, view, node->role);
            if (node->kind == Paging) checkPagingView(source, view, node->perPage);
            checkPartialView(view, node->window, node->windowSize);
            checkProxy(node->proxies[0], true);
            checkProxy(node->proxies[1], false);
        }
    }

    Reader& m_in;
    // FUZZ_TRACE=1 prints every operation, to read a finding step by step.
    const bool m_trace = qEnvironmentVariableIsSet("FUZZ_TRACE");
    bool m_merging = false;
    int m_nextId = 0;
    // The model first, then its views, each after its source.
    std::vector<std::unique_ptr<Node>> m_nodes;
};

void run(Reader& in) {
    Session session(in);
    session.run();
}

} // namespace

FUZZ_TARGET(run)

// Model-operation fuzzer: the input decodes into a sequence of operations on a small model tree with
// a filter, a group, a paging and the partial view attached; after every step the model and every
// view must agree with what a rebuild over the final source gives.
#include "FuzzSupport.h"

#include <QScopedPointer>

#include <memory>

using namespace fuzz;

namespace {

const char* const kNames[] = {"a", "b", "ab", "B", "", "10", "5"};
constexpr int kNameCount = int(sizeof(kNames) / sizeof(kNames[0]));
constexpr int kNameRole = ZEPHTreeItem::NameRole;
constexpr int kIdRole = ZEPHTreeItem::IdRole;

class Session {
public:
    explicit Session(Reader& in) : m_in(in) {
        // Flag 4 (merging) or none; IDs stay unique either way because new items get fresh IDs
        // unless an operation merges on purpose.
        m_mergeFlag = m_in.flag() ? 4 : 0;
        m_model.reset(new ZEPHTreeModel(nullptr, {}, m_mergeFlag));
        m_filterRules = rules();
        m_filterOrAll = m_in.flag();
        m_filter.reset(
            qobject_cast<ZEPHTreeModel*>(m_model->GetFilterModel(m_filterRules, m_filterOrAll, 0)));
        m_group.reset(qobject_cast<ZEPHTreeModel*>(m_model->GetGroupModel(kNameRole, m_in.flag())));
        m_perPage = m_in.below(5);
        m_paging.reset(qobject_cast<ZEPHTreeModel*>(m_model->GetPagingModel(m_perPage)));
        m_partialSize = m_in.below(6);
        m_model->GetPartialModel(m_partialSize);
    }

    ~Session() {
        // Views go first: the source must outlive them.
        m_filter.reset();
        m_group.reset();
        m_paging.reset();
        m_model.reset();
        flushDeletes();
        flushDeletes();
    }

    void run() {
        int steps = 0;
        while (!m_in.atEnd() && steps++ < 200) {
            step();
            check();
        }
    }

private:
    ZEPHTreeItem* newItem() {
        const QString id = QStringLiteral("i%1").arg(m_nextId++);
        QObject* child = nullptr;
        if (m_in.below(4) == 0) {
            auto* childModel = new ZEPHTreeModel(nullptr, {}, 0);
            const int n = m_in.below(3);
            for (int i = 0; i < n; ++i)
                childModel->AppendItem(new ZEPHTreeItem(QStringLiteral("c%1").arg(m_nextId++),
                                                        QString::fromLatin1(kNames[m_in.below(kNameCount)]),
                                                        nullptr));
            child = childModel;
        }
        return new ZEPHTreeItem(id, QString::fromLatin1(kNames[m_in.below(kNameCount)]), child);
    }

    // An item whose ID is already a row: merged with flag 4, refused otherwise (never inserted, so
    // IDs stay unique).
    ZEPHTreeItem* duplicateOrNew() {
        const int count = m_model->rowCount();
        if (m_mergeFlag && count > 0 && m_in.flag()) {
            const ZEPHTreeItem* existing = itemAt(m_model.data(), m_in.below(count));
            if (m_silent.contains(existing)) return newItem();
            return new ZEPHTreeItem(existing->ID(), QString::fromLatin1(kNames[m_in.below(kNameCount)]),
                                    nullptr);
        }
        return newItem();
    }

    QList<ZEPHTreeItem*> newList(bool allowNull) {
        QList<ZEPHTreeItem*> list;
        const int n = m_in.below(4);
        for (int i = 0; i < n; ++i)
            list << (allowNull && m_in.below(5) == 0 ? nullptr : duplicateOrNew());
        return list;
    }

    QVariantList rules() {
        QVariantList list;
        const int n = m_in.below(3);
        for (int i = 0; i < n; ++i) {
            QVariantMap rule;
            rule.insert(QStringLiteral("RoleName"),
                        m_in.flag() ? QStringLiteral("nameRole") : QStringLiteral("idRole"));
            if (m_in.below(4) == 0) {
                QVariantList sub;
                for (int k = m_in.below(3); k > 0; --k)
                    sub << QVariantMap{
                        {QStringLiteral("Rule"), m_in.below(9)},
                        {QStringLiteral("Value"), QString::fromLatin1(kNames[m_in.below(kNameCount)])}};
                rule.insert(QStringLiteral("Rules"), sub);
                rule.insert(QStringLiteral("OrAllRules"), m_in.flag());
            } else {
                rule.insert(QStringLiteral("Rule"), m_in.below(9));
                rule.insert(QStringLiteral("Value"), QString::fromLatin1(kNames[m_in.below(kNameCount)]));
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

    ZEPHTreeModel* childModelOf(int row) {
        const ZEPHTreeItem* item = itemAt(m_model.data(), row);
        return item ? qobject_cast<ZEPHTreeModel*>(item->ChildModel()) : nullptr;
    }

    void step() {
        ZEPHTreeModel* model = m_model.data();
        const int count = model->rowCount();
        const int op = m_in.below(24);
        if (m_trace) std::fprintf(stderr, "op %d rows [%s]\n", op, qPrintable(idsOf(model)));
        switch (op) {
        case 0:
            model->AppendItem(duplicateOrNew());
            break;
        case 1:
            model->PrependItem(duplicateOrNew());
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
            model->AppendItemsList(newList(true));
            break;
        case 4:
            model->PrependItemsList(newList(true));
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
            const int from = m_in.row(count), to = m_in.row(count);
            model->MoveRow(from, to);
        } break;
        case 9:
            model->ReplaceItemsList(newList(true));
            break;
        case 10: {
            // Entries must be distinct new items: the operation neither merges nor tests them.
            QList<ZEPHTreeItem*> list;
            for (int n = m_in.below(4); n > 0; --n)
                list << newItem();
            for (const ZEPHTreeItem* item : list)
                m_silent.insert(item);
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
            if (!item || m_silent.contains(item)) break;
            // Names only: an ID changed after insertion is, by design, found by FindItem under its
            // old ID only, so IDs stay as inserted here.
            if (m_in.flag())
                item->setData(kNameRole, QString::fromLatin1(kNames[m_in.below(kNameCount)]));
            else
                item->setData(QStringLiteral("nameRole"), m_in.below(20));
            if (m_trace)
                std::fprintf(stderr, "  %s named %s\n", qPrintable(item->ID()), qPrintable(item->Name()));
            break;
        }
        case 13:
            if (m_in.flag())
                model->SortByRole(kNameRole, m_in.flag());
            else
                model->SortByRole(QStringLiteral("idRole"), m_in.flag());
            break;
        case 14: {
            const QVariantList rules = sortRules();
            model->SortByRules(rules, m_in.below(4));
        } break;
        case 15: {
            const int role = m_in.flag() ? kNameRole : kIdRole;
            model->SortByRoleAndKeep(role, m_in.flag());
        } break;
        case 16:
            m_filterRules = rules();
            m_filterOrAll = m_in.flag();
            m_filter->UpdateFilterRules(m_filterRules, m_filterOrAll);
            break;
        case 17:
            m_filterRules = rules();
            m_filterOrAll = m_in.flag();
            m_filter.reset(qobject_cast<ZEPHTreeModel*>(
                model->GetFilterModel(m_filterRules, m_filterOrAll, m_in.below(2))));
            break;
        case 18:
            m_groupRole = m_in.flag() ? kNameRole : kIdRole;
            if (m_in.flag())
                m_group->UpdateGroupRole(m_groupRole);
            else
                m_group.reset(qobject_cast<ZEPHTreeModel*>(model->GetGroupModel(m_groupRole, m_in.flag())));
            break;
        case 19:
            if (m_in.flag()) {
                m_paging->setPage(m_in.row(m_paging->totalPage()));
            } else {
                m_perPage = m_in.below(5);
                m_paging.reset(qobject_cast<ZEPHTreeModel*>(model->GetPagingModel(m_perPage)));
            }
            break;
        case 20:
            if (m_in.flag()) {
                m_partialSize = m_in.row(count) - 1;
                model->SetPartialModelCount(m_partialSize);
            } else {
                model->SetFirstPartialModelRow(m_in.row(count));
            }
            break;
        case 21: {
            // Changes inside a child model reach the filter view's descendant rule.
            const int row = m_in.row(count);
            ZEPHTreeModel* child = childModelOf(row);
            if (!child || m_silent.contains(itemAt(model, row))) break;
            if (m_in.flag())
                child->AppendItem(new ZEPHTreeItem(QStringLiteral("c%1").arg(m_nextId++),
                                                   QString::fromLatin1(kNames[m_in.below(kNameCount)]),
                                                   nullptr));
            else
                child->Remove(0, 0);
            break;
        }
        case 22: {
            ZEPHTreeItem* item = itemAt(model, m_in.row(count));
            if (!item || m_silent.contains(item)) break;
            // A new child model for an item; the old one stays with the host (here: deleted).
            QObject* old = item->ChildModel();
            auto* child = new ZEPHTreeModel(nullptr, {}, 0);
            child->AppendItem(new ZEPHTreeItem(QStringLiteral("c%1").arg(m_nextId++),
                                               QString::fromLatin1(kNames[m_in.below(kNameCount)]), nullptr));
            item->SetChildModel(child);
            delete old;
            break;
        }
        default:
            flushDeletes();
            break;
        }
    }

    void check() {
        ZEPHTreeModel* model = m_model.data();
        checkModel(model, true);
        checkFilterView(model, m_filter.data(), m_filterRules, m_filterOrAll);
        checkGroupView(model, m_group.data(), m_groupRole);
        checkPagingView(model, m_paging.data(), unsigned(m_perPage));
        checkPartialView(model, m_partialSize);
    }

    Reader& m_in;
    // FUZZ_TRACE=1 prints every operation, to read a finding step by step.
    const bool m_trace = qEnvironmentVariableIsSet("FUZZ_TRACE");
    int m_mergeFlag = 0;
    int m_nextId = 0;
    QScopedPointer<ZEPHTreeModel> m_model;
    QScopedPointer<ZEPHTreeModel> m_filter;
    QScopedPointer<ZEPHTreeModel> m_group;
    QScopedPointer<ZEPHTreeModel> m_paging;
    QVariantList m_filterRules;
    bool m_filterOrAll = true;
    int m_groupRole = kNameRole;
    int m_perPage = 0;
    int m_partialSize = 0;
    // Items brought in by ReplaceItemsListEx: they get no value-change connection, and those that
    // take an existing row get no rowsInserted either, so a filter view never follows their child
    // model; a change inside them reaches no view, and the fuzzer leaves them alone (addresses only).
    QSet<const ZEPHTreeItem*> m_silent;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ensureApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ensureApplication();
    Reader in(data, size);
    {
        Session session(in);
        session.run();
    }
    return 0;
}

#pragma once

// Shared pieces of the fuzz targets: the entry points, a byte reader, a failing check, and the
// invariants that every model and view must keep after any operation.

#include <ZEPHTreeItem.h>
#include <ZEPHTreeModel.h>

#include <QCoreApplication>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Stops the run with a message; libFuzzer records the input that led here.
[[noreturn]] inline void fail(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "invariant broken: %s %s\n", what, qPrintable(detail));
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(cond, detail)                                                                             \
    do {                                                                                                     \
        if (!(cond)) ::fuzz::fail(#cond, detail);                                                            \
    } while (0)

// Reads the input front to back; past the end every read answers 0.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    int below(int n) { return n <= 0 ? 0 : byte() % n; }
    bool flag() { return byte() & 1; }
    // A row near the valid range, sometimes negative or far beyond it.
    int row(int count) {
        const uint8_t b = byte();
        if (b >= 250) return b == 255 ? -1 : (b == 254 ? 1 << 30 : -(1 << 30) + b);
        return b % (count + 2);
    }
    QByteArray rest() {
        const QByteArray bytes(reinterpret_cast<const char*>(m_data + m_pos), int(m_size - m_pos));
        m_pos = m_size;
        return bytes;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Every warning is a finding (the library writes none; Qt warns about broken model protocol), and so
// is every report of a model tester, but one: a sort of an empty model announces dataChanged with
// invalid indexes, as specified (the fuzzer checks that the model is empty when it does).
inline void failOnWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (qstrcmp(context.category, "qt.modeltest") == 0 &&
        message.startsWith(QLatin1String("FAIL! topLeft.isValid() ")))
        return;
    fail("no warnings", message);
}

// One QCoreApplication for the whole run: deferred deletes and queued calls need it.
inline void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    qInstallMessageHandler(failOnWarnings);
}

inline void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline ZEPHTreeItem* itemAt(const ZEPHTreeModel* model, int row) {
    return qobject_cast<ZEPHTreeItem*>(model->FindItem(row));
}

// IDs given with SetID after insertion start with 'r': the ID index still files such an item under
// its old ID, by design, so it is not looked up by its new one.
inline bool renamed(const QString& id) {
    return id.startsWith(QLatin1Char('r'));
}

inline QString idsOf(const ZEPHTreeModel* model) {
    QStringList ids;
    for (int row = 0; row < model->rowCount(); ++row) {
        const ZEPHTreeItem* item = itemAt(model, row);
        ids << (item ? item->ID() : QStringLiteral("<null>"));
    }
    return ids.join(QLatin1Char(' '));
}

// Rows and ID index agree: every row holds a distinct live item, and FindItem by a row's ID leads
// to an item with that ID (the row's own item when IDs are unique, which `uniqueIds` asserts).
inline void checkModel(ZEPHTreeModel* model, bool uniqueIds) {
    const int count = model->rowCount();
    FUZZ_CHECK(count >= 0, QString::number(count));
    FUZZ_CHECK(model->GetModelItemList()->size() == count, idsOf(model));
    QSet<const ZEPHTreeItem*> seen;
    QSet<QString> ids;
    for (int row = 0; row < count; ++row) {
        ZEPHTreeItem* item = itemAt(model, row);
        FUZZ_CHECK(item, QString::number(row));
        FUZZ_CHECK(!seen.contains(item), idsOf(model));
        seen.insert(item);
        const QString id = item->ID();
        if (renamed(id)) continue;
        const auto* byId = qobject_cast<ZEPHTreeItem*>(model->FindItem(id));
        FUZZ_CHECK(byId && byId->ID() == id, id);
        if (uniqueIds) {
            FUZZ_CHECK(!ids.contains(id), idsOf(model));
            FUZZ_CHECK(byId == item, id);
            FUZZ_CHECK(model->FindItemRow(id) == row, id);
        }
        ids.insert(id);
    }
    FUZZ_CHECK(model->FindItem(count) == nullptr, QString::number(count));
    FUZZ_CHECK(model->FindItem(-1) == nullptr, QString());
}

inline QSet<const QObject*> itemSet(const ZEPHTreeModel* model) {
    QSet<const QObject*> set;
    for (int row = 0; row < model->rowCount(); ++row)
        set.insert(model->FindItem(row));
    return set;
}

inline QString describe(const QSet<const QObject*>& set) {
    QStringList ids;
    for (const QObject* object : set) {
        const auto* item = qobject_cast<const ZEPHTreeItem*>(object);
        ids << (item ? item->ID() : QStringLiteral("<?>"));
    }
    ids.sort();
    return ids.join(QLatin1Char(' '));
}

// A live filter view shows the same items as a view built now over the final source. Where items
// have descendants deeper than their child model's rows (over a group view), a change down there
// reaches no filter view, by design: then it only shows rows of its source, each once.
inline void checkFilterView(ZEPHTreeModel* source, ZEPHTreeModel* view, const QVariantList& rules, bool orAll,
                            bool exact = true) {
    checkModel(view, false);
    QScopedPointer<ZEPHTreeModel> fresh(
        qobject_cast<ZEPHTreeModel*>(exact ? source->GetFilterModel(rules, orAll, 0) : nullptr));
    const QSet<const QObject*> live = itemSet(view),
                               rebuilt = fresh ? itemSet(fresh.data()) : itemSet(source);
    FUZZ_CHECK(exact ? live == rebuilt : rebuilt.contains(live),
               describe(live) + QStringLiteral(" | ") + describe(rebuilt));
}

// Group ID -> the set of member items.
inline QMap<QString, QSet<const QObject*>> groupsOf(const ZEPHTreeModel* view) {
    QMap<QString, QSet<const QObject*>> groups;
    for (int row = 0; row < view->rowCount(); ++row) {
        const ZEPHTreeItem* group = itemAt(view, row);
        FUZZ_CHECK(group, QString::number(row));
        FUZZ_CHECK(!groups.contains(group->ID()), group->ID());
        const auto* members = qobject_cast<ZEPHTreeModel*>(group->ChildModel());
        FUZZ_CHECK(members, group->ID());
        groups.insert(group->ID(), itemSet(members));
        FUZZ_CHECK(groups.value(group->ID()).size() == members->rowCount(), group->ID());
    }
    return groups;
}

inline QString describe(const QMap<QString, QSet<const QObject*>>& groups) {
    QStringList parts;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        parts << it.key() + QLatin1Char('{') + describe(it.value()) + QLatin1Char('}');
    return parts.join(QLatin1Char(' '));
}

// A live group view has the same groups with the same members as one built now.
inline void checkGroupView(ZEPHTreeModel* source, ZEPHTreeModel* view, int role) {
    QScopedPointer<QObject> fresh(source->GetGroupModel(role, false));
    const auto* rebuilt = qobject_cast<ZEPHTreeModel*>(fresh.data());
    FUZZ_CHECK(rebuilt, QString());
    const auto live = groupsOf(view), expected = groupsOf(rebuilt);
    FUZZ_CHECK(live == expected, describe(live) + QStringLiteral(" | ") + describe(expected));
}

// Page counts by their formulas over the source's row count.
inline void checkPagingView(const ZEPHTreeModel* source, ZEPHTreeModel* view, unsigned perPage) {
    const unsigned c = unsigned(source->rowCount());
    const unsigned n = perPage == 0 ? 4294967295u : perPage;
    const int total = int(c / n + (c % n ? 1 : 0));
    FUZZ_CHECK(view->totalPage() == total, QStringLiteral("%1 != %2").arg(view->totalPage()).arg(total));
    const int last = total < 1 ? 0 : total - 1;
    const int page = view->page();
    FUZZ_CHECK(page >= 0 && page <= last, QString::number(page));
    int rows = int(n);
    if (page == last) rows = c % n ? int(c % n) : (c ? int(n) : 0);
    FUZZ_CHECK(view->rowCount() == rows, QStringLiteral("%1 != %2").arg(view->rowCount()).arg(rows));
    for (int row = 0; row < rows; ++row)
        FUZZ_CHECK(view->FindItem(row) == source->FindItem(page * int(n) + row), QString::number(row));
}

// A window (partial view) shows source rows first .. first + size - 1, clipped to the source.
inline void checkPartialView(ZEPHTreeModel* source, const QAbstractItemModel* partial, int size) {
    const int first = source->FirstPartialModelRow();
    const int count = source->rowCount();
    const int expected = qMax(0, qMin(qMax(size, 0), count - first));
    FUZZ_CHECK(partial->rowCount() == expected, QStringLiteral("%1 != %2 (first %3 size %4 count %5)")
                                                    .arg(partial->rowCount())
                                                    .arg(expected)
                                                    .arg(first)
                                                    .arg(size)
                                                    .arg(count));
    const int idRole = ZEPHTreeItem::IdRole;
    for (int row = 0; row < expected; ++row)
        FUZZ_CHECK(partial->data(partial->index(row, 0), idRole) ==
                       source->FindItemValue(first + row, idRole),
                   QString::number(row));
}

// A sorting Qt proxy holds every row of its source once, and in the order of its sort role when
// `inOrder`: a source that announces a change of many rows one row at a time (a partial view) may
// leave the proxy's dynamic sort out of order.
inline void checkProxy(const QSortFilterProxyModel* proxy, bool inOrder) {
    const QAbstractItemModel* source = proxy->sourceModel();
    const int count = source->rowCount();
    FUZZ_CHECK(proxy->rowCount() == count, QStringLiteral("%1 != %2").arg(proxy->rowCount()).arg(count));
    QVector<bool> seen(count);
    QString previous;
    for (int row = 0; row < count; ++row) {
        const QModelIndex index = proxy->index(row, 0);
        const int at = proxy->mapToSource(index).row();
        FUZZ_CHECK(at >= 0 && at < count && !seen.at(at), QString::number(at));
        seen[at] = true;
        const QString name = index.data(proxy->sortRole()).toString();
        FUZZ_CHECK(!inOrder || row == 0 || !(name < previous), previous + QStringLiteral(" > ") + name);
        previous = name;
    }
}

} // namespace fuzz

// The entry points of a fuzz target, around `run(Reader&)`: one application for the whole run, and
// every deferred delete delivered after each input.
#define FUZZ_TARGET(run)                                                                                     \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {                                                     \
        ::fuzz::ensureApplication();                                                                         \
        return 0;                                                                                            \
    }                                                                                                        \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {                                \
        ::fuzz::ensureApplication();                                                                         \
        ::fuzz::Reader in(data, size);                                                                       \
        run(in);                                                                                             \
        ::fuzz::flushDeletes();                                                                              \
        ::fuzz::flushDeletes();                                                                              \
        return 0;                                                                                            \
    }

#include "DemoWalk.h"

#include "DemoData.h"

#include <QAbstractItemModel>
#include <QElapsedTimer>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <memory>

namespace {
// Views made for the walk belong to it: a native caller owns what a factory returns.
using ViewPtr = std::unique_ptr<QObject>;

ZEPHTreeModel* asModel(QObject* object) {
    return qobject_cast<ZEPHTreeModel*>(object);
}

ZEPHTreeItem* itemAt(ZEPHTreeModel* model, int row) {
    return model ? qobject_cast<ZEPHTreeItem*>(model->FindItem(row)) : nullptr;
}

ZEPHTreeModel* childModelOf(const ZEPHTreeItem* item) {
    return item ? asModel(item->ChildModel()) : nullptr;
}

// "A, B, C, ... (+4 more)": the names of rows `first` to `first + count - 1` of any list model.
QString names(const QAbstractItemModel* model, int max, int first = 0, int count = -1) {
    if (!model) return QString();
    const int end = count < 0 ? model->rowCount() : qMin(model->rowCount(), first + count);
    QStringList shown;
    for (int row = first; row < end && shown.size() < max; ++row)
        shown << model->index(row, 0).data(ZEPHTreeItem::NameRole).toString();
    const int rest = end - first - shown.size();
    QString text = shown.join(QStringLiteral(", "));
    if (rest > 0) text += QStringLiteral(", ... (+%1 more)").arg(rest);
    return text;
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString describe(const QVariant& value) {
    if (!value.isValid()) return QStringLiteral("(no value)");
    return value.toString();
}

// One line of the walk: the call on the left, its answer on the right.
QString line(const QString& call, const QString& answer) {
    return QStringLiteral("   %1 -> %2\n").arg(call.leftJustified(46), answer);
}
} // namespace

DemoWalk::DemoWalk(DemoTree& tree, QTextStream& out) : m_tree(tree), m_root(tree.root()), m_out(out) {}

WalkSettings DemoWalk::defaults(const DemoTree& tree) {
    if (tree.isIsoData())
        return {QStringLiteral("burg"), QStringLiteral("GB"), QStringLiteral("NO"), QStringLiteral("NO-03")};
    // Otherwise: the item with the most children is grouped, the first item with children is looked
    // up with its first child, and that child's name is searched for.
    WalkSettings settings;
    ZEPHTreeModel* root = tree.root();
    int most = -1;
    for (int row = 0; row < root->rowCount(); ++row) {
        ZEPHTreeItem* item = itemAt(root, row);
        ZEPHTreeModel* children = childModelOf(item);
        const int count = children ? children->rowCount() : 0;
        if (count > most) {
            most = count;
            settings.focusId = item->ID();
        }
        if (settings.lookupId.isEmpty() && count > 0) {
            settings.lookupId = item->ID();
            settings.childId = children->FindItemID(0);
            settings.search = itemAt(children, 0)->Name();
        }
    }
    if (settings.lookupId.isEmpty()) settings.lookupId = root->FindItemID(0);
    return settings;
}

bool DemoWalk::run(const WalkSettings& settings) {
    m_settings = settings;
    if (m_root->rowCount() == 0) return false;
    m_out << "ZEPHTreeModel demo: " << m_tree.description() << "\n"
          << "loaded " << m_root->rowCount() << " top-level items, " << m_tree.itemCount()
          << " items in all, " << m_tree.childModelCount() << " child models, in "
          << m_tree.loadMilliseconds() << " ms\n";
    // The role table of every model in the tree: the library's item roles, then the demo's.
    const QHash<int, QByteArray> table = m_root->roleNames();
    QList<int> numbers = table.keys();
    std::sort(numbers.begin(), numbers.end());
    QStringList roles;
    for (int number : qAsConst(numbers))
        roles << QStringLiteral("%1 %2").arg(number).arg(QString::fromLatin1(table.value(number)));
    m_out << "roles: " << roles.join(QStringLiteral(", ")) << "\n";
    lookups();
    filterView();
    groupView();
    pagingView();
    partialView();
    ruleSort();
    scriptSort();
    m_out.flush();
    return true;
}

void DemoWalk::heading(int number, const QString& title) {
    m_out << "\n" << number << ". " << title << "\n";
    m_out.flush();
}

void DemoWalk::unavailable(const char* factory) {
    m_out << "   (not available: " << factory << " returned no view in this build)\n";
}

QString DemoWalk::noun(bool top, bool many) const {
    if (m_tree.isIsoData()) {
        if (top) return many ? QStringLiteral("countries") : QStringLiteral("country");
        return many ? QStringLiteral("subdivisions") : QStringLiteral("subdivision");
    }
    if (top) return many ? QStringLiteral("top-level items") : QStringLiteral("top-level item");
    return many ? QStringLiteral("children") : QStringLiteral("child");
}

QString DemoWalk::plural(int count, bool top) const {
    return QStringLiteral("%1 %2").arg(count).arg(noun(top, count != 1));
}

void DemoWalk::lookups() {
    heading(1, QStringLiteral("Lookups by ID through the tree"));
    const QString parentId = m_settings.lookupId;
    const QString childId = m_settings.childId;
    auto* parent = qobject_cast<ZEPHTreeItem*>(m_root->FindItem(parentId, false));
    if (!parent) {
        m_out << line(QStringLiteral("FindItem(%1)").arg(quoted(parentId)), QStringLiteral("not found"));
        return;
    }
    ZEPHTreeModel* children = childModelOf(parent);
    m_out << line(QStringLiteral("FindItem(%1)").arg(quoted(parentId)),
                  QStringLiteral("%1 at row %2, %3")
                      .arg(parent->Name(), QString::number(m_root->FindItemRow(parentId)),
                           plural(children ? children->rowCount() : 0, false)));
    if (!childId.isEmpty()) {
        m_out << line(QStringLiteral("FindItem(%1)").arg(quoted(childId)),
                      m_root->FindItem(childId, false) ? QStringLiteral("found")
                                                       : QStringLiteral("not a top-level row"));
        auto* child = qobject_cast<ZEPHTreeItem*>(m_root->FindItem(childId, true));
        m_out << line(QStringLiteral("FindItem(%1, includeChildModel)").arg(quoted(childId)),
                      child ? child->Name() : QStringLiteral("not found"));
        m_out << line(QStringLiteral("FindItemValueEx(%1, \"typeRole\", true)").arg(quoted(childId)),
                      describe(m_root->FindItemValueEx(childId, QStringLiteral("typeRole"), true)));
    }
    // The demo roles answer by number as well as by name.
    m_out << line(QStringLiteral("FindItemValue(%1, %2 codeRole)")
                      .arg(quoted(parentId), QString::number(DemoRoles::CodeRole)),
                  describe(m_root->FindItemValue(parentId, int(DemoRoles::CodeRole))));
    m_out << line(QStringLiteral("FindItemValue(%1, \"childCountRole\")").arg(quoted(parentId)),
                  describe(m_root->FindItemValue(parentId, QStringLiteral("childCountRole"))));
    QList<QString> ids;
    m_root->GetAllIDs(ids, true);
    m_out << line(
        QStringLiteral("GetAllIDs(ids, includeChildModel)"),
        QStringLiteral("%1 IDs, from %2 to %3").arg(ids.size()).arg(ids.value(0), ids.value(ids.size() - 1)));
}

void DemoWalk::filterView() {
    const QString search = m_settings.search;
    heading(2,
            QStringLiteral("Filter view: names containing %1, parents of matches stay").arg(quoted(search)));
    const QVariantMap rule{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                           {QStringLiteral("Rule"), int(ZEPHTreeModel::InsensitiveSubStr)},
                           {QStringLiteral("Value"), search}};
    m_out << "   GetFilterModel([{RoleName: \"nameRole\", Rule: InsensitiveSubStr, Value: " << quoted(search)
          << "}])\n";
    ViewPtr holder(m_root->GetFilterModel(QVariantList{rule}, true, ZEPHTreeModel::POS_TAIL));
    ZEPHTreeModel* view = asModel(holder.get());
    if (!view) return unavailable("GetFilterModel");

    int ownMatches = 0;
    QStringList lines;
    for (int row = 0; row < view->rowCount(); ++row) {
        ZEPHTreeItem* item = itemAt(view, row);
        const bool own = item->Name().contains(search, Qt::CaseInsensitive);
        ownMatches += own ? 1 : 0;
        // Through the view, a child model is seen filtered too: a new filter view with the same rules.
        ViewPtr children(
            qvariant_cast<QObject*>(view->FindItemValue(row, int(ZEPHTreeItem::ChildModelRole))));
        const QString why = own ? QStringLiteral("(own name)") : names(asModel(children.get()), 4);
        lines << QStringLiteral("     %1 %2 %3")
                     .arg(item->ID().leftJustified(6), item->Name().leftJustified(28), why);
    }
    m_out << "   " << view->rowCount() << " of " << plural(m_root->rowCount(), true) << ": " << ownMatches
          << " by their own name, " << view->rowCount() - ownMatches
          << " because something below them matches\n";
    const int shown = 12;
    m_out << lines.mid(0, shown).join(QLatin1Char('\n')) << "\n";
    if (lines.size() > shown) m_out << "     ... and " << lines.size() - shown << " more\n";
    liveFilterUpdate(view);
}

// The view follows its source: renaming an item deep in the tree brings its parent in and out.
void DemoWalk::liveFilterUpdate(ZEPHTreeModel* view) {
    for (int row = 0; row < m_root->rowCount(); ++row) {
        ZEPHTreeItem* parent = itemAt(m_root, row);
        ZEPHTreeItem* child = itemAt(childModelOf(parent), 0);
        if (!child || view->FindItem(parent->ID(), false)) continue;
        const QString name = child->Name();
        const int before = view->rowCount();
        child->setData(QStringLiteral("nameRole"), QString(name + QLatin1Char(' ') + m_settings.search));
        const bool joined = view->FindItem(parent->ID(), false) != nullptr;
        const int during = view->rowCount();
        child->setData(QStringLiteral("nameRole"), name);
        m_out << "   live: renaming " << quoted(name) << " to "
              << quoted(name + QLatin1Char(' ') + m_settings.search)
              << (joined ? " brings " : " does not bring ") << parent->Name() << " in (" << before << " -> "
              << during << " rows); renaming it back: " << view->rowCount() << " rows\n";
        return;
    }
}

void DemoWalk::groupView() {
    auto* focus = qobject_cast<ZEPHTreeItem*>(m_root->FindItem(m_settings.focusId, false));
    ZEPHTreeModel* children = childModelOf(focus);
    heading(3, QStringLiteral("Group view: the %1 of %2 (%3) by typeRole")
                   .arg(noun(false, true))
                   .arg(focus ? focus->Name() : QStringLiteral("?"), m_settings.focusId));
    if (!children) {
        m_out << "   " << quoted(m_settings.focusId) << " has no child model\n";
        return;
    }
    ViewPtr holder(children->GetGroupModel(QStringLiteral("typeRole"), false));
    ZEPHTreeModel* groups = asModel(holder.get());
    if (!groups) return unavailable("GetGroupModel");
    m_out << "   GetGroupModel(\"typeRole\") on its child model: " << groups->rowCount()
          << " groups in order of first appearance, each with a member model\n";
    for (int row = 0; row < groups->rowCount(); ++row) {
        ZEPHTreeItem* group = itemAt(groups, row);
        ZEPHTreeModel* members = childModelOf(group);
        const QString title =
            QStringLiteral("%1 (%2)").arg(group->Name(), QString::number(members ? members->rowCount() : 0));
        m_out << QStringLiteral("     %1 %2\n").arg(title.leftJustified(34), names(members, 3));
    }
    // Regrouping by another role rebuilds the groups in place.
    groups->UpdateGroupRole(QStringLiteral("initialRole"));
    QStringList initials;
    for (int row = 0; row < groups->rowCount(); ++row) {
        ZEPHTreeModel* members = childModelOf(itemAt(groups, row));
        initials << QStringLiteral("%1 %2").arg(groups->FindItemID(row),
                                                QString::number(members ? members->rowCount() : 0));
    }
    m_out << "   UpdateGroupRole(\"initialRole\"): " << groups->rowCount()
          << " groups: " << initials.join(QStringLiteral(", ")) << "\n";
}

void DemoWalk::pagingView() {
    const unsigned perPage = 25;
    heading(4, QStringLiteral("Paging view: %1 per page over the %2")
                   .arg(perPage)
                   .arg(plural(m_root->rowCount(), true)));
    ViewPtr holder(m_root->GetPagingModel(perPage));
    ZEPHTreeModel* pages = asModel(holder.get());
    if (!pages) return unavailable("GetPagingModel");
    const int total = pages->totalPage();
    m_out << "   GetPagingModel(" << perPage << "): totalPage " << total << "\n";
    for (int page : {0, 1, total - 1}) {
        if (page < 0 || page >= total || (page == 1 && total < 3)) continue;
        pages->setPage(page);
        const int rows = pages->rowCount();
        m_out << QStringLiteral("     page %1 of %2: %3 rows, %4 ... %5\n")
                     .arg(pages->page() + 1)
                     .arg(total)
                     .arg(rows)
                     .arg(pages->FindItemValue(0, int(ZEPHTreeItem::NameRole)).toString(),
                          pages->FindItemValue(rows - 1, int(ZEPHTreeItem::NameRole)).toString());
    }
    pages->setPage(total);
    m_out << "   setPage(" << total << ") is past the last page and refused: still page index "
          << pages->page() << "\n";
}

void DemoWalk::partialView() {
    const int first = qMin(100, m_root->rowCount() / 2);
    heading(5, QStringLiteral("Partial view: a window of 5 rows from row %1").arg(first));
    auto* window = qobject_cast<QAbstractItemModel*>(m_root->GetPartialModel(5));
    if (!window) return unavailable("GetPartialModel");
    m_root->SetFirstPartialModelRow(first);
    m_out << "   GetPartialModel(5), SetFirstPartialModelRow(" << first << "): " << window->rowCount()
          << " rows: " << names(window, 5) << "\n";
    m_root->SetFirstPartialModelRow(m_root->rowCount() + 1000);
    m_out << "   SetFirstPartialModelRow(" << m_root->rowCount() + 1000 << ") is clamped to row "
          << m_root->FirstPartialModelRow() << ": " << window->rowCount() << " row: " << names(window, 5)
          << "\n";
    // The window belongs to the model; an empty window costs nothing.
    m_root->SetPartialModelCount(0);
    m_root->SetFirstPartialModelRow(0);
}

void DemoWalk::ruleSort() {
    heading(6, QStringLiteral("Sort by rules: childCountRole descending, then nameRole ascending"));
    // Sorting a view leaves the source's order alone; an empty rule list lets every item through.
    ViewPtr holder(m_root->GetFilterModel(QVariantList(), true, ZEPHTreeModel::POS_TAIL));
    ZEPHTreeModel* view = asModel(holder.get());
    if (!view) return unavailable("GetFilterModel");
    const QVariantList rules{QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("childCountRole")},
                                         {QStringLiteral("Ascending"), false}},
                             QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                                         {QStringLiteral("Ascending"), true}}};
    m_out << "   SortByRules([{RoleName: \"childCountRole\", Ascending: false}, {RoleName: \"nameRole\", "
             "Ascending: true}]) on a filter view of all "
          << noun(true, true) << "\n";
    view->SortByRules(rules, ZEPHTreeModel::None);
    QStringList most, none;
    for (int row = 0; row < view->rowCount(); ++row) {
        ZEPHTreeItem* item = itemAt(view, row);
        const int count = item->getData(int(DemoRoles::ChildCountRole)).toInt();
        if (most.size() < 5 && count > 0)
            most << QStringLiteral("%1 %2").arg(item->Name(), QString::number(count));
        if (none.size() < 5 && count == 0) none << item->Name();
    }
    m_out << "   most " << noun(false, true) << ": " << most.join(QStringLiteral(", ")) << "\n";
    if (!none.isEmpty()) m_out << "   none, by name: " << none.join(QStringLiteral(", ")) << "\n";
    m_out << "   the source keeps its order: row 0 is still "
          << m_root->FindItemValue(0, int(ZEPHTreeItem::NameRole)).toString() << "\n";
}

void DemoWalk::scriptSort() {
    const QString file = QStringLiteral(":/scripts/byNameLength.js");
    heading(7, QStringLiteral("Sort by a JavaScript compare file: shorter names first"));
    ViewPtr holder(m_root->GetFilterModel(QVariantList(), true, ZEPHTreeModel::POS_TAIL));
    ZEPHTreeModel* view = asModel(holder.get());
    if (!view) return unavailable("GetFilterModel");
    QElapsedTimer timer;
    timer.start();
    view->SortByRoleByScriptFunction(QStringLiteral("nameRole"), true, file, QStringLiteral("shorterName"));
    const qint64 ms = timer.elapsed();
    m_out << "   SortByRoleByScriptFunction(\"nameRole\", true, " << quoted(file) << ", \"shorterName\") in "
          << ms << " ms\n";
    const int rows = view->rowCount();
    m_out << "   shortest: " << names(view, 5, 0, 5) << "\n";
    m_out << "   longest:  " << view->FindItemValue(rows - 1, int(ZEPHTreeItem::NameRole)).toString() << "\n";
}

#include "views/FilterRules.h"

#include "item/ZEPHTreeItem.h"
#include "model/ZEPHTreeModel.h"

#include <QVariantMap>

#include <typeinfo>

namespace {
const QLatin1String kRoleName("RoleName");
const QLatin1String kRule("Rule");
const QLatin1String kValue("Value");
const QLatin1String kRules("Rules");
const QLatin1String kOrAllRules("OrAllRules");

bool isOrdered(int code) {
    return code >= ZEPHTreeModel::Eq && code <= ZEPHTreeModel::Lt;
}
bool isSubstring(int code) {
    return code == ZEPHTreeModel::SubStr || code == ZEPHTreeModel::InsensitiveSubStr;
}

// The text a substring comparison searches: string lists are joined with the separator.
QString textOf(const QVariant& value) {
    if (value.type() == QVariant::StringList) return value.toStringList().join(FilterRules::listSeparator());
    return value.toString();
}
} // namespace

QString FilterRules::listSeparator() {
    return QStringLiteral("{F185B90B-D31F-48AF-ABC6-4C516C125083}");
}

FilterRules::FilterRules(const QVariantList& rules, bool orAllRules) : m_orAll(orAllRules) {
    m_entries.reserve(rules.size());
    for (const QVariant& rule : rules) {
        // An entry that is not a map reads as an empty map, which is a group without sub-rules.
        const QVariantMap map = rule.toMap();
        Entry entry;
        entry.roleName = map.value(kRoleName).toString();
        if (entry.roleName == QLatin1String("idRole"))
            entry.plainRole = ZEPHTreeItem::IdRole;
        else if (entry.roleName == QLatin1String("nameRole"))
            entry.plainRole = ZEPHTreeItem::NameRole;
        if (map.contains(kRule)) {
            entry.comparisons.append(compile(map.value(kRule).toInt(), map.value(kValue)));
        } else {
            entry.isGroup = true;
            entry.groupOrAll = map.value(kOrAllRules).toBool();
            const QVariantList subRules = map.value(kRules).toList();
            entry.comparisons.reserve(subRules.size());
            for (const QVariant& subRule : subRules) {
                const QVariantMap sub = subRule.toMap();
                entry.comparisons.append(compile(sub.value(kRule).toInt(), sub.value(kValue)));
            }
        }
        m_entries.append(std::move(entry));
    }
}

FilterRules::Comparison FilterRules::compile(int code, const QVariant& value) {
    Comparison comparison;
    comparison.code = code;
    Operand& op = comparison.operand;
    if (isOrdered(code)) {
        // The item value's type picks the comparison and the rule value is converted to it; every
        // conversion is made here once instead of once per item.
        op.ordered = ValueOrder::AllTypes(value);
    } else if (isSubstring(code)) {
        op.text = textOf(value);
        op.lowerText = op.text.toLower();
    }
    return comparison;
}

// Decides a comparison code from the order of the item value against the rule value (below 0
// less, above 0 greater, 0 neither).
bool FilterRules::decide(int code, int order) {
    switch (code) {
    case ZEPHTreeModel::Eq:
        return order == 0;
    case ZEPHTreeModel::Ne:
        return order != 0;
    case ZEPHTreeModel::Ge:
        return order >= 0;
    case ZEPHTreeModel::Gt:
        return order > 0;
    case ZEPHTreeModel::Le:
        return order <= 0;
    default: // Lt
        return order < 0;
    }
}

// The comparison for an item value that is a string (the substring codes search the string).
bool FilterRules::holds(const Comparison& comparison, const QString& itemText) {
    const int code = comparison.code;
    const Operand& op = comparison.operand;
    if (code == ZEPHTreeModel::SubStr) return itemText.indexOf(op.text, 0, Qt::CaseSensitive) >= 0;
    if (code == ZEPHTreeModel::InsensitiveSubStr)
        return itemText.toLower().indexOf(op.lowerText, 0, Qt::CaseSensitive) >= 0;
    return isOrdered(code) && decide(code, ValueOrder::compare(itemText, op.ordered.as<QString>()));
}

bool FilterRules::holds(const Comparison& comparison, const QVariant& itemValue) {
    const int code = comparison.code;
    const Operand& op = comparison.operand;
    if (isSubstring(code)) return holds(comparison, textOf(itemValue));
    if (!isOrdered(code)) return false;
    // Below 0: item value less than the rule value, above 0: greater, 0: neither (also for types
    // that have no order, such as maps, lists, objects and invalid values).
    int order = 0;
    ValueOrder::withOrderedType(itemValue.type(), [&](auto type) {
        using T = typename decltype(type)::type;
        order = ValueOrder::compare(ValueOrder::valueAs<T>(itemValue), op.ordered.as<T>());
    });
    return decide(code, order);
}

template <typename Value> bool FilterRules::entryHolds(const Entry& entry, const Value& value) {
    if (!entry.isGroup) return holds(entry.comparisons.first(), value);
    for (const Comparison& comparison : entry.comparisons) {
        if (holds(comparison, value) == entry.groupOrAll) return entry.groupOrAll;
    }
    return !entry.groupOrAll;
}

bool FilterRules::entryHolds(const Entry& entry, const ZEPHTreeItem* item) {
    // A group without sub-rules never holds; a single rule is exactly one comparison.
    if (entry.comparisons.isEmpty()) return false;
    // A plain item answers "idRole" and "nameRole" with its ID and name as strings: reading them
    // directly gives the same value without the lookup by name.
    if (entry.plainRole != 0 && typeid(*item) == typeid(ZEPHTreeItem))
        return entryHolds(entry, entry.plainRole == ZEPHTreeItem::IdRole ? item->ID() : item->Name());
    return entryHolds(entry, item->getData(entry.roleName));
}

bool FilterRules::matches(const ZEPHTreeItem* item) const {
    for (const Entry& entry : m_entries) {
        if (entryHolds(entry, item) == m_orAll) return m_orAll;
    }
    return !m_orAll;
}

bool FilterRules::passes(const ZEPHTreeItem* item) const {
    if (!item) return false;
    if (m_entries.isEmpty() || matches(item)) return true;
    if (!item->ChildModel()) return false;
    QSet<const QObject*> visitedModels;
    return descendantPasses(item, visitedModels);
}

// The descendant rule: depth-first through the child models, stopping at the first passing
// descendant. Each child model is entered at most once per test, so a cycle of child models ends;
// a child object that is not one of this library's models has no rows.
bool FilterRules::descendantPasses(const ZEPHTreeItem* item, QSet<const QObject*>& visitedModels) const {
    auto* child = qobject_cast<ZEPHTreeModel*>(item->ChildModel());
    if (!child || visitedModels.contains(child)) return false;
    visitedModels.insert(child);
    for (int row = 0; row < child->rowCount(); ++row) {
        auto* descendant = qobject_cast<ZEPHTreeItem*>(child->FindItem(row));
        if (descendant && (matches(descendant) || descendantPasses(descendant, visitedModels))) return true;
    }
    return false;
}

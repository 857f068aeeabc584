#pragma once

#include "core/ValueOrder.h"

#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVector>

class QObject;
class ZEPHTreeItem;

// A filter rule list converted once into plain values: role names read, comparison codes read and
// every rule value converted in advance to each type an item value may have, so that testing an
// item only reads the item. Answers whether an item passes: by itself (the rules combined with
// "any" or "all") or because something below it in its child models passes.
class FilterRules {
public:
    /// An empty rule list: every item passes.
    FilterRules() = default;
    /// Converts `rules` (single rules and rule groups, in order) combined with `orAllRules`.
    FilterRules(const QVariantList& rules, bool orAllRules);

    bool isEmpty() const { return m_entries.isEmpty(); }

    /// True when `item` matches the rules itself or a descendant in its child models passes.
    bool passes(const ZEPHTreeItem* item) const;

    /// Joins the elements of a string list value for the substring comparisons.
    static QString listSeparator();

private:
    // The rule value in each form a comparison may need.
    struct Operand {
        ValueOrder::AllTypes ordered; // for the ordered comparisons, by the item value's type
        QString text;                 // the substring searched for
        QString lowerText;            // the same, lower-cased
    };
    struct Comparison {
        int code = 0;
        Operand operand;
    };
    // A single rule is an entry with one comparison; a group holds its own combination flag.
    struct Entry {
        QString roleName;
        int plainRole = 0; // the role number of "idRole" or "nameRole", else 0
        bool isGroup = false;
        bool groupOrAll = false;
        QVector<Comparison> comparisons;
    };

    static Comparison compile(int code, const QVariant& value);
    static bool decide(int code, int order);
    static bool holds(const Comparison& comparison, const QVariant& itemValue);
    static bool holds(const Comparison& comparison, const QString& itemText);
    template <typename Value> static bool entryHolds(const Entry& entry, const Value& value);
    static bool entryHolds(const Entry& entry, const ZEPHTreeItem* item);
    bool matches(const ZEPHTreeItem* item) const;
    bool descendantPasses(const ZEPHTreeItem* item, QSet<const QObject*>& visitedModels) const;

    QVector<Entry> m_entries;
    bool m_orAll = true;
};

// Rule fuzzer: the input becomes a QVariant rule list, from JSON text or from a byte-coded value tree
// (nested maps and lists, wrong types, huge numbers, deep nesting), and goes to GetFilterModel,
// UpdateFilterRules, SortByRules and the by-name grouping. Nothing may crash or hang, a filter view
// shows only source items, and a sort only reorders.
#include "FuzzSupport.h"

#include <QDate>
#include <QJsonDocument>
#include <QScopedPointer>

#include <limits>

using namespace fuzz;

namespace {

const char* const kKeys[] = {"RoleName", "Rule", "Value", "Rules", "OrAllRules", "Ascending", "x"};
const char* const kStrings[] = {"nameRole", "idRole", "childModelRole", "jsonValueRole", "a", "", "10"};

// Decodes a value tree from bytes; `budget` bounds the number of nodes so one input stays small.
QVariant decodeValue(Reader& in, int depth, int& budget) {
    if (--budget < 0 || in.atEnd()) return QVariant();
    const int kind = in.below(depth > 300 ? 10 : 12);
    switch (kind) {
    case 0:
        return QVariant();
    case 1:
        return in.flag();
    case 2:
        return int(int8_t(in.byte()));
    case 3:
        return std::numeric_limits<qlonglong>::max() - in.byte();
    case 4:
        return std::numeric_limits<qulonglong>::max();
    case 5: {
        const double special[] = {
            1e308, -1e308, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
            -0.0,  2.5};
        return special[in.below(6)];
    }
    case 6:
        return QString::fromLatin1(kStrings[in.below(7)]);
    case 7: {
        // Arguments are read into locals first: their evaluation order is unspecified.
        const int size = 1 + in.below(3);
        return QByteArray(size, char(in.byte()));
    }
    case 8:
        return QStringList{QStringLiteral("a"), QString::fromLatin1(kStrings[in.below(7)])};
    case 9: {
        const int year = 2000 + in.below(30);
        return QDate(year, 1 + in.below(12), 1);
    }
    case 10: {
        QVariantList list;
        for (int n = in.below(5); n > 0 && budget > 0; --n)
            list << decodeValue(in, depth + 1, budget);
        return list;
    }
    default: {
        QVariantMap map;
        for (int n = in.below(5); n > 0 && budget > 0; --n) {
            const QString key = QString::fromLatin1(kKeys[in.below(7)]);
            map.insert(key, decodeValue(in, depth + 1, budget));
        }
        return map;
    }
    }
}

// Deep nesting in one step: a rule list whose "Rules" or "Value" holds a chain `depth` levels deep.
QVariant deepChain(int depth) {
    QVariant value = QStringLiteral("a");
    for (int i = 0; i < depth; ++i)
        value =
            (i % 2) ? QVariant(QVariantList{value}) : QVariant(QVariantMap{{QStringLiteral("Rules"), value}});
    return value;
}

QVariantList ruleList(Reader& in) {
    switch (in.below(3)) {
    case 0: {
        const QJsonDocument doc = QJsonDocument::fromJson(in.rest());
        const QVariant value = doc.toVariant();
        return value.type() == QVariant::List ? value.toList() : QVariantList{value};
    }
    case 1: {
        const int depth = 1 + in.byte() * 8;
        return {QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                            {QStringLiteral("Rules"), deepChain(depth)},
                            {QStringLiteral("Value"), deepChain(depth)}},
                deepChain(depth)};
    }
    default: {
        int budget = 4000;
        const QVariant value = decodeValue(in, 0, budget);
        return value.type() == QVariant::List ? value.toList() : QVariantList{value};
    }
    }
}

ZEPHTreeModel* makeSource() {
    auto* model = new ZEPHTreeModel(nullptr, {}, 0);
    const char* const names[] = {"a", "b", "ab", "", "10", "5"};
    for (int i = 0; i < 6; ++i) {
        ZEPHTreeModel* child = nullptr;
        if (i % 2 == 0) {
            child = new ZEPHTreeModel(nullptr, {}, 0);
            child->AppendItem(
                new ZEPHTreeItem(QStringLiteral("c%1").arg(i), QString::fromLatin1(names[5 - i]), nullptr));
        }
        model->AppendItem(
            new ZEPHTreeItem(QStringLiteral("i%1").arg(i), QString::fromLatin1(names[i]), child));
    }
    return model;
}

void run(Reader& in) {
    const bool orAll = in.flag();
    const int newItemPos = int(int8_t(in.byte()));
    const int sortFlag = int(int8_t(in.byte()));
    const QVariantList rules = ruleList(in);
    QScopedPointer<ZEPHTreeModel> source(makeSource());
    const QSet<const QObject*> all = itemSet(source.data());

    QScopedPointer<ZEPHTreeModel> filter(
        qobject_cast<ZEPHTreeModel*>(source->GetFilterModel(rules, orAll, newItemPos)));
    FUZZ_CHECK(filter, QString());
    checkModel(filter.data(), true);
    FUZZ_CHECK(itemSet(filter.data()).subtract(all).isEmpty(), QString());
    // Child views read through the data role hand out filtered child models.
    for (int row = 0; row < filter->rowCount(); ++row) {
        QObject* child = filter->FindItemValue(row, int(ZEPHTreeItem::ChildModelRole)).value<QObject*>();
        delete child;
    }
    filter->UpdateFilterRules(QVariantList{rules.value(0)}, !orAll);
    filter->UpdateFilterRules(rules, orAll);
    FUZZ_CHECK(itemSet(filter.data()).subtract(all).isEmpty(), QString());
    FUZZ_CHECK(filter->UpdateUserDefinedFilterRules(QVariant(rules)), QString());

    source->SortByRules(rules, sortFlag);
    FUZZ_CHECK(itemSet(source.data()) == all, QString());
    checkModel(source.data(), true);
    filter->SortByRules(rules, sortFlag);
    checkModel(filter.data(), true);
    // New rows while a kept sort is in force re-run the stored rules.
    source->AppendItem(new ZEPHTreeItem(QStringLiteral("late"), QStringLiteral("z"), nullptr));
    checkModel(source.data(), true);
    // A view made with a newItemPos other than POS_TAIL or POS_HEAD takes in no later items, by
    // design; it still shows only source items.
    if (newItemPos == 0 || newItemPos == 1)
        checkFilterView(source.data(), filter.data(), rules, orAll);
    else
        FUZZ_CHECK(itemSet(filter.data()).subtract(itemSet(source.data())).isEmpty(), QString());

    const QString roleName = rules.value(0).toMap().value(QStringLiteral("RoleName")).toString();
    QScopedPointer<QObject> group(source->GetGroupModel(roleName, in.flag()));
    FUZZ_CHECK(group, QString());
}

} // namespace

FUZZ_TARGET(run)

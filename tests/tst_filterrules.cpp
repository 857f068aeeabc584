// The pass decision of filter views: single rules, rule groups, the combination flag, string lists,
// the descendant rule, the user predicate and malformed rules, always seen through a view made by
// the model's factories.
#include "TreeBuilder.h"
#include "VariantOrder.h"

#include <ZEPHTreeItem.h>
#include <ZEPHTreeModel.h>

#include <QDate>
#include <QRandomGenerator>
#include <QtTest>

#include <functional>
#include <memory>
#include <stdexcept>

namespace {

const QString kSeparator = QStringLiteral("{F185B90B-D31F-48AF-ABC6-4C516C125083}");

// An item that answers two further role names, "valueRole" and "otherRole", with any value.
class ValueItem : public ZEPHTreeItem {
public:
    ValueItem(const QString& id, const QString& name, const QVariant& value,
              const QVariant& other = QVariant(), QObject* childModel = nullptr)
        : ZEPHTreeItem(id, name, childModel), m_value(value), m_other(other) {}
    using ZEPHTreeItem::getData;
    QVariant getData(const QString& roleName) const override {
        if (roleName == QLatin1String("valueRole")) return m_value;
        if (roleName == QLatin1String("otherRole")) return m_other;
        return ZEPHTreeItem::getData(roleName);
    }

private:
    QVariant m_value;
    QVariant m_other;
};

QVariantMap rule(const QString& roleName, int code, const QVariant& value) {
    return QVariantMap{{QStringLiteral("RoleName"), roleName},
                       {QStringLiteral("Rule"), code},
                       {QStringLiteral("Value"), value}};
}

QVariantMap nameRule(int code, const QVariant& value) {
    return rule(QStringLiteral("nameRole"), code, value);
}

QVariantMap group(const QString& roleName, bool orAll, const QVariantList& subRules) {
    return QVariantMap{{QStringLiteral("RoleName"), roleName},
                       {QStringLiteral("OrAllRules"), orAll},
                       {QStringLiteral("Rules"), subRules}};
}

QVariantMap sub(int code, const QVariant& value) {
    return QVariantMap{{QStringLiteral("Rule"), code}, {QStringLiteral("Value"), value}};
}

// The IDs of the rows of a fresh filter view over `source`.
QString passing(ZEPHTreeModel* source, const QVariantList& rules, bool orAll = true) {
    std::unique_ptr<QObject> view(source->GetFilterModel(rules, orAll, 0));
    return tree::ids(view.get());
}

// Whether one item with value `value` for "valueRole" passes `rules`.
bool valuePasses(const QVariant& value, const QVariantList& rules) {
    ZEPHTreeModel source(nullptr, {});
    source.AppendItem(new ValueItem(QStringLiteral("v"), QStringLiteral("v"), value));
    return passing(&source, rules) == QLatin1String("v");
}

// A straightforward reading of the rule format, entry by entry and value by value, with no
// conversion done in advance: the compiled rules must decide exactly like it.
namespace reference {

QString text(const QVariant& v) {
    if (v.type() == QVariant::StringList) return v.toStringList().join(kSeparator);
    return v.toString();
}

bool decide(int code, const QVariant& item, const QVariant& value) {
    // Values of a type without an order are neither less nor greater than anything.
    const int order = variantOrder(item, value);
    switch (code) {
    case 0:
        return order != -1 && order != 1;
    case 1:
        return order == -1 || order == 1;
    case 2:
        return order != -1;
    case 3:
        return order == 1;
    case 4:
        return order != 1;
    case 5:
        return order == -1;
    case 6:
        return text(item).indexOf(text(value), 0, Qt::CaseSensitive) >= 0;
    case 7:
        return text(item).toLower().indexOf(text(value).toLower(), 0, Qt::CaseSensitive) >= 0;
    default:
        return false;
    }
}

bool single(const QVariantMap& map, const ZEPHTreeItem* item) {
    const QString roleName = map.value(QStringLiteral("RoleName")).toString();
    return decide(map.value(QStringLiteral("Rule")).toInt(), item->getData(roleName),
                  map.value(QStringLiteral("Value")));
}

bool ruleGroup(const QVariantMap& map, const ZEPHTreeItem* item) {
    const QString roleName = map.value(QStringLiteral("RoleName")).toString();
    const QVariantList subRules = map.value(QStringLiteral("Rules")).toList();
    const bool orAll = map.value(QStringLiteral("OrAllRules")).toBool();
    if (subRules.isEmpty()) return false;
    bool r = false;
    for (const QVariant& subRule : subRules) {
        const QVariantMap s = subRule.toMap();
        r = decide(s.value(QStringLiteral("Rule")).toInt(), item->getData(roleName),
                   s.value(QStringLiteral("Value")));
        if (orAll && r) return true;
        if (!orAll && !r) return false;
    }
    return r;
}

bool itemTest(const QVariantList& rules, bool orAll, const ZEPHTreeItem* item) {
    if (rules.isEmpty()) return true;
    bool r = false;
    for (const QVariant& entry : rules) {
        const QVariantMap map = entry.toMap();
        r = map.contains(QStringLiteral("Rule")) ? single(map, item) : ruleGroup(map, item);
        if (r == orAll) break;
    }
    if (r) return true;
    auto* child = qobject_cast<ZEPHTreeModel*>(item->ChildModel());
    if (!child) return false;
    for (int row = 0; row < child->rowCount(); ++row) {
        auto* descendant = qobject_cast<ZEPHTreeItem*>(child->FindItem(row));
        if (descendant && itemTest(rules, orAll, descendant)) return true;
    }
    return false;
}

} // namespace reference

// Values of every kind an item or a rule may carry, including the awkward ones.
QVariant randomValue(QRandomGenerator& rng) {
    static const QStringList words{QString(), "a", "A", "ab", "bA", "10", "5", "b" + kSeparator + "c"};
    const auto word = [&] { return words.at(int(rng.bounded(words.size()))); };
    const std::function<QVariant()> makers[] = {[] { return QVariant(); },
                                                word,
                                                word,
                                                [&] { return int(rng.bounded(7)) - 3; },
                                                [&] { return double(int(rng.bounded(9)) - 4) / 2; },
                                                [&] { return rng.bounded(2) == 1; },
                                                [&] {
                                                    QStringList list;
                                                    for (int i = int(rng.bounded(4)); i > 0; --i)
                                                        list << word();
                                                    return list;
                                                },
                                                [&] { return word().toUtf8(); },
                                                [&] { return QDate(2020, 1, 1 + int(rng.bounded(3))); },
                                                [&] { return qlonglong(rng.bounded(5)) - 2; },
                                                [&] { return QChar(QLatin1Char("aAb5"[rng.bounded(4)])); },
                                                [&] { return uint(rng.bounded(4)); },
                                                [] {
                                                    return QVariantMap{{QStringLiteral("k"), 1}};
                                                }};
    return makers[rng.bounded(13)]();
}

QVariantList randomRules(QRandomGenerator& rng) {
    static const QStringList roleNames{QStringLiteral("nameRole"),    QStringLiteral("idRole"),
                                       QStringLiteral("valueRole"),   QStringLiteral("otherRole"),
                                       QStringLiteral("missingRole"), QStringLiteral("childModelRole")};
    const auto roleName = [&] { return roleNames.at(int(rng.bounded(roleNames.size()))); };
    const auto comparison = [&] {
        QVariantMap map;
        map.insert(QStringLiteral("Rule"), int(rng.bounded(10)) - 1);
        if (rng.bounded(8) != 0) map.insert(QStringLiteral("Value"), randomValue(rng));
        return map;
    };
    QVariantList rules;
    for (int i = int(rng.bounded(4)); i > 0; --i) {
        const quint32 kind = rng.bounded(10);
        if (kind < 6) {
            QVariantMap single = comparison();
            single.insert(QStringLiteral("RoleName"), roleName());
            rules << single;
        } else if (kind < 9) {
            QVariantList subRules;
            for (int j = int(rng.bounded(4)); j > 0; --j)
                subRules << comparison();
            rules << group(roleName(), rng.bounded(2) == 1, subRules);
        } else {
            rules << QVariant(int(rng.bounded(3)));
        }
    }
    return rules;
}

} // namespace

class tst_FilterRules : public QObject {
    Q_OBJECT
private slots:
    void shouldDecideOneValue_data();
    void shouldDecideOneValue();
    void shouldPassByTheRuleList_data();
    void shouldPassByTheRuleList();
    void shouldSeeChildViewsWithTheirOwnRows();
    void shouldEndACycleOfChildModels();
    void shouldTreatAChildObjectThatIsNoModelAsEmpty();
    void shouldLetTheUserPredicateDecideAlone();
    void shouldRejectItemsWhenThePredicateThrows();
    void shouldPassEveryItemWithoutPredicateOrRules();
    void shouldDecideLikeTheRuleListItself();
};

// One item whose "valueRole" holds `itemValue`, one rule on that role.
void tst_FilterRules::shouldDecideOneValue_data() {
    QTest::addColumn<QVariant>("itemValue");
    QTest::addColumn<QVariantMap>("rule");
    QTest::addColumn<bool>("expected");
    const auto on = [](int code, const QVariant& value) {
        return rule(QStringLiteral("valueRole"), code, value);
    };
    const int Eq = ZEPHTreeModel::Eq, Ne = ZEPHTreeModel::Ne, Ge = ZEPHTreeModel::Ge, Gt = ZEPHTreeModel::Gt,
              Le = ZEPHTreeModel::Le, Lt = ZEPHTreeModel::Lt, SubStr = ZEPHTreeModel::SubStr,
              InsensitiveSubStr = ZEPHTreeModel::InsensitiveSubStr;
    const QString s10 = QStringLiteral("10"), s9 = QStringLiteral("9"), s25 = QStringLiteral("2.5");
    const QDateTime dateTime(QDate(2021, 5, 5), QTime(1, 2));
    const QVariant list(QStringList{QStringLiteral("ab"), QStringLiteral("cd")});
    const QString bc = QStringLiteral("b") + kSeparator + QStringLiteral("c");
    const QString upperBc = QStringLiteral("B") + kSeparator + QStringLiteral("C");
    const QVariantMap missingValue{{QStringLiteral("RoleName"), QStringLiteral("valueRole")},
                                   {QStringLiteral("Rule"), SubStr}};
    // clang-format off
    // The item value's type chooses the comparison; the rule value is converted to it.
    QTest::newRow("string '10' > int 5 compares as text") << QVariant(s10) << on(Gt, 5) << false;
    QTest::newRow("int 10 > int 5") << QVariant(10) << on(Gt, 5) << true;
    QTest::newRow("int 10 < string '9' compares as numbers") << QVariant(10) << on(Lt, s9) << false;
    QTest::newRow("double 2.5 >= string '2.5'") << QVariant(2.5) << on(Ge, s25) << true;
    QTest::newRow("double 2.5 > int 2") << QVariant(2.5) << on(Gt, 2) << true;
    QTest::newRow("bool true > false") << QVariant(true) << on(Gt, false) << true;
    QTest::newRow("bool false == string 'false'") << QVariant(false) << on(Eq, QStringLiteral("false")) << true;
    QTest::newRow("uint 3 < 4") << QVariant(3u) << on(Lt, 4) << true;
    QTest::newRow("longlong 2^40 > int 7") << QVariant(qlonglong(1) << 40) << on(Gt, 7) << true;
    QTest::newRow("ulonglong 5 <= 5") << QVariant(qulonglong(5)) << on(Le, 5) << true;
    QTest::newRow("char b > char a") << QVariant(QChar(QLatin1Char('b'))) << on(Gt, QChar(QLatin1Char('a'))) << true;
    QTest::newRow("bytes abc < abd") << QVariant(QByteArray("abc")) << on(Lt, QByteArray("abd")) << true;
    QTest::newRow("bytes abc > ab") << QVariant(QByteArray("abc")) << on(Gt, QByteArray("ab")) << true;
    QTest::newRow("date > date") << QVariant(QDate(2020, 1, 2)) << on(Gt, QDate(2020, 1, 1)) << true;
    QTest::newRow("date < ISO text") << QVariant(QDate(2020, 1, 2)) << on(Lt, QStringLiteral("2020-01-03")) << true;
    QTest::newRow("time != time") << QVariant(QTime(10, 0)) << on(Ne, QTime(11, 0)) << true;
    QTest::newRow("datetime >= itself") << QVariant(dateTime) << on(Ge, dateTime) << true;
    // Values without an order are neither less nor greater than anything.
    QTest::newRow("invalid Eq") << QVariant() << on(Eq, 1) << true;
    QTest::newRow("invalid Ge") << QVariant() << on(Ge, 1) << true;
    QTest::newRow("invalid Le") << QVariant() << on(Le, 1) << true;
    QTest::newRow("invalid Ne") << QVariant() << on(Ne, 1) << false;
    QTest::newRow("invalid Gt") << QVariant() << on(Gt, 1) << false;
    QTest::newRow("invalid Lt") << QVariant() << on(Lt, 1) << false;
    QTest::newRow("map Eq anything") << QVariant(QVariantMap{{QStringLiteral("k"), 1}}) << on(Eq, QStringLiteral("x")) << true;
    QTest::newRow("list Ne anything") << QVariant(QVariantList{1, 2}) << on(Ne, 1) << false;
    QTest::newRow("float has no order") << QVariant(1.5f) << on(Gt, 0) << false;
    QTest::newRow("NaN is neither less nor greater") << QVariant(qQNaN()) << on(Eq, 1.0) << true;
    // Substrings.
    QTest::newRow("missing value, text") << QVariant(QStringLiteral("xy")) << missingValue << true;
    QTest::newRow("missing value, invalid item value") << QVariant() << missingValue << true;
    QTest::newRow("empty value, empty text") << QVariant(QString()) << on(SubStr, QString()) << true;
    QTest::newRow("insensitive AB in xaby") << QVariant(QStringLiteral("xaby")) << on(InsensitiveSubStr, QStringLiteral("AB")) << true;
    QTest::newRow("sensitive AB not in xaby") << QVariant(QStringLiteral("xaby")) << on(SubStr, QStringLiteral("AB")) << false;
    QTest::newRow("number as text") << QVariant(123) << on(SubStr, 2) << true;
    QTest::newRow("not found") << QVariant(QStringLiteral("abc")) << on(SubStr, QStringLiteral("d")) << false;
    // String lists are searched as their elements joined by the separator.
    QTest::newRow("list: b") << list << on(SubStr, QStringLiteral("b")) << true;
    QTest::newRow("list: cd") << list << on(SubStr, QStringLiteral("cd")) << true;
    QTest::newRow("list: bc spans two elements") << list << on(SubStr, QStringLiteral("bc")) << false;
    QTest::newRow("list: b, separator, c") << list << on(SubStr, bc) << true;
    QTest::newRow("list: a run of elements") << list << on(SubStr, list) << true;
    QTest::newRow("list: elements out of order") << list << on(SubStr, QStringList{QStringLiteral("cd"), QStringLiteral("ab")}) << false;
    QTest::newRow("list: insensitive across the separator") << list << on(InsensitiveSubStr, upperBc) << true;
    QTest::newRow("list: Eq has no order") << list << on(Eq, QStringLiteral("zz")) << true;
    QTest::newRow("list: Ne has no order") << list << on(Ne, QStringLiteral("zz")) << false;
    // clang-format on
}

void tst_FilterRules::shouldDecideOneValue() {
    QFETCH(QVariant, itemValue);
    QFETCH(QVariantMap, rule);
    QFETCH(bool, expected);
    QCOMPARE(valuePasses(itemValue, {rule}), expected);
}

// Rule lists over small trees: codes, the combination flag, groups, malformed entries and the
// descendant rule.
void tst_FilterRules::shouldPassByTheRuleList_data() {
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QVariantList>("rules");
    QTest::addColumn<bool>("orAll");
    QTest::addColumn<QString>("expected");
    const QString name = QStringLiteral("nameRole");
    const auto names = [](int code, const char* value) {
        return QVariantList{nameRule(code, QString::fromLatin1(value))};
    };
    const int Eq = ZEPHTreeModel::Eq, Ne = ZEPHTreeModel::Ne, SubStr = ZEPHTreeModel::SubStr;
    const QVariantMap hasA = nameRule(SubStr, QStringLiteral("a"));
    const QVariantList both{hasA, nameRule(SubStr, QStringLiteral("b"))};
    const QVariantList aAndB{sub(SubStr, QStringLiteral("a")), sub(SubStr, QStringLiteral("b"))};
    QVariantMap noFlag = group(name, true, aAndB);
    noFlag.remove(QStringLiteral("OrAllRules"));
    // A sub-rule's own role name is ignored: the group's role name applies to all. (Rows show IDs.)
    QVariantMap foreignRole = sub(Eq, QStringLiteral("ab"));
    foreignRole.insert(QStringLiteral("RoleName"), QStringLiteral("idRole"));
    const QVariantMap noCode{{QStringLiteral("Value"), QStringLiteral("b")}};
    QVariantMap invalidCode = nameRule(Eq, QStringLiteral("b")), textCode = nameRule(Eq, QStringLiteral("a"));
    invalidCode.insert(QStringLiteral("Rule"), QVariant());
    textCode.insert(QStringLiteral("Rule"), QStringLiteral("3"));
    QVariantMap forgottenCode = textCode;
    forgottenCode.remove(QStringLiteral("Rule"));
    // clang-format off
    QTest::newRow("Eq") << "a b c" << names(Eq, "b") << true << "b";
    QTest::newRow("Ne") << "a b c" << names(Ne, "b") << true << "a c";
    QTest::newRow("Ge") << "a b c" << names(ZEPHTreeModel::Ge, "b") << true << "b c";
    QTest::newRow("Gt") << "a b c" << names(ZEPHTreeModel::Gt, "b") << true << "c";
    QTest::newRow("Le") << "a b c" << names(ZEPHTreeModel::Le, "b") << true << "a b";
    QTest::newRow("Lt") << "a b c" << names(ZEPHTreeModel::Lt, "b") << true << "a";
    QTest::newRow("SubStr") << "a b c" << names(SubStr, "b") << true << "b";
    QTest::newRow("SubStr is case-sensitive") << "a b c" << names(SubStr, "B") << true << "";
    QTest::newRow("InsensitiveSubStr") << "a b c" << names(ZEPHTreeModel::InsensitiveSubStr, "B") << true << "b";
    QTest::newRow("code 8 never holds") << "a b c" << names(8, "b") << true << "";
    QTest::newRow("code -1 never holds") << "a b c" << names(-1, "b") << true << "";
    QTest::newRow("any entry") << "a b ab c" << both << true << "a b ab";
    QTest::newRow("every entry") << "a b ab c" << both << false << "ab";
    QTest::newRow("empty list, any") << "a b ab c" << QVariantList() << true << "a b ab c";
    QTest::newRow("empty list, every") << "a b ab c" << QVariantList() << false << "a b ab c";
    QTest::newRow("group, all sub-rules") << "1:a 2:b 3:ab c" << QVariantList{group(name, false, aAndB)} << true << "3";
    QTest::newRow("group, any sub-rule") << "1:a 2:b 3:ab c" << QVariantList{group(name, true, aAndB)} << true << "1 2 3";
    QTest::newRow("group flag missing is all") << "1:a 2:b 3:ab c" << QVariantList{noFlag} << true << "3";
    QTest::newRow("group without sub-rules never holds") << "1:a 2:b 3:ab c" << QVariantList{group(name, true, {})} << true << "";
    QTest::newRow("sub-rule role name ignored") << "1:a 2:b 3:ab c" << QVariantList{group(name, true, {foreignRole})} << true << "3";
    QTest::newRow("sub-rule without code is Eq") << "1:a 2:b 3:ab c" << QVariantList{group(name, true, {noCode})} << true << "2";
    QTest::newRow("group beside a single rule, every entry") << "1:a 2:b 3:ab c" << QVariantList{group(name, true, aAndB), nameRule(Ne, QStringLiteral("ab"))} << false << "1 2";
    QTest::newRow("invalid code is Eq") << "a ab b" << QVariantList{invalidCode} << true << "b";
    QTest::newRow("code as text") << "a ab b" << QVariantList{textCode} << true << "ab b";
    QTest::newRow("forgotten code makes an empty group") << "a ab b" << QVariantList{forgottenCode} << true << "";
    QTest::newRow("number entry, every entry") << "a ab b" << QVariantList{QVariant(5), hasA} << false << "";
    QTest::newRow("text entry, every entry") << "a ab b" << QVariantList{hasA, QVariant(QStringLiteral("x"))} << false << "";
    QTest::newRow("number entry, any entry") << "a ab b" << QVariantList{QVariant(5), hasA} << true << "a ab";
    QTest::newRow("unknown role name reads invalid") << "a ab b" << QVariantList{rule(QStringLiteral("noRole"), ZEPHTreeModel::Le, 1)} << true << "a ab b";
    QTest::newRow("itself or below") << "a b[c] d[e[a]] f[g]" << names(Eq, "a") << true << "a d";
    QTest::newRow("deep below") << "x[y[z[a]]] b" << names(Eq, "a") << true << "x";
    // Below, the same entries must hold together for one descendant.
    QTest::newRow("every entry on one descendant") << "p[a b] q[ab]" << both << false << "q";
    QTest::newRow("malformed entry below too") << "p[a]" << QVariantList{QVariant(1)} << false << "";
    // clang-format on
}

void tst_FilterRules::shouldPassByTheRuleList() {
    QFETCH(QString, tree);
    QFETCH(QVariantList, rules);
    QFETCH(bool, orAll);
    QFETCH(QString, expected);
    std::unique_ptr<ZEPHTreeModel> source(tree::make(tree));
    QCOMPARE(passing(source.get(), rules, orAll), expected);
}

// A child model that is itself a filter view answers with its own rows: what it hides does not
// keep the parent.
void tst_FilterRules::shouldSeeChildViewsWithTheirOwnRows() {
    std::unique_ptr<ZEPHTreeModel> inner(tree::make(QStringLiteral("a b")));
    std::unique_ptr<QObject> innerView(
        inner->GetFilterModel({nameRule(ZEPHTreeModel::Eq, QStringLiteral("b"))}, true, 0));
    ZEPHTreeModel source(nullptr, {}, 2);
    auto* parent = new ZEPHTreeItem(QStringLiteral("p"), QStringLiteral("p"), innerView.get());
    source.AppendItem(parent);
    QCOMPARE(passing(&source, {nameRule(ZEPHTreeModel::Eq, QStringLiteral("a"))}), QString());
    QCOMPARE(passing(&source, {nameRule(ZEPHTreeModel::Eq, QStringLiteral("b"))}), QStringLiteral("p"));
    source.RemoveAll();
    delete parent;
}

void tst_FilterRules::shouldEndACycleOfChildModels() {
    // x's child model holds y, and y's child model holds x again.
    ZEPHTreeModel first(nullptr, {}, 2);
    ZEPHTreeModel second(nullptr, {}, 2);
    auto* x = new ZEPHTreeItem(QStringLiteral("x"), QStringLiteral("x"), &second);
    auto* y = new ZEPHTreeItem(QStringLiteral("y"), QStringLiteral("y"), &first);
    first.AppendItem(x);
    second.AppendItem(y);
    QCOMPARE(passing(&first, {nameRule(ZEPHTreeModel::Eq, QStringLiteral("z"))}), QString());
    QCOMPARE(passing(&first, {nameRule(ZEPHTreeModel::Eq, QStringLiteral("y"))}), QStringLiteral("x"));
    x->SetChildModel(nullptr);
    y->SetChildModel(nullptr);
    first.RemoveAll();
    second.RemoveAll();
    delete x;
    delete y;
}

void tst_FilterRules::shouldTreatAChildObjectThatIsNoModelAsEmpty() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("p q")));
    QObject notAModel;
    qobject_cast<ZEPHTreeItem*>(source->FindItem(0))->SetChildModel(&notAModel);
    QCOMPARE(passing(source.get(), {nameRule(ZEPHTreeModel::Eq, QStringLiteral("q"))}), QStringLiteral("q"));
    qobject_cast<ZEPHTreeItem*>(source->FindItem(0))->SetChildModel(nullptr);
}

void tst_FilterRules::shouldLetTheUserPredicateDecideAlone() {
    QList<const QObject*> seenItems;
    QVariantList seenRules;
    PF_USER_FILTER predicate = [&](const QObject* item, const QVariant& rules) {
        seenItems << item;
        seenRules << rules;
        return qobject_cast<const ZEPHTreeItem*>(item)->Name().startsWith(rules.toString());
    };
    ZEPHTreeModel source(nullptr, {}, 0, {}, predicate);
    // With a predicate the descendant rule is not consulted: "p" stays out although "ax" is below.
    tree::fill(&source, QStringLiteral("ab p[ax] ba ac"));
    std::unique_ptr<QObject> view(source.GetFilterModelByUserDefinedRules(QStringLiteral("a"), 0));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("ab ac"));
    QCOMPARE(seenItems.size(), 4);
    for (int row = 0; row < 4; ++row)
        QCOMPARE(seenItems.at(row), source.FindItem(row));
    QCOMPARE(seenRules.first(), QVariant(QStringLiteral("a")));
}

void tst_FilterRules::shouldRejectItemsWhenThePredicateThrows() {
    PF_USER_FILTER predicate = [](const QObject* item, const QVariant&) {
        if (qobject_cast<const ZEPHTreeItem*>(item)->Name() == QLatin1String("bad"))
            throw std::runtime_error("no");
        return true;
    };
    ZEPHTreeModel source(nullptr, {}, 0, {}, predicate);
    tree::fill(&source, QStringLiteral("a bad c"));
    std::unique_ptr<QObject> view(source.GetFilterModelByUserDefinedRules(QVariant(), 0));
    QCOMPARE(tree::ids(view.get()), QStringLiteral("a c"));
}

void tst_FilterRules::shouldPassEveryItemWithoutPredicateOrRules() {
    std::unique_ptr<ZEPHTreeModel> source(tree::make(QStringLiteral("a b[c] d")));
    std::unique_ptr<QObject> byUserRules(source->GetFilterModelByUserDefinedRules(QStringLiteral("x"), 0));
    QCOMPARE(tree::ids(byUserRules.get()), QStringLiteral("a b d"));
    QCOMPARE(passing(source.get(), {}), QStringLiteral("a b d"));
}

// Random rule lists over random typed values and small trees: the view holds exactly the items
// that the reference reading of the raw rule list lets pass.
void tst_FilterRules::shouldDecideLikeTheRuleListItself() {
    QRandomGenerator rng(20240601);
    // Plain items and items that answer further roles, some with child models.
    const auto makeItem = [&rng](const QString& id, QObject* child) -> ZEPHTreeItem* {
        const QString name = randomValue(rng).toString();
        if (rng.bounded(2) == 0) return new ZEPHTreeItem(id, name, child);
        return new ValueItem(id, name, randomValue(rng), randomValue(rng), child);
    };
    ZEPHTreeModel source(nullptr, {});
    for (int i = 0; i < 80; ++i) {
        ZEPHTreeModel* child = nullptr;
        if (rng.bounded(3) == 0) {
            child = new ZEPHTreeModel(nullptr, {});
            for (int j = int(rng.bounded(4)); j > 0; --j)
                child->AppendItem(makeItem(QStringLiteral("c%1_%2").arg(i).arg(j), nullptr));
        }
        source.AppendItem(makeItem(QString::number(i), child));
    }
    for (int round = 0; round < 400; ++round) {
        const QVariantList rules = randomRules(rng);
        const bool orAll = rng.bounded(2) == 1;
        QStringList expected;
        for (int row = 0; row < source.rowCount(); ++row) {
            auto* item = qobject_cast<ZEPHTreeItem*>(source.FindItem(row));
            if (reference::itemTest(rules, orAll, item)) expected << item->ID();
        }
        const QString actual = passing(&source, rules, orAll);
        if (actual != expected.join(QLatin1Char(' '))) qWarning() << "rules" << rules << "orAll" << orAll;
        QCOMPARE(actual, expected.join(QLatin1Char(' ')));
    }
}

QTEST_MAIN(tst_FilterRules)
#include "tst_filterrules.moc"

#include "SignalLog.h"
#include "TreeBuilder.h"

#include <ZEPHTreeModel.h>

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QLibraryInfo>
#include <QMultiMap>
#include <QPointer>
#include <QProcess>
#include <QQmlEngine>
#include <QRandomGenerator>
#include <QResource>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>

// The model's friend: reads the keep-sorting state that the sorts store.
struct ZEPHTreeModelAccess {
    static int flag(const ZEPHTreeModel* model) { return model->keepSortingFlag(); }
    static QVariantList rules(const ZEPHTreeModel* model) { return model->keepSortingRules(); }
};

namespace {

const int ValueRole = 300;

// An item subclass that answers role 300 with any value, so that values of every type can be
// sorted. Its values are read through the virtual getData(), as for any subclass.
class ValueItem : public ZEPHTreeItem {
public:
    ValueItem(const QString& id, const QVariant& value) : ZEPHTreeItem(id, id, nullptr), value(value) {}
    QVariant getData(int role) const override {
        return role == ValueRole ? value : ZEPHTreeItem::getData(role);
    }
    using ZEPHTreeItem::getData;
    QVariant value;
};

QHash<int, QByteArray> valueRoles() {
    QHash<int, QByteArray> roles;
    ZEPHTreeItem::GetRolesHash(roles, ZEPHTreeItem::WithJsonValueRole);
    roles.insert(ValueRole, "valueRole");
    return roles;
}

QVariantMap rule(const QVariant& roleName, const QVariant& ascending = QVariant()) {
    QVariantMap map;
    map.insert(QStringLiteral("RoleName"), roleName);
    if (ascending.isValid()) map.insert(QStringLiteral("Ascending"), ascending);
    return map;
}

QVariantList nameRule(bool ascending) {
    return {rule(QStringLiteral("nameRole"), ascending)};
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QList<ZEPHTreeItem*> rowsOf(ZEPHTreeModel* model) {
    return *model->GetModelItemList();
}

QString idsOf(const QList<ZEPHTreeItem*>& items) {
    QStringList ids;
    for (const ZEPHTreeItem* item : items)
        ids << item->ID();
    return ids.join(QLatin1Char(' '));
}

// Destroys a model together with items that it does not own (shared items).
void destroyWithItems(ZEPHTreeModel* model) {
    const QList<ZEPHTreeItem*> items = rowsOf(model);
    delete model;
    qDeleteAll(items);
}

// The reference placement: a QMultiMap filled with keys whose less-than is the sort's comparison,
// as written down for the sorts, placed one by one in row order.
namespace reference {

using Less = std::function<bool(int placed, int incoming)>;

struct Key {
    int index;
    const Less* less;
    bool operator<(const Key& other) const { return (*less)(index, other.index); }
};

QVector<int> placement(int count, const Less& less) {
    QMultiMap<Key, int> map;
    for (int i = 0; i < count; ++i)
        map.insert(Key{i, &less}, i);
    QVector<int> order;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        order << it.value();
    return order;
}

// The built-in comparison of the role sort: by the type of the placed value.
bool typeLess(const QVariant& x, const QVariant& y, bool ascending) {
    bool r;
    switch (x.type()) {
    case QVariant::Bool:
        r = x.toBool() < y.toBool();
        break;
    case QVariant::Int:
        r = x.toInt() < y.toInt();
        break;
    case QVariant::UInt:
        r = x.toUInt() < y.toUInt();
        break;
    case QVariant::LongLong:
        r = x.toLongLong() < y.toLongLong();
        break;
    case QVariant::ULongLong:
        r = x.toULongLong() < y.toULongLong();
        break;
    case QVariant::Double:
        r = x.toDouble() < y.toDouble();
        break;
    case QVariant::Char:
        r = x.toChar() < y.toChar();
        break;
    case QVariant::String:
        r = x.toString() < y.toString();
        break;
    case QVariant::ByteArray:
        r = qstrcmp(x.toByteArray(), y.toByteArray()) < 0;
        break;
    case QVariant::Date:
        r = x.toDate() < y.toDate();
        break;
    case QVariant::Time:
        r = x.toTime() < y.toTime();
        break;
    case QVariant::DateTime:
        r = x.toDateTime() < y.toDateTime();
        break;
    default:
        return false;
    }
    return ascending ? r : !r;
}

// The role sort: values read once, invalid ones set aside, the rest placed with `less`.
QList<ZEPHTreeItem*> roleSort(const QList<ZEPHTreeItem*>& items, int role,
                              const std::function<bool(const QVariant&, const QVariant&)>& less) {
    QList<ZEPHTreeItem*> sortable, setAside;
    QVector<QVariant> values;
    for (ZEPHTreeItem* item : items) {
        const QVariant value = item->getData(role);
        if (value == QVariant()) {
            setAside << item;
        } else {
            sortable << item;
            values << value;
        }
    }
    QList<ZEPHTreeItem*> result;
    for (int i : placement(values.size(), [&](int p, int q) { return less(values.at(p), values.at(q)); }))
        result << sortable.at(i);
    return result + setAside;
}

QList<ZEPHTreeItem*> typeSort(const QList<ZEPHTreeItem*>& items, int role, bool ascending) {
    return roleSort(items, role,
                    [ascending](const QVariant& x, const QVariant& y) { return typeLess(x, y, ascending); });
}

// The rule sort: every comparison reads both items' values and asks Qt's QVariant ordering.
QList<ZEPHTreeItem*> ruleSort(const QList<ZEPHTreeItem*>& items, const QVector<QPair<int, bool>>& rules) {
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    auto less = [&](int p, int q) {
        for (const auto& r : rules) {
            const QVariant a = items.at(p)->getData(r.first);
            const QVariant b = items.at(q)->getData(r.first);
            if (a.isNull() || b.isNull()) continue;
            if (r.second) {
                if (a < b) return true;
                if (a > b) return false;
            } else {
                if (a > b) return true;
                if (a < b) return false;
            }
        }
        return false;
    };
    QT_WARNING_POP
    QList<ZEPHTreeItem*> result;
    for (int i : placement(items.size(), less))
        result << items.at(i);
    return result;
}

} // namespace reference

// Values of many types, with ties, case variants, NaN and invalid values.
QVariant randomValue(QRandomGenerator& rng, int kind) {
    static const char* const strings[] = {"a", "A", "b", "B", "ab", "aB", "", "\xc3\xa9", "\xc3\x89", "z"};
    switch (kind) {
    case 0:
        return QVariant(int(rng.bounded(5)) - 2);
    case 1: {
        static const double doubles[] = {0.5, 1.0, -0.0, 0.0, 2.5, 1e300};
        return QVariant(doubles[rng.bounded(6)]);
    }
    case 2:
        return QVariant(QString::fromUtf8(strings[rng.bounded(10)]));
    case 3:
        return QVariant(rng.bounded(2) == 1);
    case 4:
        return QVariant(QVariantMap{{QStringLiteral("k"), int(rng.bounded(3))}});
    case 5:
        return QVariant();
    case 6:
        return QVariant(QDate(2020, 1, 1 + int(rng.bounded(4))));
    case 7:
        return QVariant(QByteArray(strings[rng.bounded(10)]));
    case 8:
        return QVariant(qlonglong(rng.bounded(3)) * (std::numeric_limits<qlonglong>::max() / 2) - 1);
    case 9:
        return QVariant(qulonglong(rng.bounded(3)) * (std::numeric_limits<qulonglong>::max() / 2));
    case 10:
        return QVariant(uint(rng.bounded(4)) * 0x7fffffffu);
    case 11:
        return QVariant(QChar(ushort("aAbB\xe9"[rng.bounded(5)] & 0xff)));
    case 12:
        return QVariant(QTime(1 + int(rng.bounded(3)), 0));
    case 13:
        return QVariant(std::nan(""));
    case 14:
        return QVariant(QDateTime(QDate(2021, 3, 28), QTime(1 + int(rng.bounded(3)), 30)));
    default:
        return QVariant::fromValue<QObject*>(nullptr);
    }
}

const int ValueKinds = 16;

// Strings for names and IDs: ties, case variants, non-ASCII and null strings.
QString randomText(QRandomGenerator& rng, bool caseTwins, bool nulls) {
    static const char* const plain[] = {"a", "b", "ab", "abc", "b1", "z", "\xc3\xa9t\xc3\xa9", "10", "9"};
    static const char* const twins[] = {"A", "aB", "\xc3\x89T\xc3\x89", "Z"};
    if (nulls && rng.bounded(8) == 0) return QString();
    if (caseTwins && rng.bounded(4) == 0) return QString::fromUtf8(twins[rng.bounded(4)]);
    return QString::fromUtf8(plain[rng.bounded(9)]);
}

} // namespace

class TstSort : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void cleanup() { flushDeletes(); }

    // Role sort.
    void shouldSortByRole_data();
    void shouldSortByRole();
    void shouldResolveRoleNames_data();
    void shouldResolveRoleNames();
    void shouldSetAsideInvalidValues_data();
    void shouldSetAsideInvalidValues();
    void shouldLeaveAnEmptyModelAlone();
    void shouldKeepOneRuleWithTheRoleName_data();
    void shouldKeepOneRuleWithTheRoleName();
    void shouldResortByTheStoredRuleNotTheComparator();
    void shouldTurnKeepSortingOffWithAPlainRoleSort();
    void shouldKeepTheOrderWhenTheComparatorThrows();
    void shouldAbandonASortWhoseComparisonsChangedTheModel();
    void shouldMatchThePlacementForAnyValues();
    void shouldMatchThePlacementForAnyComparator();

    // Rule sort.
    void shouldSortByRules_data();
    void shouldSortByRules();
    void shouldStoreRulesAndSignalOnAnEmptyModel();
    void shouldSortChildModelsWithRecursiveKeepSorting();
    void shouldNotRecurseWithoutFlagTwoOrWithSharedItems_data();
    void shouldNotRecurseWithoutFlagTwoOrWithSharedItems();
    void shouldSkipChildObjectsThatAreNoModels();
    void shouldVisitEachModelOnceInACycle();
    void shouldResortAfterEachInsertion_data();
    void shouldResortAfterEachInsertion();
    void shouldMatchThePlacementForAnyRules();
    void shouldMatchAFullResortAfterEveryChange();

    // Compare functions in files.
    void shouldSortByAQmlFunction_data();
    void shouldSortByAQmlFunction();
    void shouldSortByAScriptFunction_data();
    void shouldSortByAScriptFunction();
    void shouldFallBackToTypesWhenTheQmlFileCannotBeUsed_data();
    void shouldFallBackToTypesWhenTheQmlFileCannotBeUsed();
    void shouldRefuseScriptFilesThatCannotBeOpened_data();
    void shouldRefuseScriptFilesThatCannotBeOpened();
    void shouldReadCompareFilesFromUrlsAndResources();
    void shouldDoNothingWithoutFileOrFunctionName_data();
    void shouldDoNothingWithoutFileOrFunctionName();
    void shouldSignalFileSortsOfAnEmptyModel();
    void shouldSetAsideInvalidValuesInFileSorts();
    void shouldKeepJavaScriptOwnedValuesAlive();
    void shouldKeepProxyIndexesAcrossFileSorts();

private:
    QString write(const QString& name, const QString& text);

    QTemporaryDir m_dir;
    int m_serial = 0;
};

// Every file gets a name of its own, so that no cache of the QML engine sees an older text.
QString TstSort::write(const QString& name, const QString& text) {
    const QString path = m_dir.filePath(QStringLiteral("%1-%2").arg(++m_serial).arg(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
    file.write(text.toUtf8());
    return path;
}

// Role sort ------------------------------------------------------------------------------------

void TstSort::shouldSortByRole_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QString>("expected");

    const int name = ZEPHTreeItem::NameRole;
    QTest::newRow("ascending reverses equal names") << "b1:b a:a b2:b" << name << true << "a b2 b1";
    QTest::newRow("descending keeps equal names") << "b1:b a:a b2:b" << name << false << "b1 b2 a";
    QTest::newRow("strings by UTF-16 code units") << "x:b y:B z:a w:A" << name << true << "w y z x";
    QTest::newRow("maps reverse ascending") << "a b c" << int(ZEPHTreeItem::JsonValueRole) << true << "c b a";
    QTest::newRow("maps reverse descending")
        << "a b c" << int(ZEPHTreeItem::JsonValueRole) << false << "c b a";
    QTest::newRow("objects reverse") << "a b[x] c" << int(ZEPHTreeItem::ChildModelRole) << true << "c b a";
    QTest::newRow("role 0 keeps the order") << "b a c" << 0 << true << "b a c";
    QTest::newRow("one item") << "a" << name << true << "a";
}

void TstSort::shouldSortByRole() {
    QFETCH(QString, rows);
    QFETCH(int, role);
    QFETCH(bool, ascending);
    QFETCH(QString, expected);

    std::unique_ptr<ZEPHTreeModel> model(tree::make(rows));
    QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    model->SortByRole(role, ascending);
    QCOMPARE(tree::ids(model.get()), expected);
    QCOMPARE(log.take(), QStringLiteral("data:0-%1").arg(model->rowCount() - 1));
}

void TstSort::shouldResolveRoleNames_data() {
    QTest::addColumn<QString>("roleName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("known name") << "nameRole"
                                << "a b c";
    QTest::newRow("unknown name keeps the order") << "colourRole"
                                                  << "b c a";
    QTest::newRow("names compare exactly") << "NameRole"
                                           << "b c a";
    QTest::newRow("a role that the table lacks") << "jsonValueRole"
                                                 << "b c a";
}

void TstSort::shouldResolveRoleNames() {
    QFETCH(QString, roleName);
    QFETCH(QString, expected);
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b c a"));
    SignalLog log(model.get());
    model->SortByRole(roleName, true);
    QCOMPARE(tree::ids(model.get()), expected);
    QCOMPARE(log.take(), QStringLiteral("data:0-2"));
}

void TstSort::shouldSetAsideInvalidValues_data() {
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascending") << true << "one two three x y";
    QTest::newRow("descending") << false << "three two one x y";
}

void TstSort::shouldSetAsideInvalidValues() {
    QFETCH(bool, ascending);
    QFETCH(QString, expected);
    ZEPHTreeModel model(nullptr, valueRoles());
    model.AppendItemsList(
        {new ValueItem(QStringLiteral("three"), 3), new ValueItem(QStringLiteral("x"), QVariant()),
         new ValueItem(QStringLiteral("one"), 1), new ValueItem(QStringLiteral("y"), QVariant()),
         new ValueItem(QStringLiteral("two"), 2)});
    model.SortByRole(ValueRole, ascending);
    QCOMPARE(tree::ids(&model), expected);
}

void TstSort::shouldLeaveAnEmptyModelAlone() {
    ZEPHTreeModel model(nullptr, {});
    model.SortByRules(nameRule(false), ZEPHTreeModel::KeepSorting);
    SignalLog log(&model, SignalLog::WithAboutTo);

    model.SortByRole(ZEPHTreeItem::NameRole, true);
    QCOMPARE(log.take(), QString());
    QCOMPARE(ZEPHTreeModelAccess::flag(&model), int(ZEPHTreeModel::KeepSorting));

    model.SortByRoleAndKeep(QStringLiteral("idRole"), true);
    QCOMPARE(log.take(), QString());
    QCOMPARE(ZEPHTreeModelAccess::flag(&model), int(ZEPHTreeModel::KeepSorting));
    const QVariantList rules = ZEPHTreeModelAccess::rules(&model);
    QCOMPARE(rules.size(), 1);
    QCOMPARE(rules.first().toMap().value(QStringLiteral("RoleName")), QVariant(QByteArray("idRole")));
    QCOMPARE(rules.first().toMap().value(QStringLiteral("Ascending")), QVariant(true));

    tree::fill(&model, "c a b");
    QCOMPARE(tree::ids(&model), QStringLiteral("a b c"));
}

void TstSort::shouldKeepOneRuleWithTheRoleName_data() {
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("name descending") << int(ZEPHTreeItem::NameRole) << false << QByteArray("nameRole");
    QTest::newRow("role outside the table") << 999 << true << QByteArray("");
}

void TstSort::shouldKeepOneRuleWithTheRoleName() {
    QFETCH(int, role);
    QFETCH(bool, ascending);
    QFETCH(QByteArray, name);
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b a"));
    model->SortByRoleAndKeep(role, ascending);
    QCOMPARE(ZEPHTreeModelAccess::flag(model.get()), int(ZEPHTreeModel::KeepSorting));
    const QVariantList rules = ZEPHTreeModelAccess::rules(model.get());
    QCOMPARE(rules.size(), 1);
    const QVariantMap stored = rules.first().toMap();
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored.value(QStringLiteral("RoleName")).userType(), int(QMetaType::QByteArray));
    QCOMPARE(stored.value(QStringLiteral("RoleName")).toByteArray(), name);
    QCOMPARE(stored.value(QStringLiteral("Ascending")), QVariant(ascending));
}

void TstSort::shouldResortByTheStoredRuleNotTheComparator() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make("a c b"));
    model->SortByRoleAndKeep(ZEPHTreeItem::NameRole, true, [](const QVariant& x, const QVariant& y) {
        return x.toString() > y.toString();
    });
    QCOMPARE(tree::ids(model.get()), QStringLiteral("c b a"));
    SignalLog log(model.get());
    model->AppendItem(new ZEPHTreeItem(QStringLiteral("D"), QStringLiteral("D"), nullptr));
    // QVariant orders strings without regard to case: D after c.
    QCOMPARE(tree::ids(model.get()), QStringLiteral("a b c D"));
    QCOMPARE(log.take(), QStringLiteral("ins:3-3 data:0-3 count"));
}

void TstSort::shouldTurnKeepSortingOffWithAPlainRoleSort() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b a"));
    model->SortByRoleAndKeep(ZEPHTreeItem::NameRole, true);
    const QVariantList kept = ZEPHTreeModelAccess::rules(model.get());
    model->SortByRole(ZEPHTreeItem::NameRole, false);
    QCOMPARE(ZEPHTreeModelAccess::flag(model.get()), int(ZEPHTreeModel::None));
    QCOMPARE(ZEPHTreeModelAccess::rules(model.get()), kept);
    SignalLog log(model.get());
    tree::fill(model.get(), "c");
    QCOMPARE(tree::ids(model.get()), QStringLiteral("b a c"));
    QCOMPARE(log.take(), QStringLiteral("ins:2-2 count"));
}

void TstSort::shouldKeepTheOrderWhenTheComparatorThrows() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b a c"));
    SignalLog log(model.get());
    int calls = 0;
    model->SortByRole(ZEPHTreeItem::NameRole, true, [&calls](const QVariant&, const QVariant&) -> bool {
        if (++calls == 2) throw std::runtime_error("comparator failed");
        return false;
    });
    QCOMPARE(calls, 2);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("b a c"));
    QCOMPARE(log.take(), QStringLiteral("data:0-2"));
    QCOMPARE(ZEPHTreeModelAccess::flag(model.get()), int(ZEPHTreeModel::None));
}

void TstSort::shouldAbandonASortWhoseComparisonsChangedTheModel() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b a c d"));
    QPointer<ZEPHTreeItem> removed = qobject_cast<ZEPHTreeItem*>(model->FindItem(QStringLiteral("a")));
    bool once = true;
    model->SortByRole(ZEPHTreeItem::NameRole, true, [&](const QVariant& x, const QVariant& y) {
        if (once) {
            once = false;
            model->RemoveOne(QStringLiteral("a"));
        }
        return x.toString() < y.toString();
    });
    QCOMPARE(tree::ids(model.get()), QStringLiteral("b c d"));
    flushDeletes();
    QVERIFY(!removed);
    QCOMPARE(model->FindItemRow(QStringLiteral("d")), 2);
}

// Every value mix, both directions: the fast paths must give exactly the placement's order.
void TstSort::shouldMatchThePlacementForAnyValues() {
    QRandomGenerator rng(20240611);
    for (int trial = 0; trial < 600; ++trial) {
        // Most trials use one type, which takes the fast paths; the others mix types.
        const int single = int(rng.bounded(ValueKinds));
        const bool mixed = rng.bounded(4) == 0;
        const int count = trial % 50 == 0 ? 300 + int(rng.bounded(200)) : int(rng.bounded(40));
        ZEPHTreeModel model(nullptr, valueRoles());
        QList<ZEPHTreeItem*> items;
        for (int i = 0; i < count; ++i) {
            const int kind = mixed ? int(rng.bounded(ValueKinds)) : (rng.bounded(10) == 0 ? 5 : single);
            items << new ValueItem(QString::number(i), randomValue(rng, kind));
        }
        model.AppendItemsList(items);
        const bool ascending = rng.bounded(2) == 1;
        // Twice: the second sort starts from sorted rows, which takes the merging path.
        for (int round = 0; round < 2; ++round) {
            const QList<ZEPHTreeItem*> expected = reference::typeSort(rowsOf(&model), ValueRole, ascending);
            model.SortByRole(ValueRole, ascending);
            if (rowsOf(&model) != expected)
                QFAIL(qPrintable(
                    QStringLiteral("trial %1 (kind %2, mixed %3, ascending %4, round %5): %6 instead of %7")
                        .arg(trial)
                        .arg(single)
                        .arg(mixed)
                        .arg(ascending)
                        .arg(round)
                        .arg(idsOf(rowsOf(&model)), idsOf(expected))));
        }
    }
}

// A comparator that is no ordering at all: only the placement itself gives its order.
void TstSort::shouldMatchThePlacementForAnyComparator() {
    QRandomGenerator rng(77);
    for (int trial = 0; trial < 50; ++trial) {
        const int count = int(rng.bounded(60));
        ZEPHTreeModel model(nullptr, valueRoles());
        QList<ZEPHTreeItem*> items;
        for (int i = 0; i < count; ++i)
            items << new ValueItem(QString::number(i), int(rng.bounded(10)));
        model.AppendItemsList(items);
        const quint32 salt = rng.generate();
        const PF_LESS_THAN chaotic = [salt](const QVariant& x, const QVariant& y) {
            return ((uint(x.toInt()) * 31u + uint(y.toInt()) * 17u + salt) >> 3) & 1u;
        };
        const bool ascending = rng.bounded(2) == 1;
        const QList<ZEPHTreeItem*> expected =
            reference::roleSort(rowsOf(&model), ValueRole, [&](const QVariant& x, const QVariant& y) {
                const bool r = chaotic(x, y);
                return ascending ? r : !r;
            });
        model.SortByRole(ValueRole, ascending, chaotic);
        QCOMPARE(idsOf(rowsOf(&model)), idsOf(expected));
    }
}

// Rule sort ------------------------------------------------------------------------------------

void TstSort::shouldSortByRules_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QVariantList>("rules");
    QTest::addColumn<QString>("expected");

    QTest::newRow("name ascending then ID descending")
        << "b1:b a1:a b2:b a2:a"
        << QVariantList{rule(QStringLiteral("nameRole"), true), rule(QStringLiteral("idRole"), false)}
        << "a2 a1 b2 b1";
    QTest::newRow("equal items reverse in both directions")
        << "b1:b a:a b2:b" << QVariantList{rule(QStringLiteral("nameRole"), false)} << "b2 b1 a";
    QTest::newRow("no Ascending sorts descending")
        << "b a c" << QVariantList{rule(QStringLiteral("nameRole"))} << "c b a";
    QTest::newRow("unknown role reverses")
        << "b a c" << QVariantList{rule(QStringLiteral("sizeRole"), true)} << "c a b";
    QTest::newRow("empty list reverses") << "b a c" << QVariantList() << "c a b";
    QTest::newRow("entries that are no maps are ignored")
        << "b a c" << QVariantList{5, QVariantMap(), rule(QStringLiteral("nameRole"), true)} << "a b c";
    QTest::newRow("role name as byte array")
        << "b a c" << QVariantList{rule(QByteArray("nameRole"), true)} << "a b c";
    QTest::newRow("other keys are ignored")
        << "b a c"
        << QVariantList{QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                                    {QStringLiteral("Ascending"), true},
                                    {QStringLiteral("Extra"), 1}}}
        << "a b c";
    QTest::newRow("strings without regard to case") << "p:a q:B r:c" << nameRule(true) << "p q r";
    QTest::newRow("null objects never decide")
        << "b a c"
        << QVariantList{rule(QStringLiteral("childModelRole"), true), rule(QStringLiteral("idRole"), true)}
        << "a b c";
}

void TstSort::shouldSortByRules() {
    QFETCH(QString, rows);
    QFETCH(QVariantList, rules);
    QFETCH(QString, expected);

    QHash<int, QByteArray> roles;
    ZEPHTreeItem::GetRolesHash(roles, ZEPHTreeItem::WithJsonValueRole);
    ZEPHTreeModel model(nullptr, roles);
    tree::fill(&model, rows);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    SignalLog log(&model, SignalLog::WithAboutTo);
    model.SortByRules(rules);
    QCOMPARE(tree::ids(&model), expected);
    QCOMPARE(log.take(), QStringLiteral("data:0-%1").arg(model.rowCount() - 1));
    QCOMPARE(ZEPHTreeModelAccess::flag(&model), int(ZEPHTreeModel::None));
    QCOMPARE(ZEPHTreeModelAccess::rules(&model), rules);
}

void TstSort::shouldStoreRulesAndSignalOnAnEmptyModel() {
    ZEPHTreeModel model(nullptr, {});
    SignalLog log(&model, SignalLog::WithAboutTo);
    model.SortByRules(nameRule(true), ZEPHTreeModel::RecursiveKeepSorting);
    QCOMPARE(log.take(), QStringLiteral("data:-1--1"));
    QCOMPARE(ZEPHTreeModelAccess::flag(&model), int(ZEPHTreeModel::RecursiveKeepSorting));
    QCOMPARE(ZEPHTreeModelAccess::rules(&model), nameRule(true));
}

void TstSort::shouldSortChildModelsWithRecursiveKeepSorting() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make("A:c[x:z y:a[q:b p:a]] B:a[p2:b q2:a]"));
    model->SortByRules(nameRule(true), ZEPHTreeModel::RecursiveKeepSorting);
    QCOMPARE(tree::dump(model.get()), QStringLiteral("B[q2 p2] A[y[p q] x]"));

    auto* child = qobject_cast<ZEPHTreeModel*>(qobject_cast<ZEPHTreeItem*>(model->FindItem(1))->ChildModel());
    QVERIFY(child);
    QCOMPARE(ZEPHTreeModelAccess::flag(child), int(ZEPHTreeModel::RecursiveKeepSorting));
    QCOMPARE(ZEPHTreeModelAccess::rules(child), nameRule(true));
    // The child keeps itself sorted with the rules it was given.
    SignalLog log(child);
    tree::fill(child, "m:b");
    QCOMPARE(tree::ids(child), QStringLiteral("y m x"));
    QCOMPARE(log.take(), QStringLiteral("ins:2-2 data:0-2 count"));
}

void TstSort::shouldNotRecurseWithoutFlagTwoOrWithSharedItems_data() {
    QTest::addColumn<int>("creationFlags");
    QTest::addColumn<int>("flag");
    QTest::newRow("keep sorting") << 0 << int(ZEPHTreeModel::KeepSorting);
    QTest::newRow("shared items") << 2 << int(ZEPHTreeModel::RecursiveKeepSorting);
    QTest::newRow("shared items owned by the engine") << 3 << int(ZEPHTreeModel::RecursiveKeepSorting);
}

void TstSort::shouldNotRecurseWithoutFlagTwoOrWithSharedItems() {
    QFETCH(int, creationFlags);
    QFETCH(int, flag);
    auto* model = new ZEPHTreeModel(nullptr, {}, creationFlags);
    QQmlEngine::setObjectOwnership(model, QQmlEngine::CppOwnership);
    tree::fill(model, "B:b[y:b x:a] A:a[q:b p:a]");
    model->SortByRules(nameRule(true), flag);
    QCOMPARE(tree::dump(model), QStringLiteral("A[q p] B[y x]"));
    auto* child = qobject_cast<ZEPHTreeModel*>(qobject_cast<ZEPHTreeItem*>(model->FindItem(0))->ChildModel());
    QCOMPARE(ZEPHTreeModelAccess::flag(child), int(ZEPHTreeModel::None));
    if (creationFlags & 2) {
        for (ZEPHTreeItem* item : rowsOf(model))
            delete item->ChildModel();
        destroyWithItems(model);
    } else {
        delete model;
    }
}

void TstSort::shouldSkipChildObjectsThatAreNoModels() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b a"));
    QObject notAModel;
    QStringListModel otherModel(QStringList{QStringLiteral("z"), QStringLiteral("y")});
    qobject_cast<ZEPHTreeItem*>(model->FindItem(0))->SetChildModel(&notAModel);
    qobject_cast<ZEPHTreeItem*>(model->FindItem(1))->SetChildModel(&otherModel);
    model->SortByRules(nameRule(true), ZEPHTreeModel::RecursiveKeepSorting);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("a b"));
    QCOMPARE(otherModel.stringList(), QStringList({QStringLiteral("z"), QStringLiteral("y")}));
    for (ZEPHTreeItem* item : rowsOf(model.get()))
        item->SetChildModel(nullptr);
}

void TstSort::shouldVisitEachModelOnceInACycle() {
    std::unique_ptr<ZEPHTreeModel> first(tree::make("b a"));
    std::unique_ptr<ZEPHTreeModel> second(tree::make("d c"));
    qobject_cast<ZEPHTreeItem*>(first->FindItem(0))->SetChildModel(second.get());
    qobject_cast<ZEPHTreeItem*>(second->FindItem(0))->SetChildModel(first.get());
    SignalLog firstLog(first.get());
    SignalLog secondLog(second.get());
    first->SortByRules(nameRule(true), ZEPHTreeModel::RecursiveKeepSorting);
    QCOMPARE(tree::ids(first.get()), QStringLiteral("a b"));
    QCOMPARE(tree::ids(second.get()), QStringLiteral("c d"));
    QCOMPARE(firstLog.take(), QStringLiteral("data:0-1"));
    QCOMPARE(secondLog.take(), QStringLiteral("data:0-1"));
    QCOMPARE(ZEPHTreeModelAccess::flag(second.get()), int(ZEPHTreeModel::RecursiveKeepSorting));
    // A later call visits them again.
    first->SortByRules(nameRule(false), ZEPHTreeModel::RecursiveKeepSorting);
    QCOMPARE(tree::ids(second.get()), QStringLiteral("d c"));
    for (auto* model : {first.get(), second.get()}) {
        for (ZEPHTreeItem* item : rowsOf(model))
            item->SetChildModel(nullptr);
    }
}

void TstSort::shouldResortAfterEachInsertion_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("signalLog");
    // The model holds "a b1" sorted by name; b2 has the name of b1.
    QTest::newRow("append") << "append"
                            << "a b2 b1"
                            << "ins:2-2 data:0-2 count";
    QTest::newRow("prepend") << "prepend"
                             << "a b1 b2"
                             << "ins:0-0 data:0-2 count";
    QTest::newRow("insert") << "insert"
                            << "a b1 b2"
                            << "ins:1-1 data:0-2 count";
    QTest::newRow("append list") << "appendList"
                                 << "a b2 b1 c"
                                 << "ins:2-3 data:0-3 count";
    QTest::newRow("prepend list") << "prependList"
                                  << "a b1 b2 c"
                                  << "ins:0-1 data:0-3 count";
}

void TstSort::shouldResortAfterEachInsertion() {
    QFETCH(QString, operation);
    QFETCH(QString, expected);
    QFETCH(QString, signalLog);
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b1:b a"));
    model->SortByRules(nameRule(true), ZEPHTreeModel::KeepSorting);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("a b1"));
    SignalLog log(model.get());
    auto* b2 = new ZEPHTreeItem(QStringLiteral("b2"), QStringLiteral("b"), nullptr);
    auto* c = new ZEPHTreeItem(QStringLiteral("c"), QStringLiteral("c"), nullptr);
    if (operation == QLatin1String("append"))
        model->AppendItem(b2);
    else if (operation == QLatin1String("prepend"))
        model->PrependItem(b2);
    else if (operation == QLatin1String("insert"))
        model->InsertItem(1, b2);
    else if (operation == QLatin1String("appendList"))
        model->AppendItemsList({c, b2});
    else
        model->PrependItemsList({c, b2});
    if (!operation.endsWith(QLatin1String("List"))) delete c;
    QCOMPARE(tree::ids(model.get()), expected);
    QCOMPARE(log.take(), signalLog);
    // Every further re-sort turns equal items round again.
    tree::fill(model.get(), "d");
    QString again = expected;
    again.replace(QLatin1String("b2 b1"), QLatin1String("x"))
        .replace(QLatin1String("b1 b2"), QLatin1String("b2 b1"));
    again.replace(QLatin1String("x"), QLatin1String("b1 b2"));
    QCOMPARE(tree::ids(model.get()), again + QLatin1String(" d"));
}

// Random rule lists over plain items (read once) and item subclasses (read on every comparison).
void TstSort::shouldMatchThePlacementForAnyRules() {
    QRandomGenerator rng(4242);
    const QStringList roleNames = {QStringLiteral("idRole"),        QStringLiteral("nameRole"),
                                   QStringLiteral("jsonValueRole"), QStringLiteral("childModelRole"),
                                   QStringLiteral("valueRole"),     QStringLiteral("noRole")};
    const QHash<int, QByteArray> roles = valueRoles();
    for (int trial = 0; trial < 500; ++trial) {
        const bool subclass = rng.bounded(4) == 0;
        const bool twins = rng.bounded(3) == 0;
        const bool nulls = rng.bounded(4) == 0;
        const int count = trial % 40 == 0 ? 256 + int(rng.bounded(300)) : int(rng.bounded(40));
        ZEPHTreeModel model(nullptr, roles);
        QList<ZEPHTreeItem*> items;
        for (int i = 0; i < count; ++i) {
            const QString id = randomText(rng, twins, nulls);
            ZEPHTreeItem* item = subclass ? new ValueItem(id, randomValue(rng, int(rng.bounded(ValueKinds))))
                                          : new ZEPHTreeItem(id, QString(), nullptr);
            item->SetName(randomText(rng, twins, nulls));
            items << item;
        }
        model.AppendItemsList(items);
        QVariantList rules;
        QVector<QPair<int, bool>> resolved;
        const int ruleCount = int(rng.bounded(4));
        for (int r = 0; r < ruleCount; ++r) {
            // Mostly ID and name, which take the fast paths.
            const QString name =
                roleNames.at(rng.bounded(10) < 7 ? int(rng.bounded(2)) : int(rng.bounded(6)));
            const bool ascending = rng.bounded(2) == 1;
            rules << rule(name, ascending);
            resolved << qMakePair(roles.key(name.toLatin1(), 0), ascending);
        }
        for (int round = 0; round < 2; ++round) {
            const QList<ZEPHTreeItem*> expected = reference::ruleSort(rowsOf(&model), resolved);
            model.SortByRules(rules);
            if (rowsOf(&model) != expected)
                QFAIL(qPrintable(QStringLiteral("trial %1 round %2: %3 instead of %4")
                                     .arg(trial)
                                     .arg(round)
                                     .arg(idsOf(rowsOf(&model)), idsOf(expected))));
        }
    }
}

// A keep-sorted model re-sorts after each insertion; whatever happened in between (value changes,
// removals, other sorts), the result must be the full placement of the rows as they stood.
void TstSort::shouldMatchAFullResortAfterEveryChange() {
    QRandomGenerator rng(99);
    for (int trial = 0; trial < 12; ++trial) {
        const bool twins = trial % 3 == 2;
        const int count = trial < 4 ? 20 : 300 + int(rng.bounded(400));
        std::unique_ptr<ZEPHTreeModel> model(new ZEPHTreeModel(nullptr, {}));
        QList<ZEPHTreeItem*> initial;
        for (int i = 0; i < count; ++i)
            initial << new ZEPHTreeItem(QStringLiteral("i%1").arg(i), randomText(rng, twins, false), nullptr);
        model->AppendItemsList(initial);
        QVariantList rules = nameRule(rng.bounded(2) == 1);
        QVector<QPair<int, bool>> resolved = {qMakePair(
            int(ZEPHTreeItem::NameRole), rules.first().toMap().value(QStringLiteral("Ascending")).toBool())};
        if (trial % 2 == 1) {
            rules << rule(QStringLiteral("idRole"), false);
            resolved << qMakePair(int(ZEPHTreeItem::IdRole), false);
        }
        model->SortByRules(rules, ZEPHTreeModel::KeepSorting);
        int serial = 0;
        auto newItem = [&]() {
            return new ZEPHTreeItem(QStringLiteral("n%1").arg(serial++), randomText(rng, twins, false),
                                    nullptr);
        };
        for (int step = 0; step < 60; ++step) {
            QList<ZEPHTreeItem*> before = rowsOf(model.get());
            const int size = before.size();
            QList<ZEPHTreeItem*> inserted;
            bool resorts = true;
            QString what;
            switch (rng.bounded(9)) {
            case 0:
            case 1:
                inserted << newItem();
                before << inserted;
                model->AppendItem(inserted.first());
                what = QStringLiteral("append");
                break;
            case 2:
                inserted << newItem();
                before = inserted + before;
                model->PrependItem(inserted.first());
                what = QStringLiteral("prepend");
                break;
            case 3: {
                const int row = int(rng.bounded(size + 1));
                inserted << newItem();
                before.insert(row, inserted.first());
                model->InsertItem(row, inserted.first());
                what = QStringLiteral("insert %1").arg(row);
                break;
            }
            case 4:
                inserted << newItem() << newItem() << newItem();
                before << inserted;
                model->AppendItemsList(inserted);
                what = QStringLiteral("append list");
                break;
            case 5:
                inserted << newItem() << newItem();
                before = inserted + before;
                model->PrependItemsList(inserted);
                what = QStringLiteral("prepend list");
                break;
            case 6: {
                // A changed name re-sorts nothing now, but must count at the next re-sort.
                ZEPHTreeItem* item = before.at(int(rng.bounded(size)));
                item->SetName(randomText(rng, twins, false));
                resorts = false;
                what = QStringLiteral("rename");
                break;
            }
            case 7: {
                ZEPHTreeItem* item = before.takeAt(int(rng.bounded(size)));
                model->RemoveOne(item->ID());
                resorts = false;
                what = QStringLiteral("remove");
                break;
            }
            default:
                // The filter view's refresh re-sorts without any insertion.
                model->SortByRules(rules, ZEPHTreeModel::KeepSorting);
                what = QStringLiteral("re-sort");
                break;
            }
            const QList<ZEPHTreeItem*> expected = resorts ? reference::ruleSort(before, resolved) : before;
            if (rowsOf(model.get()) != expected)
                QFAIL(qPrintable(QStringLiteral("trial %1 step %2 (%3)").arg(trial).arg(step).arg(what)));
            flushDeletes();
        }
    }
}

// Compare functions in files ----------------------------------------------------------------------

void TstSort::shouldSortByAQmlFunction_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("function");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QString>("expected");
    const QString lessThan = QStringLiteral("return a < b");
    QTest::newRow("ascending reverses equal names") << lessThan << "lessThan" << true << "a b2 b1";
    QTest::newRow("descending keeps equal names") << lessThan << "lessThan" << false << "b1 b2 a";
    QTest::newRow("no such function: ascending reverses") << lessThan << "other" << true << "b2 a b1";
    QTest::newRow("no such function: descending keeps") << lessThan << "other" << false << "b1 a b2";
    QTest::newRow("throwing counts as false") << "throw new Error('no')"
                                              << "lessThan" << true << "b2 a b1";
    QTest::newRow("answer read as bool") << "return a < b ? 'yes' : 0"
                                         << "lessThan" << true << "a b2 b1";
}

void TstSort::shouldSortByAQmlFunction() {
    QFETCH(QString, body);
    QFETCH(QString, function);
    QFETCH(bool, ascending);
    QFETCH(QString, expected);
    const QString file = write(
        QStringLiteral("compare.qml"),
        QStringLiteral("import QtQml 2.15\nQtObject {\n    function lessThan(a, b) { %1 }\n}\n").arg(body));
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b1:b a b2:b"));
    QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    model->SortByRoleByQMLFunction(QStringLiteral("nameRole"), ascending, file, function);
    QCOMPARE(tree::ids(model.get()), expected);
    QCOMPARE(log.take(), QStringLiteral("aboutLayout data:0-2 layout"));
}

void TstSort::shouldSortByAScriptFunction_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("signalLog");
    const QString sorted = QStringLiteral("aboutLayout data:0-2 layout aboutReset reset");
    const QString lessThan = QStringLiteral("function lessThan(a, b) { return a < b; }");
    QTest::newRow("ascending reverses equal names") << lessThan << true << "a b2 b1" << sorted;
    QTest::newRow("descending keeps equal names") << lessThan << false << "b1 b2 a" << sorted;
    QTest::newRow("undefined name: ascending reverses") << "var x = 1;" << true << "b2 a b1" << sorted;
    QTest::newRow("undefined name: descending keeps") << "var x = 1;" << false << "b1 a b2" << sorted;
    QTest::newRow("throwing an error counts as false")
        << "function lessThan(a, b) { throw new Error('no'); }" << true << "b2 a b1" << sorted;
    QTest::newRow("throwing a value counts as false")
        << "function lessThan(a, b) { throw 5; }" << true << "b2 a b1" << sorted;
    QTest::newRow("not callable counts as false") << "var lessThan = 5;" << true << "b2 a b1" << sorted;
    QTest::newRow("syntax error defines nothing")
        << "function lessThan(a, b) { return a <" << true << "b2 a b1" << sorted;
    QTest::newRow("an error value stops the sort") << "var lessThan = new Error('no');" << true << "b1 a b2"
                                                   << "";
}

void TstSort::shouldSortByAScriptFunction() {
    QFETCH(QString, program);
    QFETCH(bool, ascending);
    QFETCH(QString, expected);
    QFETCH(QString, signalLog);
    const QString file = write(QStringLiteral("compare.js"), program);
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b1:b a b2:b"));
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    model->SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, ascending, file, QStringLiteral("lessThan"));
    QCOMPARE(tree::ids(model.get()), expected);
    QCOMPARE(log.take(), signalLog);
}

void TstSort::shouldFallBackToTypesWhenTheQmlFileCannotBeUsed_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("missing.qml"));
    QTest::newRow("syntax error") << write(QStringLiteral("broken.qml"), QStringLiteral("QtObject {"));
    QTest::newRow("directory") << m_dir.path();
    QTest::newRow("device") << "/dev/zero";
    QTest::newRow("remote URL") << "http://example.invalid/compare.qml";
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.qml"));
    ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    QTest::newRow("pipe") << fifo;
}

void TstSort::shouldFallBackToTypesWhenTheQmlFileCannotBeUsed() {
    QFETCH(QString, file);
    std::unique_ptr<ZEPHTreeModel> model(tree::make("x:b y:B z:a"));
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    model->SortByRoleByQMLFunction(ZEPHTreeItem::NameRole, true, file, QStringLiteral("lessThan"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("y z x"));
    QCOMPARE(log.take(), QStringLiteral("aboutLayout data:0-2 layout"));
}

void TstSort::shouldRefuseScriptFilesThatCannotBeOpened_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("missing.js"));
    QTest::newRow("directory") << m_dir.path();
    QTest::newRow("device") << "/dev/zero";
    QTest::newRow("remote URL") << "https://example.invalid/compare.js";
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.js"));
    ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    QTest::newRow("pipe") << fifo;
}

void TstSort::shouldRefuseScriptFilesThatCannotBeOpened() {
    QFETCH(QString, file);
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b a"));
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    model->SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, true, file, QStringLiteral("lessThan"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("b a"));
    QCOMPARE(log.take(), QString());
}

void TstSort::shouldReadCompareFilesFromUrlsAndResources() {
    // Both compare descending by name, which the built-in comparison would not do.
    const QString qml =
        write(QStringLiteral("greater.qml"),
              QStringLiteral("import QtQml 2.15\nQtObject { function greater(a, b) { return a > b } }\n"));
    const QString js =
        write(QStringLiteral("greater.js"), QStringLiteral("function greater(a, b) { return a > b; }\n"));
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b c a"));
    model->SortByRoleByQMLFunction(ZEPHTreeItem::NameRole, true, QUrl::fromLocalFile(qml).toString(),
                                   QStringLiteral("greater"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("c b a"));
    model->SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, false, QUrl::fromLocalFile(js).toString(),
                                      QStringLiteral("greater"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("a b c"));

    // Resources: compiled with rcc at test time and registered under /sorting.
    const QString rcc = QLibraryInfo::location(QLibraryInfo::BinariesPath) + QStringLiteral("/rcc");
    if (!QFileInfo(rcc).isExecutable()) QSKIP("rcc is not installed");
    const QString qrc = write(QStringLiteral("compare.qrc"),
                              QStringLiteral("<RCC><qresource prefix=\"/sorting\">"
                                             "<file alias=\"greater.qml\">%1</file>"
                                             "<file alias=\"greater.js\">%2</file></qresource></RCC>")
                                  .arg(QFileInfo(qml).fileName(), QFileInfo(js).fileName()));
    const QString binary = m_dir.filePath(QStringLiteral("compare.rcc"));
    QCOMPARE(QProcess::execute(rcc, {QStringLiteral("-binary"), qrc, QStringLiteral("-o"), binary}), 0);
    QVERIFY(QResource::registerResource(binary));
    model->SortByRoleByQMLFunction(ZEPHTreeItem::NameRole, true, QStringLiteral(":/sorting/greater.qml"),
                                   QStringLiteral("greater"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("c b a"));
    model->SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, false,
                                      QStringLiteral("qrc:/sorting/greater.js"), QStringLiteral("greater"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("a b c"));
    model->SortByRoleByQMLFunction(ZEPHTreeItem::NameRole, true, QStringLiteral("qrc:///sorting/greater.qml"),
                                   QStringLiteral("greater"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("c b a"));
    QVERIFY(QResource::unregisterResource(binary));
}

void TstSort::shouldDoNothingWithoutFileOrFunctionName_data() {
    QTest::addColumn<bool>("script");
    QTest::addColumn<bool>("withFile");
    QTest::newRow("QML, no file") << false << false;
    QTest::newRow("QML, no function") << false << true;
    QTest::newRow("script, no file") << true << false;
    QTest::newRow("script, no function") << true << true;
}

void TstSort::shouldDoNothingWithoutFileOrFunctionName() {
    QFETCH(bool, script);
    QFETCH(bool, withFile);
    const QString file =
        write(QStringLiteral("f.js"), QStringLiteral("function lessThan(a, b) { return a < b; }\n"));
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b a"));
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    const QString fileName = withFile ? file : QString();
    const QString function = withFile ? QString() : QStringLiteral("lessThan");
    if (script)
        model->SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, true, fileName, function);
    else
        model->SortByRoleByQMLFunction(ZEPHTreeItem::NameRole, true, fileName, function);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("b a"));
    QCOMPARE(log.take(), QString());
}

void TstSort::shouldSignalFileSortsOfAnEmptyModel() {
    const QString js =
        write(QStringLiteral("e.js"), QStringLiteral("function lessThan(a, b) { return a < b; }"));
    const QString qml =
        write(QStringLiteral("e.qml"),
              QStringLiteral("import QtQml 2.15\nQtObject { function lessThan(a, b) { return a < b } }"));
    ZEPHTreeModel model(nullptr, {});
    SignalLog log(&model, SignalLog::WithAboutTo);
    model.SortByRoleByQMLFunction(ZEPHTreeItem::NameRole, true, qml, QStringLiteral("lessThan"));
    QCOMPARE(log.take(), QStringLiteral("aboutLayout data:-1--1 layout"));
    model.SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, true, js, QStringLiteral("lessThan"));
    QCOMPARE(log.take(), QStringLiteral("aboutLayout data:-1--1 layout aboutReset reset"));
}

void TstSort::shouldSetAsideInvalidValuesInFileSorts() {
    const QString js =
        write(QStringLiteral("v.js"), QStringLiteral("function lessThan(a, b) { return a < b; }"));
    const QString qml =
        write(QStringLiteral("v.qml"),
              QStringLiteral("import QtQml 2.15\nQtObject { function lessThan(a, b) { return a < b } }"));
    for (bool script : {false, true}) {
        ZEPHTreeModel model(nullptr, valueRoles());
        model.AppendItemsList(
            {new ValueItem(QStringLiteral("x"), QVariant()), new ValueItem(QStringLiteral("two"), 2),
             new ValueItem(QStringLiteral("y"), QVariant()), new ValueItem(QStringLiteral("one"), 1)});
        if (script)
            model.SortByRoleByScriptFunction(QStringLiteral("valueRole"), true, js,
                                             QStringLiteral("lessThan"));
        else
            model.SortByRoleByQMLFunction(QStringLiteral("valueRole"), true, qml, QStringLiteral("lessThan"));
        QCOMPARE(tree::ids(&model), QStringLiteral("one two x y"));
    }
}

// Child models made for QML (creation flag 1) are parentless and owned by JavaScript; converting
// them into the sort's own engine must not hand them to that engine's teardown.
void TstSort::shouldKeepJavaScriptOwnedValuesAlive() {
    const QString js =
        write(QStringLiteral("o.js"), QStringLiteral("function fewer(a, b) { return a.count < b.count; }"));
    const QString qml = write(
        QStringLiteral("o.qml"),
        QStringLiteral("import QtQml 2.15\nQtObject { function fewer(a, b) { return a.count < b.count } }"));
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b c a"));
    QList<QPointer<ZEPHTreeModel>> children;
    int size = 3;
    for (ZEPHTreeItem* item : rowsOf(model.get())) {
        auto* child = new ZEPHTreeModel(nullptr, {}, 1);
        tree::fill(child, QStringLiteral("x ").repeated(size--));
        item->SetChildModel(child);
        children << child;
    }
    QCOMPARE(QQmlEngine::objectOwnership(children.first()), QQmlEngine::JavaScriptOwnership);
    model->SortByRoleByQMLFunction(ZEPHTreeItem::ChildModelRole, true, qml, QStringLiteral("fewer"));
    flushDeletes();
    QCOMPARE(tree::ids(model.get()), QStringLiteral("a c b"));
    model->SortByRoleByScriptFunction(ZEPHTreeItem::JsonValueRole, false, js, QStringLiteral("fewer"));
    flushDeletes();
    for (const QPointer<ZEPHTreeModel>& child : children) {
        QVERIFY(child);
        QCOMPARE(QQmlEngine::objectOwnership(child), QQmlEngine::JavaScriptOwnership);
    }
    for (ZEPHTreeItem* item : rowsOf(model.get()))
        item->SetChildModel(nullptr);
    qDeleteAll(children);
}

// A proxy stacked on the model keeps its persistent indexes on the same items across a QML sort,
// and survives the script sort's reset.
void TstSort::shouldKeepProxyIndexesAcrossFileSorts() {
    const QString qml =
        write(QStringLiteral("p.qml"),
              QStringLiteral("import QtQml 2.15\nQtObject { function lessThan(a, b) { return a < b } }"));
    const QString js =
        write(QStringLiteral("p.js"), QStringLiteral("function lessThan(a, b) { return a > b; }"));
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b c d a"));
    QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(model.get());
    QAbstractItemModelTester proxyTester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QPersistentModelIndex onB = proxy.index(0, 0);
    const QPersistentModelIndex sourceOnD = model->index(2, 0);
    QCOMPARE(onB.data(ZEPHTreeItem::IdRole).toString(), QStringLiteral("b"));

    model->SortByRoleByQMLFunction(ZEPHTreeItem::NameRole, true, qml, QStringLiteral("lessThan"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("a b c d"));
    QVERIFY(onB.isValid());
    QCOMPARE(onB.row(), 1);
    QCOMPARE(onB.data(ZEPHTreeItem::IdRole).toString(), QStringLiteral("b"));
    QCOMPARE(sourceOnD.row(), 3);
    QCOMPARE(proxy.index(0, 0).data(ZEPHTreeItem::IdRole).toString(), QStringLiteral("a"));

    model->SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, true, js, QStringLiteral("lessThan"));
    QCOMPARE(tree::ids(model.get()), QStringLiteral("d c b a"));
    QVERIFY(!onB.isValid());
    QCOMPARE(proxy.rowCount(), 4);
    QCOMPARE(proxy.index(0, 0).data(ZEPHTreeItem::IdRole).toString(), QStringLiteral("d"));
    proxy.sort(0);
    QCOMPARE(proxy.rowCount(), 4);
}

QTEST_MAIN(TstSort)
#include "tst_sort.moc"

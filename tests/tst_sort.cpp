#include "SignalLog.h"
#include "TreeBuilder.h"
#include "VariantOrder.h"

#include "model/ZEPHTreeModelPrivate.h"

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

#include <utility>

#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>

// Reads the keep-sorting state that the sorts store, from the model's private part.
struct ZEPHTreeModelAccess {
    static int flag(const ZEPHTreeModel* model) {
        return ZEPHTreeModelPrivate::get(model)->keepSortingFlag();
    }
    static QVariantList rules(const ZEPHTreeModel* model) {
        return ZEPHTreeModelPrivate::get(model)->keepSortingRules();
    }
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

using tree::flushDeletes;

QList<ZEPHTreeItem*> rowsOf(ZEPHTreeModel* model) {
    return *model->GetModelItemList();
}

QString idsOf(const QList<ZEPHTreeItem*>& items) {
    QStringList ids;
    for (const ZEPHTreeItem* item : items)
        ids << item->ID();
    return ids.join(QLatin1Char(' '));
}

// A persistent index on every row: after a sort, each must still lead to its own item.
class RowMarks {
public:
    explicit RowMarks(ZEPHTreeModel* model) : m_model(model) {
        for (int row = 0; row < model->rowCount(); ++row)
            m_marks.append({QPersistentModelIndex(model->index(row, 0)), rowsOf(model).at(row)});
    }
    bool followed() const {
        for (const auto& mark : m_marks) {
            if (tree::at(m_model, mark.first.row()) != mark.second) return false;
        }
        return true;
    }

private:
    ZEPHTreeModel* m_model;
    QVector<QPair<QPersistentModelIndex, ZEPHTreeItem*>> m_marks;
};

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
    const int order = variantOrder(x, y);
    return order != 2 && (order == -1) == ascending;
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

// Values of many types, with ties, case variants, NaN and invalid values; `kind` picks the type.
QVariant randomValue(QRandomGenerator& rng, int kind) {
    static const char* const strings[] = {"a", "A", "b", "B", "ab", "aB", "", "\xc3\xa9", "\xc3\x89", "z"};
    static const double doubles[] = {0.5, 1.0, -0.0, 0.0, 2.5, 1e300};
    const qlonglong longs = std::numeric_limits<qlonglong>::max() / 2;
    const qulonglong ulongs = std::numeric_limits<qulonglong>::max() / 2;
    const std::function<QVariant(quint32)> makers[] = {
        [](quint32 r) { return QVariant(int(r % 5) - 2); },
        [](quint32 r) { return QVariant(doubles[r % 6]); },
        [](quint32 r) { return QVariant(QString::fromUtf8(strings[r % 10])); },
        [](quint32 r) { return QVariant(r % 2 == 1); },
        [](quint32 r) {
            return QVariant(QVariantMap{{QStringLiteral("k"), int(r % 3)}});
        },
        [](quint32) { return QVariant(); },
        [](quint32 r) { return QVariant(QDate(2020, 1, 1 + int(r % 4))); },
        [](quint32 r) { return QVariant(QByteArray(strings[r % 10])); },
        [longs](quint32 r) { return QVariant(qlonglong(r % 3) * longs - 1); },
        [ulongs](quint32 r) { return QVariant(qulonglong(r % 3) * ulongs); },
        [](quint32 r) { return QVariant(uint(r % 4) * 0x7fffffffu); },
        [](quint32 r) { return QVariant(QChar(ushort("aAbB\xe9"[r % 5] & 0xff))); },
        [](quint32 r) { return QVariant(QTime(1 + int(r % 3), 0)); },
        [](quint32) { return QVariant(std::nan("")); },
        [](quint32 r) { return QVariant(QDateTime(QDate(2021, 3, 28), QTime(1 + int(r % 3), 30))); },
        [](quint32) { return QVariant::fromValue<QObject*>(nullptr); }};
    return makers[kind](rng.generate());
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
    void shouldSignalSortsOfAnEmptyModelAsEachSortDoes();
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
    void shouldSortChildModelsWithRecursiveKeepSorting();
    void shouldNotRecurseWithoutFlagTwoOrWithSharedItems_data();
    void shouldNotRecurseWithoutFlagTwoOrWithSharedItems();
    void shouldSkipChildObjectsThatAreNoModels();
    void shouldVisitEachModelOnceInACycle();
    void shouldRunASortThatAListenerStarts();
    void shouldResortSilentlyChangedRowsOfALargeModel();
    void shouldResortAfterEachInsertion_data();
    void shouldResortAfterEachInsertion();
    void shouldMatchThePlacementForAnyRules();
    void shouldMatchAFullResortAfterEveryChange();

    // Compare functions in files.
    void shouldSortByACompareFunction_data();
    void shouldSortByACompareFunction();
    void shouldHandleUnusableCompareFiles_data();
    void shouldHandleUnusableCompareFiles();
    void shouldReadCompareFilesFromUrlsAndResources();
    void shouldKeepJavaScriptOwnedValuesAlive();
    void shouldKeepProxyIndexesAcrossFileSorts();

private:
    QString write(const QString& name, const QString& text);
    QString lessThanFile(bool script);

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

// A compare file whose function lessThan(a, b) answers a < b.
QString TstSort::lessThanFile(bool script) {
    return script
               ? write(QStringLiteral("less.js"), QStringLiteral("function lessThan(a, b) { return a < b; }"))
               : write(QStringLiteral("less.qml"),
                       QStringLiteral(
                           "import QtQml 2.15\nQtObject { function lessThan(a, b) { return a < b } }"));
}

// Role sort ------------------------------------------------------------------------------------

void TstSort::shouldSortByRole_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QString>("expected");

    const int name = ZEPHTreeItem::NameRole;
    // clang-format off
    QTest::newRow("ascending reverses equal names") << "b1:b a:a b2:b" << name << true << "a b2 b1";
    QTest::newRow("descending keeps equal names") << "b1:b a:a b2:b" << name << false << "b1 b2 a";
    QTest::newRow("strings by UTF-16 code units") << "x:b y:B z:a w:A" << name << true << "w y z x";
    QTest::newRow("maps reverse ascending") << "a b c" << int(ZEPHTreeItem::JsonValueRole) << true << "c b a";
    QTest::newRow("maps reverse descending") << "a b c" << int(ZEPHTreeItem::JsonValueRole) << false << "c b a";
    QTest::newRow("objects reverse") << "a b[x] c" << int(ZEPHTreeItem::ChildModelRole) << true << "c b a";
    QTest::newRow("role 0 keeps the order") << "b a c" << 0 << true << "b a c";
    QTest::newRow("one item") << "a" << name << true << "a";
    // clang-format on
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
    // clang-format off
    QTest::newRow("known name") << "nameRole" << "a b c";
    QTest::newRow("unknown name keeps the order") << "colourRole" << "b c a";
    QTest::newRow("names compare exactly") << "NameRole" << "b c a";
    QTest::newRow("a role that the table lacks") << "jsonValueRole" << "b c a";
    // clang-format on
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
    QTest::addColumn<QString>("sort");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QString>("expected");
    QTest::newRow("role, ascending") << "role" << true << "one two three x y";
    QTest::newRow("role, descending") << "role" << false << "three two one x y";
    QTest::newRow("QML function") << "qml" << true << "one two three x y";
    QTest::newRow("script function") << "script" << true << "one two three x y";
}

void TstSort::shouldSetAsideInvalidValues() {
    QFETCH(QString, sort);
    QFETCH(bool, ascending);
    QFETCH(QString, expected);
    ZEPHTreeModel model(nullptr, valueRoles());
    model.AppendItemsList(
        {new ValueItem(QStringLiteral("three"), 3), new ValueItem(QStringLiteral("x"), QVariant()),
         new ValueItem(QStringLiteral("one"), 1), new ValueItem(QStringLiteral("y"), QVariant()),
         new ValueItem(QStringLiteral("two"), 2)});
    if (sort == QLatin1String("role"))
        model.SortByRole(ValueRole, ascending);
    else if (sort == QLatin1String("qml"))
        model.SortByRoleByQMLFunction(QStringLiteral("valueRole"), ascending, lessThanFile(false),
                                      QStringLiteral("lessThan"));
    else
        model.SortByRoleByScriptFunction(QStringLiteral("valueRole"), ascending, lessThanFile(true),
                                         QStringLiteral("lessThan"));
    QCOMPARE(tree::ids(&model), expected);
}

// On an empty model the role sorts signal nothing (keeping still stores its rule); the rule sort
// and the file sorts announce their empty range.
void TstSort::shouldSignalSortsOfAnEmptyModelAsEachSortDoes() {
    ZEPHTreeModel model(nullptr, {});
    SignalLog log(&model, SignalLog::WithAboutTo);
    model.SortByRules(nameRule(true), ZEPHTreeModel::RecursiveKeepSorting);
    QCOMPARE(log.take(), QStringLiteral("data:-1--1"));
    QCOMPARE(ZEPHTreeModelAccess::flag(&model), int(ZEPHTreeModel::RecursiveKeepSorting));
    QCOMPARE(ZEPHTreeModelAccess::rules(&model), nameRule(true));

    model.SortByRole(ZEPHTreeItem::NameRole, true);
    QCOMPARE(log.take(), QString());
    QCOMPARE(ZEPHTreeModelAccess::flag(&model), int(ZEPHTreeModel::RecursiveKeepSorting));

    model.SortByRoleAndKeep(QStringLiteral("idRole"), true);
    QCOMPARE(log.take(), QString());
    QCOMPARE(ZEPHTreeModelAccess::flag(&model), int(ZEPHTreeModel::KeepSorting));
    const QVariantList rules = ZEPHTreeModelAccess::rules(&model);
    QCOMPARE(rules.size(), 1);
    QCOMPARE(rules.first().toMap().value(QStringLiteral("RoleName")), QVariant(QByteArray("idRole")));
    QCOMPARE(rules.first().toMap().value(QStringLiteral("Ascending")), QVariant(true));

    ZEPHTreeModel other(nullptr, {});
    SignalLog otherLog(&other, SignalLog::WithAboutTo);
    other.SortByRoleByQMLFunction(ZEPHTreeItem::NameRole, true, lessThanFile(false),
                                  QStringLiteral("lessThan"));
    QCOMPARE(otherLog.take(), QStringLiteral("aboutLayout data:-1--1 layout"));
    other.SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, true, lessThanFile(true),
                                     QStringLiteral("lessThan"));
    QCOMPARE(otherLog.take(), QStringLiteral("aboutLayout data:-1--1 layout aboutReset reset"));

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
            const RowMarks marks(&model);
            trial % 2 == 1 ? model.SortByRoleAndKeep(ValueRole, ascending)
                           : model.SortByRole(ValueRole, ascending);
            QVERIFY(marks.followed());
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

    // clang-format off
    QTest::newRow("name ascending then ID descending") << "b1:b a1:a b2:b a2:a" << QVariantList{rule(QStringLiteral("nameRole"), true), rule(QStringLiteral("idRole"), false)} << "a2 a1 b2 b1";
    QTest::newRow("equal items reverse in both directions") << "b1:b a:a b2:b" << QVariantList{rule(QStringLiteral("nameRole"), false)} << "b2 b1 a";
    QTest::newRow("no Ascending sorts descending") << "b a c" << QVariantList{rule(QStringLiteral("nameRole"))} << "c b a";
    QTest::newRow("unknown role reverses") << "b a c" << QVariantList{rule(QStringLiteral("sizeRole"), true)} << "c a b";
    QTest::newRow("empty list reverses") << "b a c" << QVariantList() << "c a b";
    QTest::newRow("entries that are no maps are ignored") << "b a c" << QVariantList{5, QVariantMap(), rule(QStringLiteral("nameRole"), true)} << "a b c";
    QTest::newRow("role name as byte array") << "b a c" << QVariantList{rule(QByteArray("nameRole"), true)} << "a b c";
    QTest::newRow("other keys are ignored") << "b a c" << QVariantList{QVariantMap{{QStringLiteral("RoleName"), QStringLiteral("nameRole")},
                                    // clang-format on
                                    {QStringLiteral("Ascending"), true},
                                    {QStringLiteral("Extra"), 1}}}
        << "a b c";
    // clang-format off
    QTest::newRow("strings without regard to case") << "p:a q:B r:c" << nameRule(true) << "p q r";
    QTest::newRow("null objects never decide") << "b a c" << QVariantList{rule(QStringLiteral("childModelRole"), true), rule(QStringLiteral("idRole"), true)} << "a b c";
    // clang-format on
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

// The once-per-call guard only covers the descent into child models: a sort or an insertion started
// by a listener of a sort's signals runs in full.
void TstSort::shouldRunASortThatAListenerStarts() {
    std::unique_ptr<ZEPHTreeModel> model(tree::make("2:b 1:a 3:c"));
    model->SortByRules(nameRule(true), ZEPHTreeModel::KeepSorting);
    bool inserted = false;
    connect(model.get(), &QAbstractItemModel::dataChanged, this, [&] {
        if (std::exchange(inserted, true)) return;
        model->AppendItem(tree::items(QStringLiteral("4:0")).first());
    });
    model->SortByRules(nameRule(true), ZEPHTreeModel::KeepSorting);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("4 1 2 3"));
    disconnect(model.get(), &QAbstractItemModel::dataChanged, this, nullptr);
    bool resorted = false;
    connect(model.get(), &QAbstractItemModel::dataChanged, this, [&] {
        if (!std::exchange(resorted, true)) model->SortByRules(nameRule(false), ZEPHTreeModel::None);
    });
    model->SortByRules(nameRule(true), ZEPHTreeModel::KeepSorting);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("3 2 1 4"));
    QCOMPARE(ZEPHTreeModelAccess::flag(model.get()), int(ZEPHTreeModel::None));
}

// A large keep-sorted model only places new rows among the values of its last sort while every row
// announces its changes; rows brought in silently are read again.
void TstSort::shouldResortSilentlyChangedRowsOfALargeModel() {
    QList<ZEPHTreeItem*> items;
    for (int i = 0; i < 300; ++i)
        items << new ZEPHTreeItem(QString::number(i), QStringLiteral("n%1").arg(i, 4, 10, QLatin1Char('0')),
                                  nullptr);
    std::unique_ptr<ZEPHTreeModel> model(new ZEPHTreeModel(nullptr, {}));
    QVERIFY(model->ReplaceItemsListEx(items));
    model->SortByRules(nameRule(true), ZEPHTreeModel::KeepSorting);
    items.first()->SetName(QStringLiteral("zzz"));
    QVERIFY(model->AppendItem(new ZEPHTreeItem(QStringLiteral("x"), QStringLiteral("n0005x"), nullptr)));
    QCOMPARE(model->FindItemValue(300, QStringLiteral("nameRole")).toString(), QStringLiteral("zzz"));
    QCOMPARE(model->FindItemValue(5, QStringLiteral("nameRole")).toString(), QStringLiteral("n0005x"));
}

void TstSort::shouldResortAfterEachInsertion_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("signalLog");
    QTest::addColumn<QString>("again"); // after one more insertion
    // The model holds "a b1" sorted by name; b2 has the name of b1. Every re-sort turns equal items
    // round again.
    // clang-format off
    QTest::newRow("append") << "append b2:b" << "a b2 b1" << "ins:2-2 data:0-2 count" << "a b1 b2 d";
    QTest::newRow("prepend") << "prepend b2:b" << "a b1 b2" << "ins:0-0 data:0-2 count" << "a b2 b1 d";
    QTest::newRow("insert") << "insert 1 b2:b" << "a b1 b2" << "ins:1-1 data:0-2 count" << "a b2 b1 d";
    QTest::newRow("append list") << "appendList c b2:b" << "a b2 b1 c" << "ins:2-3 data:0-3 count" << "a b1 b2 c d";
    QTest::newRow("prepend list") << "prependList c b2:b" << "a b1 b2 c" << "ins:0-1 data:0-3 count" << "a b2 b1 c d";
    // clang-format on
}

void TstSort::shouldResortAfterEachInsertion() {
    QFETCH(QString, operation);
    QFETCH(QString, expected);
    QFETCH(QString, signalLog);
    QFETCH(QString, again);
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b1:b a"));
    model->SortByRules(nameRule(true), ZEPHTreeModel::KeepSorting);
    QCOMPARE(tree::ids(model.get()), QStringLiteral("a b1"));
    SignalLog log(model.get());
    QVERIFY(tree::run(model.get(), operation));
    QCOMPARE(tree::ids(model.get()), expected);
    QCOMPARE(log.take(), signalLog);
    tree::fill(model.get(), "d");
    QCOMPARE(tree::ids(model.get()), again);
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
            const RowMarks marks(&model);
            model.SortByRules(rules);
            QVERIFY(marks.followed());
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
            const RowMarks marks(model.get());
            const int what = int(rng.bounded(9));
            // 0-1 append, 2 prepend, 3 insert, 4 append list, 5 prepend list; the rest insert nothing.
            QList<ZEPHTreeItem*> inserted;
            for (int n = what == 4 ? 3 : what == 5 ? 2 : what < 4 ? 1 : 0; n > 0; --n)
                inserted << newItem();
            const int row = int(rng.bounded(before.size() + 1));
            if (what < 2 || what == 4) {
                before << inserted;
                what == 4 ? model->AppendItemsList(inserted) : model->AppendItem(inserted.first());
            } else if (what == 2 || what == 5) {
                before = inserted + before;
                what == 5 ? model->PrependItemsList(inserted) : model->PrependItem(inserted.first());
            } else if (what == 3) {
                before.insert(row, inserted.first());
                model->InsertItem(row, inserted.first());
            } else if (what == 6) {
                // A changed name re-sorts nothing now, but must count at the next re-sort.
                before.at(row % before.size())->SetName(randomText(rng, twins, false));
            } else if (what == 7) {
                model->RemoveOne(before.takeAt(row % before.size())->ID());
            } else {
                // The filter view's refresh re-sorts without any insertion.
                model->SortByRules(rules, ZEPHTreeModel::KeepSorting);
            }
            const bool resorts = what != 6 && what != 7;
            const QList<ZEPHTreeItem*> expected = resorts ? reference::ruleSort(before, resolved) : before;
            if (rowsOf(model.get()) != expected || (resorts && !marks.followed()))
                QFAIL(qPrintable(
                    QStringLiteral("trial %1 step %2 (operation %3)").arg(trial).arg(step).arg(what)));
            flushDeletes();
        }
    }
}

// Compare functions in files ----------------------------------------------------------------------

void TstSort::shouldSortByACompareFunction_data() {
    QTest::addColumn<bool>("script");
    QTest::addColumn<QString>("code"); // a QML function body, or a whole script
    QTest::addColumn<QString>("function");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("signalLog");
    const QString qmlLog = QStringLiteral("aboutLayout data:0-2 layout");
    const QString jsLog = qmlLog + QStringLiteral(" aboutReset reset");
    const QString less = QStringLiteral("return a < b");
    const QString lessThan = QStringLiteral("function lessThan(a, b) { return a < b; }");
    // clang-format off
    QTest::newRow("QML: ascending reverses equal names") << false << less << "lessThan" << true << "a b2 b1" << qmlLog;
    QTest::newRow("QML: descending keeps equal names") << false << less << "lessThan" << false << "b1 b2 a" << qmlLog;
    QTest::newRow("QML: no such function, ascending reverses") << false << less << "other" << true << "b2 a b1" << qmlLog;
    QTest::newRow("QML: no such function, descending keeps") << false << less << "other" << false << "b1 a b2" << qmlLog;
    QTest::newRow("QML: throwing counts as false") << false << "throw new Error('no')" << "lessThan" << true << "b2 a b1" << qmlLog;
    QTest::newRow("QML: answer read as bool") << false << "return a < b ? 'yes' : 0" << "lessThan" << true << "a b2 b1" << qmlLog;
    QTest::newRow("script: ascending reverses equal names") << true << lessThan << "lessThan" << true << "a b2 b1" << jsLog;
    QTest::newRow("script: descending keeps equal names") << true << lessThan << "lessThan" << false << "b1 b2 a" << jsLog;
    QTest::newRow("script: undefined name, ascending reverses") << true << "var x = 1;" << "lessThan" << true << "b2 a b1" << jsLog;
    QTest::newRow("script: undefined name, descending keeps") << true << "var x = 1;" << "lessThan" << false << "b1 a b2" << jsLog;
    QTest::newRow("script: throwing an error counts as false") << true << "function lessThan(a, b) { throw new Error('no'); }" << "lessThan" << true << "b2 a b1" << jsLog;
    QTest::newRow("script: throwing a value counts as false") << true << "function lessThan(a, b) { throw 5; }" << "lessThan" << true << "b2 a b1" << jsLog;
    QTest::newRow("script: not callable counts as false") << true << "var lessThan = 5;" << "lessThan" << true << "b2 a b1" << jsLog;
    QTest::newRow("script: syntax error defines nothing") << true << "function lessThan(a, b) { return a <" << "lessThan" << true << "b2 a b1" << jsLog;
    QTest::newRow("script: an error value stops the sort") << true << "var lessThan = new Error('no');" << "lessThan" << true << "b1 a b2" << "";
    // clang-format on
}

void TstSort::shouldSortByACompareFunction() {
    QFETCH(bool, script);
    QFETCH(QString, code);
    QFETCH(QString, function);
    QFETCH(bool, ascending);
    QFETCH(QString, expected);
    QFETCH(QString, signalLog);
    const QString file =
        script
            ? write(QStringLiteral("compare.js"), code)
            : write(QStringLiteral("compare.qml"),
                    QStringLiteral("import QtQml 2.15\nQtObject {\n    function lessThan(a, b) { %1 }\n}\n")
                        .arg(code));
    std::unique_ptr<ZEPHTreeModel> model(tree::make("b1:b a b2:b"));
    QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    if (script)
        model->SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, ascending, file, function);
    else
        model->SortByRoleByQMLFunction(QStringLiteral("nameRole"), ascending, file, function);
    QCOMPARE(tree::ids(model.get()), expected);
    QCOMPARE(log.take(), signalLog);
}

// A QML file that cannot be used falls back to the built-in comparison; a script file that cannot be
// opened, or a missing file or function name, leaves the rows alone.
void TstSort::shouldHandleUnusableCompareFiles_data() {
    QTest::addColumn<bool>("script");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("signalLog");
    const QString typeSort = QStringLiteral("aboutLayout data:0-2 layout");
    const QString valid =
        write(QStringLiteral("f.js"), QStringLiteral("function lessThan(a, b) { return a < b; }\n"));
    const QString broken = write(QStringLiteral("broken.qml"), QStringLiteral("QtObject {"));
    const QString qmlPipe = m_dir.filePath(QStringLiteral("pipe.qml"));
    const QString jsPipe = m_dir.filePath(QStringLiteral("pipe.js"));
    ::mkfifo(QFile::encodeName(qmlPipe).constData(), 0600);
    ::mkfifo(QFile::encodeName(jsPipe).constData(), 0600);
    // clang-format off
    QTest::newRow("QML: missing file") << false << m_dir.filePath(QStringLiteral("missing.qml")) << "lessThan" << "y z x" << typeSort;
    QTest::newRow("QML: syntax error") << false << broken << "lessThan" << "y z x" << typeSort;
    QTest::newRow("QML: directory") << false << m_dir.path() << "lessThan" << "y z x" << typeSort;
    QTest::newRow("QML: device") << false << "/dev/zero" << "lessThan" << "y z x" << typeSort;
    QTest::newRow("QML: remote URL") << false << "http://example.invalid/compare.qml" << "lessThan" << "y z x" << typeSort;
    QTest::newRow("QML: pipe") << false << qmlPipe << "lessThan" << "y z x" << typeSort;
    QTest::newRow("QML: no file") << false << "" << "lessThan" << "x y z" << "";
    QTest::newRow("QML: no function") << false << valid << "" << "x y z" << "";
    QTest::newRow("script: missing file") << true << m_dir.filePath(QStringLiteral("missing.js")) << "lessThan" << "x y z" << "";
    QTest::newRow("script: directory") << true << m_dir.path() << "lessThan" << "x y z" << "";
    QTest::newRow("script: device") << true << "/dev/zero" << "lessThan" << "x y z" << "";
    QTest::newRow("script: remote URL") << true << "https://example.invalid/compare.js" << "lessThan" << "x y z" << "";
    QTest::newRow("script: pipe") << true << jsPipe << "lessThan" << "x y z" << "";
    QTest::newRow("script: no file") << true << "" << "lessThan" << "x y z" << "";
    QTest::newRow("script: no function") << true << valid << "" << "x y z" << "";
    // clang-format on
}

void TstSort::shouldHandleUnusableCompareFiles() {
    QFETCH(bool, script);
    QFETCH(QString, file);
    QFETCH(QString, function);
    QFETCH(QString, expected);
    QFETCH(QString, signalLog);
    std::unique_ptr<ZEPHTreeModel> model(tree::make("x:b y:B z:a"));
    SignalLog log(model.get(), SignalLog::WithAboutTo);
    if (script)
        model->SortByRoleByScriptFunction(ZEPHTreeItem::NameRole, true, file, function);
    else
        model->SortByRoleByQMLFunction(ZEPHTreeItem::NameRole, true, file, function);
    QCOMPARE(tree::ids(model.get()), expected);
    QCOMPARE(log.take(), signalLog);
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
    const QString qml = lessThanFile(false);
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

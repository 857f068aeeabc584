// Sorting and the filter rules, which order values by the same built-in type comparison. The sorts
// are held to references (placement into an ordered multimap, as documented) on random data; the
// tables tie them to known cases and cover signals, compare files and the filter rule semantics.
#include "SignalLog.h"
#include "TreeBuilder.h"
#include "ValueItem.h"
#include "model/ZEPHTreeModelPrivate.h"

#include <ZEPHTreeModel.h>

#include <QtTest>

#include <sys/stat.h>

namespace {

// Values of every type, with ties, case twins, NaN, texts that convert to other types, and types
// without an order. Kind 0 is the invalid value, 1 an int.
const int Kinds = 15;
QVariant randomValue(QRandomGenerator& rng, int kind) {
    static const QStringList texts{"",  "a", "A", "b", "B",  "ab", "aB",
                                   "z", "Z", "é", "É", "10", "5",  "2020-01-02"};
    const quint32 r = rng.generate();
    const QString text = texts.at(int(r % texts.size()));
    const qlonglong halfLong = std::numeric_limits<qlonglong>::max() / 2;
    switch (kind) {
    // clang-format off
    case 0: return QVariant();
    case 1: return int(r % 5) - 2;
    case 2: return QList<double>{0.5, 1.0, -0.0, 0.0, 2.5, 1e300, qQNaN()}.at(r % 7);
    case 3: return text;
    case 4: return r % 2 == 1;
    case 5: return QVariantMap{{text, 1}};
    case 6: return QDate(2020, 1, 1 + int(r % 4));
    case 7: return text.toUtf8();
    case 8: return qlonglong(r % 3) * halfLong - 1;
    case 9: return qulonglong(r % 3) * qulonglong(halfLong) * 2;
    case 10: return uint(r % 4) * 0x7fffffffu;
    case 11: return QChar(QLatin1Char("aAbB5\xe9"[r % 6]));
    case 12: return QTime(1 + int(r % 3), 0);
    case 13: return QDateTime(QDate(2021, 3, 28), QTime(1 + int(r % 3), 30));
    default: return QVariant::fromValue<QObject*>(nullptr);
    } // clang-format on
}

// Names and IDs for rule sorts: ties, non-ASCII, null strings and, when asked, case twins.
QString randomText(QRandomGenerator& rng, bool caseTwins, bool nulls) {
    static const QStringList plain{"a", "b", "ab", "abc", "b1", "z", "été", "10", "9"},
        twins{"A", "aB", "ÉTÉ", "Z"};
    if (nulls && rng.bounded(8) == 0) return QString();
    return caseTwins && rng.bounded(4) == 0 ? twins.at(int(rng.bounded(4))) : plain.at(int(rng.bounded(9)));
}

QVariantMap sortRule(const QString& roleName, const QVariant& ascending = QVariant()) {
    QVariantMap map{{"RoleName", roleName}};
    if (ascending.isValid()) map.insert("Ascending", ascending);
    return map;
}

QVariantMap filterRule(const QString& roleName, const QVariant& code, const QVariant& value) {
    return QVariantMap{{"RoleName", roleName}, {"Rule", code}, {"Value", value}};
}

// Not through GetModelItemList(): a model whose item list was handed out sorts in full from then on.
QList<ZEPHTreeItem*> rowsOf(const ZEPHTreeModel* model) {
    return ZEPHTreeModelPrivate::get(model)->rows.items();
}

// A persistent index on every row; the check answers whether each still leads to its item.
std::function<bool()> marksOn(ZEPHTreeModel* model) {
    QVector<QPair<QPersistentModelIndex, ZEPHTreeItem*>> marks;
    for (int row = 0; row < model->rowCount(); ++row)
        marks.append({QPersistentModelIndex(model->index(row, 0)), rowsOf(model).at(row)});
    return [model, marks] {
        for (const auto& mark : marks) {
            if (rowsOf(model).value(mark.first.row()) != mark.second) return false;
        }
        return true;
    };
}

// The IDs of the rows of a fresh filter view over `source`.
QString passing(ZEPHTreeModel* source, const QVariantList& rules, bool orAll = true) {
    std::unique_ptr<QObject> view(source->GetFilterModel(rules, orAll, 0));
    return tree::ids(view.get());
}

namespace reference {

using Less = std::function<bool(int placed, int incoming)>;
struct Key {
    int index;
    const Less* less;
    bool operator<(const Key& other) const { return (*less)(index, other.index); }
};

// The placement: entries put one by one into a QMultiMap whose keys compare through `less`.
QList<ZEPHTreeItem*> placed(const QList<ZEPHTreeItem*>& entries, const Less& less) {
    QMultiMap<Key, int> map;
    for (int i = 0; i < entries.size(); ++i)
        map.insert(Key{i, &less}, i);
    QList<ZEPHTreeItem*> result;
    for (int i : map)
        result << entries.at(i);
    return result;
}

// The built-in comparison, less(x, y): the type of x picks it and y is converted to that type;
// always false for a type without an order.
bool typeLess(const QVariant& x, const QVariant& y, bool ascending) {
    const auto less = [ascending](const auto& a, const auto& b) { return ascending ? a < b : !(a < b); };
    switch (x.type()) {
    // clang-format off
    case QVariant::Bool: return less(x.toBool(), y.toBool());
    case QVariant::Int: return less(x.toInt(), y.toInt());
    case QVariant::UInt: return less(x.toUInt(), y.toUInt());
    case QVariant::LongLong: return less(x.toLongLong(), y.toLongLong());
    case QVariant::ULongLong: return less(x.toULongLong(), y.toULongLong());
    case QVariant::Double: return less(x.toDouble(), y.toDouble());
    case QVariant::Char: return less(x.toChar(), y.toChar());
    case QVariant::String: return less(x.toString(), y.toString());
    case QVariant::ByteArray: return less(qstrcmp(x.toByteArray(), y.toByteArray()), 0);
    case QVariant::Date: return less(x.toDate(), y.toDate());
    case QVariant::Time: return less(x.toTime(), y.toTime());
    case QVariant::DateTime: return less(x.toDateTime(), y.toDateTime());
    default: return false;
    } // clang-format on
}

// The role sort: invalid values set aside, the others placed with `less`.
QList<ZEPHTreeItem*> roleSort(const QList<ZEPHTreeItem*>& items, int role,
                              const std::function<bool(const QVariant&, const QVariant&)>& less) {
    QList<ZEPHTreeItem*> sortable, setAside;
    QVector<QVariant> values;
    for (ZEPHTreeItem* item : items) {
        const QVariant value = item->getData(role);
        (value == QVariant() ? setAside : sortable) << item;
        if (value != QVariant()) values << value;
    }
    return placed(sortable, [&](int p, int q) { return less(values.at(p), values.at(q)); }) + setAside;
}

// The rule sort: every comparison asks both items and orders by Qt's QVariant comparison.
QList<ZEPHTreeItem*> ruleSort(const QList<ZEPHTreeItem*>& items, const QVariantList& rules) {
    QVector<QPair<int, bool>> resolved;
    for (const QVariant& entry : rules) {
        const QVariantMap map = entry.toMap();
        const int role = ValueItem::roles().key(map.value("RoleName").toString().toLatin1());
        if (!map.isEmpty()) resolved << qMakePair(role, map.value("Ascending").toBool());
    }
    return placed(items, [&](int p, int q) {
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        for (const auto& rule : resolved) {
            const QVariant a = items.at(p)->getData(rule.first), b = items.at(q)->getData(rule.first);
            if (a.isNull() || b.isNull()) continue;
            if (rule.second ? a < b : a > b) return true;
            if (rule.second ? a > b : a < b) return false;
        }
        QT_WARNING_POP
        return false;
    });
}

} // namespace reference

} // namespace

class TstSort : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;
    bool m_resources = false;

    // Every file gets a name of its own, so that no cache of the QML engine sees an older text.
    QString write(const QString& name, const QString& text) {
        QFile file(m_dir.filePath(QStringLiteral("%1-%2").arg(++m_serial).arg(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
            qFatal("cannot write %s", qPrintable(name));
        return file.fileName();
    }

private slots:
    void cleanup() { tree::flushDeletes(); }

    // A pipe, a compare file named like a URL in the working directory, and compare files in a
    // resource (compiled with rcc, registered under /sorting).
    void initTestCase() {
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath("pipe")).constData(), 0600), 0);
        const QString qml =
            write("g.qml", "import QtQml 2.15\nQtObject { function greater(a, b) { return a > b } }");
        const QString js = write("g.js", "function greater(a, b) { return a > b; }"),
                      bin = m_dir.filePath("c.rcc");
        const QString qrc =
            write("c.qrc", QString("<RCC><qresource prefix='/sorting'><file alias='g.qml'>%1</file>"
                                   "<file alias='g.js'>%2</file></qresource></RCC>")
                               .arg(qml, js));
        QVERIFY(QDir::setCurrent(m_dir.path()) && QFile::copy(js, "sort:g.js") &&
                QFile::copy(qml, "sort:g.qml"));
        const QString rcc = QLibraryInfo::location(QLibraryInfo::BinariesPath) + "/rcc";
        m_resources =
            QProcess::execute(rcc, {"-binary", qrc, "-o", bin}) == 0 && QResource::registerResource(bin);
    }

    // Role sorts of random values of every type, by the built-in comparison or a caller's comparator
    // (one that is no ordering), once or kept, or by compare files: each gives the reference placement
    // with its signals, stores its keep-sorting state and keeps persistent indexes on their items.
    void shouldPlaceByRoleLikeTheReference() {
        QRandomGenerator rng(20240611);
        const QString js = write("less.js", "function less(a, b) { return a < b; }");
        const QString qml =
            write("less.qml", "import QtQml 2.15\nQtObject { function less(a, b) { return a < b } }");
        const int role = ValueItem::ValueRole;
        int serial = 0;
        for (int trial = 0; trial < 600; ++trial) {
            const int single = int(rng.bounded(Kinds)),
                      size = trial % 50 ? int(rng.bounded(40)) : 300 + trial;
            const bool mixed = rng.bounded(4) == 0;
            const auto newItem = [&] {
                const int kind = mixed ? int(rng.bounded(Kinds)) : rng.bounded(10) ? single : 0;
                return new ValueItem(QString::number(serial++), randomValue(rng, kind));
            };
            ZEPHTreeModel model(nullptr, ValueItem::roles());
            for (int i = 0; i < size; ++i)
                model.AppendItem(newItem());
            SignalLog log(&model, SignalLog::WithAboutTo);
            for (int round = 0; round < 2; ++round) {
                const QList<ZEPHTreeItem*> before = rowsOf(&model);
                const int count = before.size(), flag = ZEPHTreeModelPrivate::get(&model)->keepSortingFlag();
                const auto followed = marksOn(&model);
                const bool ascending = rng.bounded(2), keep = rng.bounded(2);
                const quint32 salt = rng.generate();
                const PF_LESS_THAN chaotic = [salt](const QVariant& x, const QVariant& y) {
                    return (qHash(x.toString(), salt) ^ qHash(y.toString(), ~salt)) & 4;
                };
                // 0 built-in, 1 the comparator, 2 and 3 a QML and a script function over ints (where
                // JavaScript's a < b is the built-in comparison).
                int how = int(rng.bounded(4));
                if (how > 1 && (mixed || single != 1)) how = 0;
                const QList<ZEPHTreeItem*> expected =
                    reference::roleSort(before, role, [&](const QVariant& x, const QVariant& y) {
                        return how == 1 ? chaotic(x, y) == ascending : reference::typeLess(x, y, ascending);
                    });
                if (how == 0)
                    keep ? model.SortByRoleAndKeep(role, ascending) : model.SortByRole(role, ascending);
                if (how == 1)
                    keep ? model.SortByRoleAndKeep("valueRole", ascending, chaotic)
                         : model.SortByRole("valueRole", ascending, chaotic);
                if (how == 2) model.SortByRoleByQMLFunction(role, ascending, qml, "less");
                if (how == 3) model.SortByRoleByScriptFunction("valueRole", ascending, js, "less");
                QVERIFY2(rowsOf(&model) == expected,
                         qPrintable(QString("trial %1 round %2").arg(trial).arg(round)));
                QVERIFY(how == 3 || followed());
                const QString data = count ? QString("data:0-%1").arg(count - 1) : QString();
                const QString fileLog = "aboutLayout " + (count ? data : "data:-1--1") + " layout";
                QCOMPARE(log.take(), how < 2 ? data : how == 2 ? fileLog : fileLog + " aboutReset reset");
                QCOMPARE(ZEPHTreeModelPrivate::get(&model)->keepSortingFlag(), how < 2 && keep    ? 1
                                                                               : how < 2 && count ? 0
                                                                                                  : flag);
                const QVariantMap rule{{"RoleName", QByteArray("valueRole")}, {"Ascending", ascending}};
                if (how < 2 && keep)
                    QCOMPARE(ZEPHTreeModelPrivate::get(&model)->keepSortingRules(), QVariantList{rule});
                // A few rows out of place for the next round, which takes the merging paths.
                for (int n = round || !count ? 0 : int(rng.bounded(1, 4)); n > 0; --n)
                    model.MoveRow(int(rng.bounded(count)), int(rng.bounded(count)));
                log.clear();
            }
        }
    }

    // Rule sorts of plain items and of item subclasses (asked on every comparison) by random rule
    // lists, kept in force while rows are inserted, removed, renamed or sorted again: after every step
    // the rows are the reference placement of the rows as they stood, with the step's signals, and
    // persistent indexes follow their items. Large lists by ID and name (with many ties, or with
    // few) take the incremental path, mostly single appends; case twins, null names, unannounced
    // renames or reorders and other rules take the full placement.
    void shouldPlaceByRulesLikeTheReferenceAfterEveryChange() {
        QRandomGenerator rng(99);
        const QStringList roleNames{"idRole",         "nameRole",  "jsonValueRole",
                                    "childModelRole", "valueRole", "noRole"};
        for (int trial = 0; trial < 400; ++trial) {
            const bool large = trial % 20 == 0, few = trial % 40 == 20,
                       subclass = !large && rng.bounded(4) == 0;
            const bool twins = large ? trial % 80 == 40 : rng.bounded(3) == 0, nulls = rng.bounded(3) == 0;
            // A large list starts without case twins and null names, which only inserted rows bring.
            const auto newItem = [&](bool inserted) {
                const bool withTwins = twins && (inserted || !large),
                           withNulls = nulls && (inserted || !large);
                const QString id = few ? QString::number(rng.bounded(9999))
                                       : randomText(rng, withTwins, withNulls),
                              name = few ? QString::number(rng.bounded(999))
                                         : randomText(rng, withTwins, withNulls);
                ZEPHTreeItem* item = subclass ? new ValueItem(id, randomValue(rng, int(rng.bounded(Kinds))))
                                              : new ZEPHTreeItem(id, name, nullptr);
                item->SetName(name);
                return item;
            };
            QVariantList rules;
            for (int r = int(rng.bounded(large ? 1 : 0, 4)); r > 0; --r) {
                // Mostly ID and name, which take the fast paths; names as SortByRoleAndKeep stores them;
                // now and then an entry that is no rule.
                const quint32 pick = rng.bounded(large ? 2 : 10);
                const QString name = roleNames.at(pick < 7 ? int(pick % 2) : int(rng.bounded(2, 6)));
                QVariantMap map = sortRule(name, rng.bounded(4) ? QVariant(rng.bounded(2) == 1) : QVariant());
                if (pick == 9) map.insert("RoleName", name.toLatin1());
                rules << (pick != 8 ? QVariant(map) : rng.bounded(2) ? QVariant(5) : QVariant(QVariantMap()));
            }
            const int flag = large ? 1 : int(rng.bounded(3));
            ZEPHTreeModel model(nullptr, ValueItem::roles());
            QList<ZEPHTreeItem*> items;
            for (int i = large ? 256 + int(rng.bounded(100)) : int(rng.bounded(40)); i > 0; --i)
                items << newItem(false);
            // Rows brought in this way have no value-change connection: renaming them goes unannounced.
            trial % 80 == 20 ? model.ReplaceItemsListEx(items) : model.AppendItemsList(items);
            SignalLog log(&model);
            for (int step = 0; step < (large ? 60 : 8); ++step) {
                QList<ZEPHTreeItem*> before = rowsOf(&model);
                const auto followed = marksOn(&model);
                // 0 append, 1 prepend, 2 insert, 3 append list, 4 prepend list, 5 rename, 6 remove, 7 sort,
                // 8 swap two rows in the item list.
                const int what = step == 0                 ? 7
                                 : large && step == 30     ? 8
                                 : large && rng.bounded(2) ? 0
                                                           : int(rng.bounded(8)),
                          size = before.size();
                const int row = int(rng.bounded(size + 1)), first = what == 0 || what == 3 ? size
                                                                    : what == 2            ? row
                                                                                           : 0;
                QList<ZEPHTreeItem*> inserted;
                for (int n = what == 3 || what == 4 ? int(rng.bounded(1, 4)) : what < 3 ? 1 : 0; n > 0; --n)
                    inserted << newItem(true);
                log.clear();
                if (what == 0) model.AppendItem(inserted.first());
                if (what == 1) model.PrependItem(inserted.first());
                if (what == 2) model.InsertItem(row, inserted.first());
                if (what == 3) model.AppendItemsList(inserted);
                if (what == 4) model.PrependItemsList(inserted);
                if (what == 5 && size) before.at(row % size)->SetName(randomText(rng, twins, nulls));
                if (what == 6 && size) model.Remove(row % size, row % size);
                if (what == 6 && size) before.removeAt(row % size);
                if (what == 8) model.GetModelItemList()->swapItemsAt(row % size, size - 1);
                if (what == 8) before.swapItemsAt(row % size, size - 1);
                if (what == 7)
                    model.SortByRules(
                        step == 0 ? rules : ZEPHTreeModelPrivate::get(&model)->keepSortingRules(), flag);
                for (int i = 0; i < inserted.size(); ++i)
                    before.insert(first + i, inserted.at(i));
                const bool resorts = what == 7 || (what < 5 && flag);
                const QList<ZEPHTreeItem*> expected = resorts ? reference::ruleSort(before, rules) : before;
                QVERIFY2(rowsOf(&model) == expected,
                         qPrintable(QString("trial %1 step %2").arg(trial).arg(step)));
                QVERIFY(what == 6 || what == 8 || followed());
                const QString data =
                    resorts ? QString("data:%1-%2").arg(expected.isEmpty() ? -1 : 0).arg(expected.size() - 1)
                            : QString();
                const QString ins = QString("ins:%1-%2 ").arg(first).arg(first + inserted.size() - 1);
                if (what < 5 || what == 7)
                    QCOMPARE(log.take(), what == 7 ? data : ins + data + (flag ? " count" : "count"));
                QCOMPARE(ZEPHTreeModelPrivate::get(&model)->keepSortingFlag(), flag);
                QCOMPARE(ZEPHTreeModelPrivate::get(&model)->keepSortingRules(), rules);
            }
        }
    }

    // Fixed cases of the role and file sorts: the order, the signals, and the child models owned by
    // JavaScript, which no compare function's engine may take along (its teardown would delete them; the dump
    // after the deferred deletions reads them again). A call is "<sort> <role> <+|-> <function>"; "file"
    // runs the QML and the script sort on the same input, answering "QML | script" (one answer: both).
    // A file is a function body (wrapped for each engine), or the whole text for "js", "url:" and the
    // text as a file URL, or "@" and a path, where $ext is the engine's file extension.
    void shouldSortAndSignal_data() {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("signalLog");
        const QString qmlLog = "aboutLayout data:0-2 layout", jsLog = qmlLog + " aboutReset reset";
        const QString both = qmlLog + " | " + jsLog, qmlOnly = qmlLog + " | ";
        // clang-format off
        QTest::newRow("ascending reverses equal names") << "b1:b a b2:b" << "role nameRole +" << "" << "a b2 b1" << "data:0-2";
        QTest::newRow("unknown role keeps the order") << "b a c" << "role NameRole +" << "" << "b a c" << "data:0-2";
        QTest::newRow("throwing comparator") << "b a c" << "throw nameRole +" << "" << "b a c" << "data:0-2";
        QTest::newRow("comparator removes a row") << "b a c d" << "remove nameRole +" << "" << "b c d" << "aboutRem:1-1 rem:1-1 itemsRemoved:a count data:0-2";
        QTest::newRow("no such function") << "b1:b a b2:b" << "file nameRole + g" << "return a < b" << "b2 a b1" << both;
        QTest::newRow("throwing is false") << "b1:b a b2:b" << "file nameRole + f" << "throw new Error('no')" << "b2 a b1" << both;
        QTest::newRow("a number as truth value") << "b1:b a b2:b" << "file nameRole + f" << "return a < b ? 2 : 0" << "a b2 b1" << both;
        QTest::newRow("objects owned by JavaScript") << "b[x x x] c[x x] a[x]" << "file childModelRole + f" << "return a.count < b.count" << "a[x] c[x x] b[x x x]" << both;
        QTest::newRow("file URL") << "x:b y:B z:a" << "file nameRole + f" << "url:return a > b" << "x z y" << both;
        QTest::newRow("relative name with a colon") << "x:b y:B z:a" << "file nameRole + greater" << "@sort:g.$ext" << "x z y" << both;
        QTest::newRow("resource URL") << "x:b y:B z:a" << "file nameRole + greater" << "@qrc:/sorting/g.$ext" << "x z y" << both;
        QTest::newRow("missing file") << "x:b y:B z:a" << "file nameRole + f" << "@$dir/missing.$ext" << "y z x | x y z" << qmlOnly;
        QTest::newRow("device") << "x:b y:B z:a" << "file nameRole + f" << "@/dev/zero" << "y z x | x y z" << qmlOnly;
        QTest::newRow("pipe") << "x:b y:B z:a" << "file nameRole + f" << "@$dir/pipe" << "y z x | x y z" << qmlOnly;
        QTest::newRow("remote URL") << "x:b y:B z:a" << "file nameRole + f" << "@http://example.invalid/c.$ext" << "y z x | x y z" << qmlOnly;
        QTest::newRow("empty model") << "" << "file nameRole + f" << "return a < b" << "" << "aboutLayout data:-1--1 layout | aboutLayout data:-1--1 layout aboutReset reset";
        QTest::newRow("script: not callable is false") << "b1:b a b2:b" << "js nameRole + f" << "var f = 5;" << "b2 a b1" << jsLog;
        QTest::newRow("script: an error value stops") << "b1:b a b2:b" << "js nameRole + f" << "var f = new Error('no');" << "b1 a b2" << "";
        // clang-format on
    }

    void shouldSortAndSignal() {
        QFETCH(QString, rows);
        QFETCH(QString, call);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        QFETCH(QString, signalLog);
        if (file.contains("/sorting/") && !m_resources) QSKIP("rcc is not available");
        const QStringList args = call.split(' ');
        const QString roleName = args.value(1), function = args.value(3);
        const bool ascending = args.value(2) == "+";
        QStringList dumps, logs;
        for (const QString& verb :
             args.at(0) == "file" ? QStringList{"qml", "js"} : QStringList{args.at(0)}) {
            ZEPHTreeModel model(nullptr, {});
            tree::fill(&model, rows, 1);
            // (The empty model's dataChanged with invalid indexes is what the sorts document, not Qt.)
            std::unique_ptr<QObject> tester(
                rows.isEmpty() ? nullptr
                               : new QAbstractItemModelTester(
                                     &model, QAbstractItemModelTester::FailureReportingMode::QtTest));
            SignalLog log(&model, SignalLog::WithAboutTo);
            const QString wrap = args.at(0) != "file" ? "%1"
                                 : verb == "qml" ? "import QtQml 2.15\nQtObject { function f(a, b) { %1 } }"
                                                 : "function f(a, b) { %1 }";
            QString path = file.mid(1).replace("$dir", m_dir.path()).replace("$ext", verb);
            if (!file.startsWith('@'))
                path = write("c." + verb, wrap.arg(file.mid(file.startsWith("url:") ? 4 : 0)));
            if (file.startsWith("url:")) path = QUrl::fromLocalFile(path).toString();
            int calls = 0;
            const PF_LESS_THAN less = [&](const QVariant& x, const QVariant& y) {
                if (++calls == 2 && verb == "throw") throw 1;
                if (calls == 1 && verb == "remove") model.RemoveOne("a");
                return x.toString() < y.toString();
            };
            if (verb == "role") model.SortByRole(roleName, ascending);
            if (verb == "throw" || verb == "remove") model.SortByRole(roleName, ascending, less);
            if (verb == "qml") model.SortByRoleByQMLFunction(roleName, ascending, path, function);
            if (verb == "js") model.SortByRoleByScriptFunction(roleName, ascending, path, function);
            tree::flushDeletes();
            dumps << tree::dump(&model);
            logs << log.take();
        }
        if (dumps.size() == 2 && !expected.contains('|')) expected += " | " + expected;
        QCOMPARE(dumps.join(" | "), expected);
        QCOMPARE(logs.join(" | "), signalLog);
    }

    // Child models as the rule sorts (with flag 2 only) and the filter rules' descendant rule meet them: each
    // child model is sorted once per call, also around a cycle, and keeps itself sorted; views over shared
    // items do not recurse; an object that is no model of this library is passed over and has no rows;
    // a filter view as a child answers with what it shows. A sort that a listener starts runs in full.
    void shouldTakeChildModelsAsTheyAre() {
        std::unique_ptr<ZEPHTreeModel> inner(tree::make("a b"));
        std::unique_ptr<QObject> innerView(
            inner->GetFilterModel({filterRule("nameRole", ZEPHTreeModel::Eq, "b")}, true, 0));
        std::unique_ptr<ZEPHTreeModel> model(tree::make("B:b[y:b x:a[q:b p:a]] A:a C:c D:d"));
        auto* child = qobject_cast<ZEPHTreeModel*>(tree::at(model.get(), 0)->ChildModel());
        const QVariantList up{sortRule("nameRole", true)};
        std::unique_ptr<QObject> view(model->GetFilterModel({}, true, 0));
        qobject_cast<ZEPHTreeModel*>(view.get())->SortByRules(up, ZEPHTreeModel::RecursiveKeepSorting);
        model->SortByRules(up, ZEPHTreeModel::KeepSorting);
        QCOMPARE(tree::dump(view.get()) + " / " + tree::dump(model.get()),
                 QStringLiteral("A B[y x[q p]] C D / A B[y x[q p]] C D"));
        QStringListModel other({"z", "y"});
        const QList<ZEPHTreeItem*> parents{tree::at(model.get(), 2), tree::at(model.get(), 3),
                                           tree::at(child, 0)};
        parents.at(0)->SetChildModel(&other);
        parents.at(1)->SetChildModel(innerView.get());
        parents.at(2)->SetChildModel(model.get());
        SignalLog log(model.get());
        model->SortByRules(up, ZEPHTreeModel::RecursiveKeepSorting);
        QCOMPARE(tree::ids(model.get()) + " / " + tree::ids(child) + " / " +
                     tree::ids(tree::at(child, 0)->ChildModel()) + " / " + log.take(),
                 QStringLiteral("A B C D / x y / p q / data:0-3"));
        QCOMPARE(ZEPHTreeModelPrivate::get(child)->keepSortingFlag(),
                 int(ZEPHTreeModel::RecursiveKeepSorting));
        tree::fill(child, "m:ab");
        QCOMPARE(tree::ids(child), QStringLiteral("x m y"));
        QString passed;
        for (const char* name : {"a", "b", "q", "z"})
            passed += passing(model.get(), {filterRule("nameRole", ZEPHTreeModel::Eq, name)}) + "|";
        QCOMPARE(passed, QStringLiteral("A B|B D|||"));
        bool once = true;
        connect(model.get(), &QAbstractItemModel::dataChanged, this, [&] {
            if (std::exchange(once, false)) model->SortByRules({sortRule("nameRole")}, 0);
        });
        model->SortByRules(up, ZEPHTreeModel::RecursiveKeepSorting);
        QCOMPARE(tree::ids(model.get()) + " / " + tree::ids(child), QStringLiteral("D C B A / x m y"));
        for (ZEPHTreeItem* parent : parents)
            parent->SetChildModel(nullptr);
    }

    // Filter rules --------------------------------------------------------------------------------

    // Every code for one item value against one rule value: the item value's type picks the order and
    // the rule value is converted to it; types without one are neither less nor greater; the substring
    // codes search text, string lists joined with the separator. -1 and 8 are no codes.
    void shouldDecideEveryCode() {
        const QDateTime dateTime(QDate(2021, 5, 5), QTime(1, 2));
        const QVariant list(QStringList{"ab", "de"}), none;
        const auto holding = [](const QVariant& value, const QVariant& ruleValue) {
            ZEPHTreeModel source(nullptr, {});
            source.AppendItem(new ValueItem("v", value));
            QString held;
            for (int code = -1; code <= 8; ++code) {
                if (!passing(&source, {filterRule("valueRole", code, ruleValue)}).isEmpty())
                    held += QString("-1 Eq Ne Ge Gt Le Lt Sub ISub 8").split(' ').at(code + 1) + ' ';
            }
            return held.trimmed();
        };
        // clang-format off
        QCOMPARE(holding(QVariant("10"), QVariant(5)), QString("Ne Le Lt")); // text '10' below 5
        QCOMPARE(holding(QVariant(10), QVariant("9")), QString("Ne Ge Gt")); // int 10 above '9'
        QCOMPARE(holding(QVariant(2.5), QVariant("2.5")), QString("Eq Ge Le Sub ISub")); // double 2.5 as '2.5'
        QCOMPARE(holding(QVariant(true), QVariant("false")), QString("Ne Ge Gt")); // bool true above 'false'
        QCOMPARE(holding(QVariant(3u), QVariant(4)), QString("Ne Le Lt")); // uint below
        QCOMPARE(holding(QVariant(qlonglong(1) << 40), QVariant(8)), QString("Ne Ge Gt")); // long long above
        QCOMPARE(holding(QVariant(qulonglong(5)), QVariant("5")), QString("Eq Ge Le Sub ISub")); // unsigned long long as '5'
        QCOMPARE(holding(QVariant(QChar('b')), QVariant(QChar('a'))), QString("Ne Ge Gt")); // char above
        QCOMPARE(holding(QVariant(QByteArray("abc")), QVariant(QByteArray("ab"))), QString("Ne Ge Gt Sub ISub")); // bytes above a prefix
        QCOMPARE(holding(QVariant(QDate(2020, 1, 2)), QVariant("2020-01-03")), QString("Ne Le Lt")); // date below ISO text
        QCOMPARE(holding(QVariant(QTime(10, 0)), QVariant(QTime(11, 0))), QString("Ne Le Lt")); // time below
        QCOMPARE(holding(QVariant(dateTime), QVariant(dateTime)), QString("Eq Ge Le Sub ISub")); // date-time as itself
        QCOMPARE(holding(QVariant("xaby"), QVariant("AB")), QString("Ne Ge Gt ISub")); // text case
        QCOMPARE(holding(none, QVariant(1)), QString("Eq Ge Le")); // no value
        QCOMPARE(holding(none, none), QString("Eq Ge Le Sub ISub")); // no value, none to find
        QCOMPARE(holding(QVariant(QVariantMap{{"k", 1}}), QVariant("x")), QString("Eq Ge Le")); // map
        QCOMPARE(holding(QVariant(1.5f), QVariant(0)), QString("Eq Ge Le")); // float
        QCOMPARE(holding(QVariant(qQNaN()), QVariant(1.0)), QString("Eq Ge Le")); // NaN
        QCOMPARE(holding(list, QVariant("bd")), QString("Eq Ge Le")); // list, not across elements
        QCOMPARE(holding(list, QVariant("B{F185B90B-D31F-48AF-ABC6-4C516C125083}D")), QString("Eq Ge Le ISub")); // list, across the separator
        QCOMPARE(holding(list, list), QString("Eq Ge Le Sub ISub")); // list, a run of elements
        // clang-format on
    }

    // Rule lists over small trees: both combination flags, groups, malformed entries, the descendant
    // rule.
    void shouldPassByTheRuleList() {
        const QVariantMap hasA = filterRule("nameRole", ZEPHTreeModel::SubStr, "a");
        const QVariantList aAndB{hasA, filterRule("nameRole", ZEPHTreeModel::SubStr, "b")};
        const auto group = [&](const QVariant& orAll) {
            return QVariantList{
                QVariantMap{{"RoleName", "nameRole"}, {"Rules", aAndB}, {"OrAllRules", orAll}}};
        };
        const auto passes = [](const QString& shape, const QVariantList& rules, bool orAll) {
            const std::unique_ptr<ZEPHTreeModel> source(tree::make(shape));
            return passing(source.get(), rules, orAll);
        };
        // clang-format off
        QCOMPARE(passes("a b ab c", aAndB, true), QString("a b ab")); // any entry
        QCOMPARE(passes("a b ab c", aAndB, false), QString("ab")); // every entry
        QCOMPARE(passes("a b ab c", QVariantList(), false), QString("a b ab c")); // no entries
        QCOMPARE(passes("a b ab c", group(false), true), QString("ab")); // group of all
        QCOMPARE(passes("a b ab c", group(true), true), QString("a b ab")); // group of any
        QCOMPARE(passes("a b ab c", group(QVariant()), true), QString("ab")); // group flag unset
        QCOMPARE(passes("a b ab c", QVariantList{QVariantMap{{"RoleName", "nameRole"}, {"Value", "a"}}}, true), QString("")); // forgotten code makes a group
        QCOMPARE(passes("a b ab c", QVariantList{filterRule("nameRole", QVariant(), "b")}, true), QString("b")); // invalid code is Eq
        QCOMPARE(passes("a b ab c", QVariantList{filterRule("nameRole", "3", "a")}, true), QString("b ab c")); // code as text
        QCOMPARE(passes("a b ab c", QVariantList{5, hasA}, false), QString("")); // no map, every entry
        QCOMPARE(passes("a b ab c", QVariantList{5, hasA}, true), QString("a ab")); // no map, any entry
        QCOMPARE(passes("a b[c] d[e[a]] f[g]", QVariantList{filterRule("nameRole", ZEPHTreeModel::Eq, "a")}, true), QString("a d")); // itself or below
        QCOMPARE(passes("p[a b] q[ab]", aAndB, false), QString("q")); // every entry on one descendant
        // clang-format on
    }
};

QTEST_MAIN(TstSort)
#include "tst_sort.moc"

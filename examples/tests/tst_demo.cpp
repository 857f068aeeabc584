// Runs the example host as a user would, headless: on the default ISO 3166 data with a screenshot,
// on the sample JSON tree, and with bad input. Checks the printed walk, the exit codes and that the
// screenshot shows a drawn user interface; and checks the demo's item class inside a model.

#include "DemoItem.h"
#include "SignalLog.h"

#include <ZEPHTreeModel.h>

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runDemo(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(ZEPH_DEMO_EXECUTABLE), arguments);
    Run run;
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString firstMatch(const QString& text, const QString& pattern, int group = 1) {
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    return match.hasMatch() ? match.captured(group) : QString();
}

bool isDark(QRgb pixel) {
    return qGray(pixel) < 110;
}
} // namespace

class DemoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    // Items removed by a model's destructor are released with deleteLater().
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void shouldFinishWithoutErrorsOrQmlWarnings();
    void shouldPrintTheWalk_data();
    void shouldPrintTheWalk();
    void shouldKeepParentsWhoseChildrenMatch();
    void shouldSortByTheScriptCompareFunction();
    void shouldCheckTheCrossThreadLoad();
    void shouldWriteADrawnScreenshot();

    void shouldWalkAJsonTree_data();
    void shouldWalkAJsonTree();
    void shouldRefuseBadInput_data();
    void shouldRefuseBadInput();

    void shouldAnswerDemoRolesByNumberAndName_data();
    void shouldAnswerDemoRolesByNumberAndName();
    void shouldAnnounceOnlyRealChanges();
    void shouldGiveDataFieldsRolesOfTheirOwn();

private:
    QTemporaryDir m_dir;
    QString m_screenshot;
    Run m_iso;
    Run m_sample;
};

void DemoTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_screenshot = m_dir.filePath(QStringLiteral("shots/demo.png"));
    m_iso = runDemo({QStringLiteral("--screenshot"), m_screenshot, QStringLiteral("--synthetic"),
                     QStringLiteral("3000")});
    m_sample = runDemo({QStringLiteral("--data"), QStringLiteral(ZEPH_DEMO_SAMPLE), QStringLiteral("--no-ui"),
                        QStringLiteral("--synthetic"), QStringLiteral("0")});
}

void DemoTest::shouldFinishWithoutErrorsOrQmlWarnings() {
    QVERIFY2(m_iso.exitCode == 0, qPrintable(m_iso.err));
    // QML warnings name the file they come from; the UI must run without any.
    QVERIFY2(!m_iso.err.contains(QLatin1String("qrc:/qml/")), qPrintable(m_iso.err));
    QVERIFY2(!m_iso.out.contains(QLatin1String("not available")), qPrintable(m_iso.out));
}

void DemoTest::shouldPrintTheWalk_data() {
    QTest::addColumn<QString>("pattern");
    QTest::newRow("header") << R"(loaded 2\d\d top-level items, \d{4} items in all, \d{3} child models)";
    QTest::newRow("demo roles in the table")
        << R"(roles: 257 idRole, 258 nameRole, 259 childModelRole, 261 codeRole, 262 typeRole)";
    QTest::newRow("top-level lookup") << R"(FindItem\("NO"\) +-> Norway at row \d+, \d+ subdivisions)";
    QTest::newRow("child is not a top-level row") << R"(FindItem\("NO-03"\) +-> not a top-level row)";
    QTest::newRow("lookup through the tree") << R"(FindItem\("NO-03", includeChildModel\) +-> Oslo\n)";
    QTest::newRow("demo role by name through the tree")
        << R"(FindItemValueEx\("NO-03", "typeRole", true\) +-> County\n)";
    QTest::newRow("demo role by number") << R"(FindItemValue\("NO", 261 codeRole\) +-> NO\n)";
    QTest::newRow("computed role") << R"(FindItemValue\("NO", "childCountRole"\) +-> \d+\n)";
    QTest::newRow("all IDs") << R"(GetAllIDs\(ids, includeChildModel\) +-> \d{4} IDs)";
    QTest::newRow("group view") << R"(GetGroupModel\("typeRole"\) on its child model: \d+ groups)";
    QTest::newRow("group with members") << R"(London borough \(\d+\) +\S)";
    QTest::newRow("regrouped")
        << R"(UpdateGroupRole\("initialRole"\): \d+ groups: [A-Z] \d+(, [A-Z] \d+)+\n)";
    QTest::newRow("paging view") << R"(GetPagingModel\(25\): totalPage 10\n)";
    QTest::newRow("first page") << R"(page 1 of 10: 25 rows, \S.* \.\.\. \S)";
    QTest::newRow("last page") << R"(page 10 of 10: \d+ rows)";
    QTest::newRow("page past the end")
        << R"(setPage\(10\) is past the last page and refused: still page index 9)";
    QTest::newRow("partial view window")
        << R"(GetPartialModel\(5\), SetFirstPartialModelRow\(100\): 5 rows: \S)";
    QTest::newRow("partial view clamped") << R"(is clamped to row 2\d\d: 1 row: \S)";
    QTest::newRow("rule sort") << R"(most subdivisions: United Kingdom \d+, )";
    QTest::newRow("rule sort second rule") << R"(none, by name: \S)";
    QTest::newRow("rule sort leaves the source") << R"(the source keeps its order: row 0 is still \S)";
    QTest::newRow("screenshot") << R"(screenshot of the QML user interface \(1200x800\): \S+demo\.png)";
}

void DemoTest::shouldPrintTheWalk() {
    QFETCH(QString, pattern);
    QVERIFY2(QRegularExpression(pattern).match(m_iso.out).hasMatch(),
             qPrintable(pattern + QLatin1Char('\n') + m_iso.out));
}

void DemoTest::shouldKeepParentsWhoseChildrenMatch() {
    // "burg" is in no country's name; every country listed is there for a subdivision.
    const QString summary =
        firstMatch(m_iso.out, R"((\d+) of \d+ countries: 0 by their own name, (\d+) because)", 0);
    QVERIFY2(!summary.isEmpty(), qPrintable(m_iso.out));
    QVERIFY(QRegularExpression(R"(\n +DE +Germany +.*Hamburg)").match(m_iso.out).hasMatch());
    QVERIFY(QRegularExpression(R"(\n +AT +Austria +.*Burgenland, Salzburg)").match(m_iso.out).hasMatch());
    // Renaming a child brings its parent in, renaming it back takes it out again.
    const QRegularExpressionMatch live =
        QRegularExpression(
            R"(live: renaming .* brings .* in \((\d+) -> (\d+) rows\); renaming it back: (\d+) rows)")
            .match(m_iso.out);
    QVERIFY2(live.hasMatch(), qPrintable(m_iso.out));
    QCOMPARE(live.captured(2).toInt(), live.captured(1).toInt() + 1);
    QCOMPARE(live.captured(3).toInt(), live.captured(1).toInt());
}

void DemoTest::shouldSortByTheScriptCompareFunction() {
    const QStringList shortest =
        firstMatch(m_iso.out, R"(shortest: ([^\n]*)\n)").split(QStringLiteral(", "), Qt::SkipEmptyParts);
    const QString longest = firstMatch(m_iso.out, R"(longest: +([^\n]*)\n)");
    QCOMPARE(shortest.size(), 5);
    for (int i = 1; i < shortest.size(); ++i) {
        const QString& before = shortest.at(i - 1);
        const QString& after = shortest.at(i);
        QVERIFY2(before.size() < after.size() || (before.size() == after.size() && before < after),
                 qPrintable(shortest.join(QLatin1Char('|'))));
    }
    QVERIFY(longest.size() > shortest.last().size());
}

void DemoTest::shouldCheckTheCrossThreadLoad() {
    QVERIFY2(m_iso.out.contains(QLatin1String("progress: 3000/3000 items (100%)")), qPrintable(m_iso.out));
    QVERIFY(QRegularExpression(R"(\n   3000 items in \d+ ms)").match(m_iso.out).hasMatch());
    // Numbers 0..2999 containing a 7: 3000 - 9*9*9*3 (those made of the other nine digits).
    QVERIFY(m_iso.out.contains(QLatin1String("names containing \"7\") followed live: 813 items")));
    QVERIFY(m_iso.out.contains(
        QLatin1String("followed live: alpha 600, beta 600, gamma 600, delta 600, epsilon 600")));
    QVERIFY(m_iso.out.contains(QLatin1String("check: ok")));
}

void DemoTest::shouldWriteADrawnScreenshot() {
    QImage image(m_screenshot);
    QVERIFY2(!image.isNull(), qPrintable(m_screenshot));
    QCOMPARE(image.size(), QSize(1200, 800));
    image = image.convertToFormat(QImage::Format_RGB32);
    // A drawn UI: many colours (anti-aliased text), no colour covering nearly everything, and dark
    // text in the list on the left as well as in the group panel on the right.
    QHash<QRgb, int> colours;
    int darkLeft = 0, darkRight = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            ++colours[line[x]];
            if (isDark(line[x]) && y > 100 && y < 700) ++(x < 700 ? darkLeft : darkRight);
        }
    }
    int largest = 0;
    for (int count : qAsConst(colours))
        largest = qMax(largest, count);
    const int pixels = image.width() * image.height();
    QVERIFY2(colours.size() > 200, qPrintable(QString::number(colours.size())));
    QVERIFY2(largest < pixels * 0.85, qPrintable(QString::number(largest)));
    QVERIFY2(darkLeft > 2000 && darkRight > 2000,
             qPrintable(QStringLiteral("%1 %2").arg(darkLeft).arg(darkRight)));
    QVERIFY((darkLeft + darkRight) < pixels / 4);
}

void DemoTest::shouldWalkAJsonTree_data() {
    QTest::addColumn<QString>("pattern");
    QTest::newRow("counts") << R"(loaded 8 top-level items, 23 items in all, 7 child models)";
    QTest::newRow("field roles") << R"(266 initialRole, 267 radiusKmRole\n)";
    QTest::newRow("lookup") << R"(FindItem\("earth"\) +-> Earth at row 2, 1 child\n)";
    QTest::newRow("through the tree") << R"(FindItem\("moon", includeChildModel\) +-> Moon\n)";
    QTest::newRow("field by name") << R"(FindItemValueEx\("moon", "typeRole", true\) +-> regular moon\n)";
    QTest::newRow("filter keeps the parent") << R"(1 of 8 top-level items: 0 by their own name, 1 because)";
    QTest::newRow("filter row") << R"(earth +Earth +Moon\n)";
    QTest::newRow("groups") << R"(regular moon \(4\) +Io, Europa, Ganymede, \.\.\. \(\+1 more\)\n)";
    QTest::newRow("second group") << R"(irregular moon \(1\) +Himalia\n)";
    QTest::newRow("one page") << R"(GetPagingModel\(25\): totalPage 1\n)";
    QTest::newRow("rule sort") << R"(most children: Jupiter 5, Saturn 4, Mars 2, Uranus 2, Earth 1\n)";
    QTest::newRow("empty child model counts as none") << R"(none, by name: Mercury, Venus\n)";
    QTest::newRow("script sort") << R"(shortest: Mars, Earth, Venus, Saturn, Uranus\n)";
}

void DemoTest::shouldWalkAJsonTree() {
    QFETCH(QString, pattern);
    QVERIFY2(m_sample.exitCode == 0, qPrintable(m_sample.err));
    QVERIFY2(QRegularExpression(pattern).match(m_sample.out).hasMatch(),
             qPrintable(pattern + QLatin1Char('\n') + m_sample.out));
}

void DemoTest::shouldRefuseBadInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("fileContent");
    QTest::addColumn<QString>("message");
    const QString file = QStringLiteral("{file}");
    QTest::newRow("missing file") << QStringList{QStringLiteral("--data"),
                                                 m_dir.filePath(QStringLiteral("none.json"))}
                                  << QString() << "none.json: no such file";
    QTest::newRow("a folder") << QStringList{QStringLiteral("--data"), m_dir.path()} << QString()
                              << ": no such file";
    QTest::newRow("not JSON") << QStringList{QStringLiteral("--data"), file} << "{ not json"
                              << "invalid JSON at byte";
    QTest::newRow("empty list") << QStringList{QStringLiteral("--data"), file} << "[]"
                                << "expected a non-empty list";
    QTest::newRow("node without ID") << QStringList{QStringLiteral("--data"), file} << R"([{"name": "x"}])"
                                     << R"(items[0]: "id" must be a non-empty string or a number)";
    QTest::newRow("node not an object")
        << QStringList{QStringLiteral("--data"), file} << R"([{"id": "a", "children": [3]}])"
        << "items[0].children[0]: a node must be an object";
    QTest::newRow("children not a list")
        << QStringList{QStringLiteral("--data"), file} << R"({"items": [{"id": 1, "children": 5}]})"
        << R"(items[0]: "children" must be a list)";
    QTest::newRow("negative synthetic") << QStringList{QStringLiteral("--synthetic"), QStringLiteral("-3")}
                                        << QString() << "--synthetic wants a number";
    QTest::newRow("synthetic not a number")
        << QStringList{QStringLiteral("--synthetic"), QStringLiteral("many")} << QString()
        << "--synthetic wants a number";
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")} << QString()
                                    << "Unknown option";
    QTest::newRow("stray argument") << QStringList{QStringLiteral("extra")} << QString()
                                    << "unexpected argument extra";
}

void DemoTest::shouldRefuseBadInput() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, fileContent);
    QFETCH(QString, message);
    const QString fileName = m_dir.filePath(QStringLiteral("%1.json").arg(
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'))));
    if (!fileContent.isNull()) {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(fileContent.toUtf8());
    }
    arguments.replaceInStrings(QStringLiteral("{file}"), fileName);
    const Run run = runDemo(arguments << QStringLiteral("--no-ui"));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void DemoTest::shouldAnswerDemoRolesByNumberAndName_data() {
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("stored field") << int(DemoRoles::CodeRole) << "codeRole" << QVariant(QStringLiteral("NO"));
    QTest::newRow("field never set") << int(DemoRoles::ParentRole) << "parentRole" << QVariant();
    QTest::newRow("children counted") << int(DemoRoles::ChildCountRole) << "childCountRole" << QVariant(2);
    QTest::newRow("initial letter") << int(DemoRoles::InitialRole) << "initialRole"
                                    << QVariant(QStringLiteral("N"));
    QTest::newRow("library role") << int(ZEPHTreeItem::NameRole) << "nameRole"
                                  << QVariant(QStringLiteral("norway"));
    QTest::newRow("unknown role") << 999 << "noSuchRole" << QVariant();
}

void DemoTest::shouldAnswerDemoRolesByNumberAndName() {
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(QVariant, expected);
    QSharedPointer<const DemoRoles> roles(new DemoRoles);
    ZEPHTreeModel children(nullptr, roles->table());
    children.AppendItemsList({new DemoItem(roles, QStringLiteral("NO-03"), QStringLiteral("Oslo")),
                              new DemoItem(roles, QStringLiteral("NO-11"), QStringLiteral("Rogaland"))});
    DemoItem item(roles, QStringLiteral("NO"), QStringLiteral("norway"), &children);
    item.setField(DemoRoles::CodeRole, QStringLiteral("NO"));
    QCOMPARE(item.getData(role), expected);
    QCOMPARE(item.getData(name), expected);
}

void DemoTest::shouldAnnounceOnlyRealChanges() {
    QSharedPointer<const DemoRoles> roles(new DemoRoles);
    ZEPHTreeModel model(nullptr, roles->table());
    auto* item = new DemoItem(roles, QStringLiteral("NO-03"), QStringLiteral("Oslo"));
    item->setField(DemoRoles::TypeRole, QStringLiteral("County"));
    model.AppendItem(item);
    SignalLog log(&model);

    item->setData(QStringLiteral("typeRole"), QStringLiteral("County"));
    item->setData(int(DemoRoles::ChildCountRole), 5);
    item->setData(QStringLiteral("initialRole"), QStringLiteral("Z"));
    item->setData(999, QStringLiteral("x"));
    QCOMPARE(log.take(), QString());
    QCOMPARE(model.FindItemValue(0, QStringLiteral("childCountRole")), QVariant(0));

    item->setData(QStringLiteral("typeRole"), QStringLiteral("City"));
    item->setData(int(DemoRoles::TypeRole), QVariant());
    QCOMPARE(log.take(), QStringLiteral("data:0-0 data:0-0"));
    QVERIFY(!model.FindItemValue(0, int(DemoRoles::TypeRole)).isValid());
    item->setData(int(DemoRoles::TypeRole), QVariant());
    QCOMPARE(log.take(), QString());
}

void DemoTest::shouldGiveDataFieldsRolesOfTheirOwn() {
    DemoRoles roles;
    QCOMPARE(roles.addField(QStringLiteral("type")), int(DemoRoles::TypeRole));
    const int radius = roles.addField(QStringLiteral("radiusKm"));
    QCOMPARE(radius, int(DemoRoles::FirstFieldRole));
    QCOMPARE(roles.addField(QStringLiteral("mass")), radius + 1);
    QCOMPARE(roles.addField(QStringLiteral("radiusKm")), radius);
    QCOMPARE(roles.role(QStringLiteral("radiusKmRole")), radius);
    QCOMPARE(roles.table().value(radius), QByteArray("radiusKmRole"));
    QCOMPARE(roles.role(QStringLiteral("idRole")), int(ZEPHTreeItem::IdRole));
    QCOMPARE(roles.role(QStringLiteral("radiusKm")), 0);
    // Names of the library's roles stay theirs.
    QCOMPARE(roles.addField(QStringLiteral("jsonValue")), int(ZEPHTreeItem::JsonValueRole));
    QCOMPARE(roles.addField(QStringLiteral("childModel")), int(ZEPHTreeItem::ChildModelRole));
}

QTEST_GUILESS_MAIN(DemoTest)

#include "tst_demo.moc"

// Runs the example host headless as a user would: on the default data with its user interface written
// as a screenshot, on the sample JSON tree, and with bad input; checks the exit codes and the screenshot.

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class DemoTest : public QObject {
    Q_OBJECT

private slots:
    // Arguments are split at spaces; {dir} is a new folder whose data.json holds the file content.
    void shouldExitWith_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArray>("fileContent");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("default data")
            << "--screenshot {dir}/shots/demo.png --synthetic 3000" << QByteArray() << 0;
        QTest::newRow("sample tree") << "--no-ui --synthetic 0 --data {sample}" << QByteArray() << 0;
        QTest::newRow("missing file") << "--no-ui --data {dir}/none.json" << QByteArray() << 2;
        QTest::newRow("not JSON") << "--no-ui --data {dir}/data.json" << QByteArray("{ x") << 2;
        QTest::newRow("node without ID")
            << "--no-ui --data {dir}/data.json" << QByteArray(R"([{"name": 1}])") << 2;
        QTest::newRow("unknown option") << "--bogus" << QByteArray() << 2;
    }

    void shouldExitWith() {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, fileContent);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("data.json")));
        QVERIFY(fileContent.isNull() ||
                (file.open(QIODevice::WriteOnly) && file.write(fileContent) > 0 && file.flush()));
        QStringList list = arguments.replace(QStringLiteral("{dir}"), dir.path())
                               .replace(QStringLiteral("{sample}"), QStringLiteral(ZEPH_DEMO_SAMPLE))
                               .split(QLatin1Char(' '));
        QProcess demo;
        demo.start(QStringLiteral(ZEPH_DEMO_EXECUTABLE), list);
        QVERIFY(demo.waitForFinished(120000));
        QVERIFY2(demo.exitStatus() == QProcess::NormalExit && demo.exitCode() == exitCode,
                 demo.readAllStandardError().constData());
        if (list.first() == QLatin1String("--screenshot"))
            QCOMPARE(QImage(list.at(1)).size(), QSize(1200, 800));
    }
};

QTEST_GUILESS_MAIN(DemoTest)

#include "tst_demo.moc"

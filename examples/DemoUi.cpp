#include "DemoUi.h"

#include "DemoData.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QScreen>
#include <QTextStream>
#include <QTimer>

DemoUi::DemoUi(DemoTree& tree, QTextStream& out) : m_tree(tree), m_out(out) {}

QQuickWindow* DemoUi::load(QQmlApplicationEngine& engine, const UiSettings& settings) {
    if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE"))
        QQuickStyle::setStyle(QStringLiteral("Material"));
    // The QML type "IZEPHTreeModel", whose enumerations the QML reads, was registered when the
    // first model was made.
    engine.setInitialProperties({
        {QStringLiteral("treeModel"), QVariant::fromValue<QObject*>(m_tree.root())},
        {QStringLiteral("isoData"), m_tree.isIsoData()},
        {QStringLiteral("initialSearch"), settings.search},
        {QStringLiteral("initialFocus"), settings.focusId},
        {QStringLiteral("initialPageSize"), settings.pageSize},
        {QStringLiteral("width"), settings.size.width()},
        {QStringLiteral("height"), settings.size.height()},
    });
    engine.load(QUrl(QStringLiteral("qrc:/qml/Main.qml")));
    const QList<QObject*> roots = engine.rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
}

bool DemoUi::screenshot(const UiSettings& settings, const QString& fileName) {
    QQmlApplicationEngine engine;
    QQuickWindow* window = load(engine, settings);
    if (!window) {
        m_out << "zeph_demo: the QML user interface could not be loaded\n";
        return false;
    }
    // Wait for the first frame, then let bindings and delegates settle for a few more frames.
    QEventLoop loop;
    QObject::connect(window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    // The software renderer grabs into an image; where the platform's backing store cannot hand
    // one out (the offscreen platform), the screen grabs the window's last flushed frame instead.
    QImage image = window->grabWindow();
    if (image.isNull() && window->screen()) image = window->screen()->grabWindow(window->winId()).toImage();
    const QString absolute = QFileInfo(fileName).absoluteFilePath();
    QDir().mkpath(QFileInfo(absolute).absolutePath());
    if (image.isNull() || !image.save(absolute, "PNG")) {
        m_out << "zeph_demo: could not write the screenshot to " << absolute << "\n";
        return false;
    }
    m_out << "\nscreenshot of the QML user interface (" << image.width() << "x" << image.height()
          << "): " << absolute << "\n";
    m_out.flush();
    return true;
}

int DemoUi::exec(const UiSettings& settings) {
    QQmlApplicationEngine engine;
    if (!load(engine, settings)) {
        m_out << "zeph_demo: the QML user interface could not be loaded\n";
        return 1;
    }
    m_out << "\nthe window is open; close it to quit\n";
    m_out.flush();
    return QGuiApplication::exec();
}

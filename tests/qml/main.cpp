#include "TestHost.h"

#include <ZEPHTreeItem.h>
#include <ZEPHTreeModel.h>

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// The model's QML type is registered by its first construction and the item's by
// RegisterRolesEnum(), as a host application does before loading QML.
class Setup : public QObject {
    Q_OBJECT
public slots:
    void applicationAvailable() {
        ZEPHTreeModel model(nullptr, {});
        ZEPHTreeItem::RegisterRolesEnum();
    }
    // Tests fill models through "testHost", as a host application would.
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->rootContext()->setContextProperty(QStringLiteral("testHost"), new TestHost(engine));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(zeph, Setup)

#include "main.moc"

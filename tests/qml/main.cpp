#include <ZEPHTreeItem.h>
#include <ZEPHTreeModel.h>

#include <QObject>
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
};

QUICK_TEST_MAIN_WITH_SETUP(zeph, Setup)

#include "main.moc"

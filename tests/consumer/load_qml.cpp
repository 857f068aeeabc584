#ifdef HOST_FIRST
#include <ZEPHTreeModel.h>
#endif

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QUrl>
#include <cstdio>
#include <memory>

// Loads a QML file as qmlscene would, with one import path, and prints the root object's "result".
// Built with Qt alone, the library comes in through its installed QML plugins; built as a host, it
// registers the types itself first, as constructing a model and RegisterRolesEnum() do.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
#ifdef HOST_FIRST
    { ZEPHTreeModel model(nullptr, {}); }
    ZEPHTreeItem::RegisterRolesEnum();
#endif
    QQmlEngine engine;
    engine.addImportPath(QString::fromLocal8Bit(argv[1]));
    QQmlComponent component(&engine, QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2])));
    std::unique_ptr<QObject> root(component.create());
    if (!root) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(root->property("result").toString()));
    return 0;
}

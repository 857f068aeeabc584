#ifdef HOST_FIRST
#include <ZEPHTreeModel.h>
#include <ZEPHTreeModelExports.h>
#endif

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QUrl>
#include <cstdio>
#include <memory>

// Loads a QML file as qmlscene would, with one import path, and prints the root object's "result".
// Built with Qt alone, the library comes in through its installed QML plugins. Built as a host, it
// first uses the installed package: the entry points, the classes, a recursive lookup, casts that
// need the exported type information, and the registrations a host makes.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
#ifdef HOST_FIRST
    IZEPHTreeModel* model = nullptr;
    if (!CreateZEPHTreeModel(&model, nullptr, {}, 0, {}, {})) return 3;
    auto* child = new ZEPHTreeModel(nullptr, {});
    child->AppendItem(new ZEPHTreeItem(QStringLiteral("c"), QStringLiteral("C"), nullptr));
    model->AppendItem(new ZEPHTreeItem(QStringLiteral("a"), QStringLiteral("A"), child));
    auto* item = qobject_cast<ZEPHTreeItem*>(model->FindItem(QStringLiteral("c"), true));
    if (!item || item->Name() != QLatin1String("C") || !dynamic_cast<ZEPHTreeModel*>(model)) return 4;
    if (!DeleteZEPHTreeModel(&model)) return 5;
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

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QUrl>
#include <cstdio>
#include <memory>

// Loads a QML file as qmlscene would, with one import path and no host code of the library: its
// modules must come from their installed plugins. Prints the root object's "result" property.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
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

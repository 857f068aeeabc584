#include <ZEPHTreeModel.h>
#include <ZEPHTreeModelExports.h>

#include <QCoreApplication>
#include <cstdio>

// Uses the installed package as a host would: the plain entry points, the exported classes, a
// recursive lookup, and casts that need the exported meta-objects and type information.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    IZEPHTreeModel* model = nullptr;
    if (!CreateZEPHTreeModel(&model, nullptr, {}, 0, {}, {})) return 1;
    auto* child = new ZEPHTreeModel(nullptr, {});
    child->AppendItem(new ZEPHTreeItem(QStringLiteral("c"), QStringLiteral("C"), nullptr));
    model->AppendItemsList({new ZEPHTreeItem(QStringLiteral("a"), QStringLiteral("A"), child),
                            new ZEPHTreeItem(QStringLiteral("b"), QStringLiteral("B"), nullptr)});
    auto* item = qobject_cast<ZEPHTreeItem*>(model->FindItem(QStringLiteral("c"), true));
    if (!item || !dynamic_cast<ZEPHTreeModel*>(model)) return 2;
    std::printf("consumer ok %d %s\n", model->rowCount(), qPrintable(item->Name()));
    return DeleteZEPHTreeModel(&model) ? 0 : 3;
}

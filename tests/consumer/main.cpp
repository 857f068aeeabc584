#include <ZEPHTreeModel.h>
#include <ZEPHTreeModelExports.h>

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    IZEPHTreeModel* model = nullptr;
    if (!CreateZEPHTreeModel(&model, nullptr, {}, 0, {}, {}))
        return 1;
    model->AppendItemsList({new ZEPHTreeItem("a", "A", nullptr), new ZEPHTreeItem("b", "B", nullptr)});
    std::printf("consumer ok %d\n", model->rowCount());
    return DeleteZEPHTreeModel(&model) ? 0 : 1;
}

#include <ZEPHTreeModel.h>
#include <ZEPHTreeModelExports.h>

#include <QCoreApplication>
#include <QTextStream>

// Builds a two-level tree of regions and their countries and prints lookups through it.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    IZEPHTreeModel* regions = nullptr;
    if (!CreateZEPHTreeModel(&regions, nullptr, {}, 0, {}, {}))
        return 1;
    const QList<QPair<QString, QStringList>> data = {
        {QStringLiteral("Europe"), {QStringLiteral("France"), QStringLiteral("Norway")}},
        {QStringLiteral("Asia"), {QStringLiteral("Japan"), QStringLiteral("Nepal"), QStringLiteral("Laos")}},
    };
    for (const auto& region : data) {
        auto* countries = new ZEPHTreeModel(nullptr, {});
        for (const QString& country : region.second)
            countries->AppendItem(new ZEPHTreeItem(country.left(2).toUpper(), country, nullptr));
        regions->AppendItem(new ZEPHTreeItem(region.first, region.first, countries));
    }

    out << "regions: " << regions->rowCount() << "\n";
    QList<QString> ids;
    regions->GetAllIDs(ids, true);
    out << "all IDs: " << QStringList(ids).join(QLatin1Char(' ')) << "\n";
    out << "JA found through the tree: " << regions->FindItemValueEx(QStringLiteral("JA"), ZEPHTreeItem::NameRole, true).toString()
        << "\n";
    out << "JA at top level only: " << (regions->FindItem(QStringLiteral("JA"), false) ? "found" : "not found") << "\n";
    out << "row of Asia: " << regions->FindItemRow(QStringLiteral("Asia")) << "\n";
    out.flush();
    return DeleteZEPHTreeModel(&regions) ? 0 : 1;
}

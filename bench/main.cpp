// zeph_bench: ZEPHTreeModel against QStandardItemModel (+ QSortFilterProxyModel) and a plain
// std::vector / QHash baseline, same data for all, one table at the end.
//
// Options besides Google Benchmark's own (--benchmark_filter=regex, --benchmark_out=file.json ...):
//   --sizes=10000,100000   row counts to run (default 10000,100000,1000000). Above 100k rows the
//                          one-off sort is left out: QSortFilterProxyModel::sort alone takes about
//                          13 s per repetition there.
#include "Fixtures.h"
#include "TableReporter.h"
#include "Workloads.h"

#include <QCoreApplication>

#include <cstring>
#include <iostream>
#include <sstream>

namespace {

// Removes --sizes=... from the arguments; empty when not given.
std::vector<int> takeSizes(int& argc, char** argv) {
    std::vector<int> sizes;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* prefix = "--sizes=";
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0) {
            std::istringstream list(argv[i] + std::strlen(prefix));
            std::string item;
            while (std::getline(list, item, ','))
                sizes.push_back(std::stoi(item));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return sizes;
}
} // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = takeSizes(argc, argv);
    if (sizes.empty()) sizes = {10000, 100000, 1000000};
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    QCoreApplication app(argc, argv);

    const Availability& parts = availability();
    for (const QString& missing : {parts.sort, parts.keepSort, parts.filter, parts.group}) {
        if (!missing.isEmpty()) std::cout << "note: " << missing.toStdString() << "\n";
    }

    // Cases of one size run together, so the shared sources are loaded once per size.
    for (int n : sizes) {
        registerModelWorkloads(n);
        registerSortWorkloads(n);
        registerViewWorkloads(n);
        registerMemoryWorkloads(n);
    }
    registerThreadWorkloads();

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    releaseShared();
    benchmark::Shutdown();
    return 0;
}

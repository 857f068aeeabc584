// zeph_bench: ZEPHTreeModel against QStandardItemModel (+ QSortFilterProxyModel) and a plain
// std::vector / QHash baseline, same data for all, one table at the end.
//
// Options besides Google Benchmark's own (--benchmark_filter=regex, --benchmark_out=file.json ...):
//   --sizes=10000,100000   row counts to run (default 10000,100000,1000000). Above 100k rows only
//                          bulk load, lookups and memory run: the other workloads (and their Qt
//                          peers) take far more than a few seconds per run there.
#include "Fixtures.h"
#include "TableReporter.h"
#include "Workloads.h"

#include <QCoreApplication>

#include <cstring>
#include <iostream>
#include <sstream>

namespace {
constexpr int kHuge = 1000000;

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
    if (sizes.empty()) sizes = {10000, 100000, kHuge};
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    QCoreApplication app(argc, argv);

    const Availability& parts = availability();
    for (const QString& missing : {parts.sort, parts.keepSort, parts.filter, parts.group}) {
        if (!missing.isEmpty()) std::cout << "note: " << missing.toStdString() << "\n";
    }

    // Cases of one size run together, so the shared sources are loaded once per size.
    for (int n : sizes) {
        const bool huge = n > 100000;
        registerModelWorkloads(n, !huge);
        if (!huge) {
            registerSortWorkloads(n);
            registerViewWorkloads(n);
        }
        registerMemoryWorkloads(n);
    }
    registerThreadWorkloads();

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    releaseShared();
    benchmark::Shutdown();
    return 0;
}

#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <set>
#include <string>

// Collects the median of every case (named workload/contender[/n]) and prints one comparison table
// at the end of the run: each contender's median, our ratios to the best Qt peer and to the plain
// baseline, the target and whether it is met. Prints one short progress line per case meanwhile.
class TableReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    struct Cell {
        double value = -1; // negative: no value
        bool extrapolated = false;
        std::string note;
    };
    // workload -> n -> contender -> cell
    std::map<std::string, std::map<long, std::map<std::string, Cell>>> m_cells;
    std::string m_facts;
    std::set<std::string> m_printed;
};

// One line each: CPUs, CPU model, Qt version, build type.
std::string machineFacts();

#include "TableReporter.h"

#include <QSysInfo>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {
enum class Goal {
    VsQt,       // ZEPH <= 1.0 x best Qt peer
    VsBase2,    // ZEPH <= 2 x baseline
    SortGoal,   // ZEPH <= 1.0 x Qt and <= 3 x baseline
    LiveFilter, // ZEPH <= 1.0 x Qt per change, and flat in n
    Flat,       // flat in n
    KeepSorted, // <= 5 ms per insertion at 100k
    Report,     // reported only
    Memory      // ZEPH <= 1.5 x best Qt peer
};

struct Workload {
    const char* key;
    const char* title;
    const char* unit;
    const char* target;
    Goal goal;
};

const Workload kWorkloads[] = {
    {"bulk_load", "bulk load: AppendItemsList vs appendRow loop", "ms", "<= 1.0 x Qt", Goal::VsQt},
    {"append_single", "n single AppendItem vs appendRow loop", "ms", "<= 1.0 x Qt", Goal::VsQt},
    {"find_by_id", "10k FindItem by ID vs match() / QHash", "ms", "<= 2 x QHash", Goal::VsBase2},
    {"sort_by_name", "SortByRole(name) vs QSFPM::sort / stable_sort", "ms", "<= 1.0 x Qt, <= 3 x sort",
     Goal::SortGoal},
    {"filter_build", "build filter view, SubStr ~10% pass", "ms", "<= 1.0 x Qt", Goal::VsQt},
    {"live_filter", "live filter: 1,000 name changes in/out", "us/change", "<= 1.0 x Qt, flat in n",
     Goal::LiveFilter},
    {"live_group", "live group view (~100 groups): 1,000 changes", "us/change", "flat in n", Goal::Flat},
    {"keep_sorted_insert", "AppendItem into keep-sorted model", "ms/insert", "<= 5 ms at 100k",
     Goal::KeepSorted},
    {"forwarded_append", "forwarded AppendItem round trip (median)", "us", "report", Goal::Report},
    {"memory", "memory after bulk load (mallinfo2 delta)", "bytes/item", "<= 1.5 x QSI", Goal::Memory},
};

const char* const kContenders[] = {"zeph", "qsi", "qsfpm", "base"};

std::string format(double v) {
    char buffer[32];
    if (v >= 100)
        std::snprintf(buffer, sizeof buffer, "%.0f", v);
    else if (v >= 10)
        std::snprintf(buffer, sizeof buffer, "%.1f", v);
    else if (v >= 1)
        std::snprintf(buffer, sizeof buffer, "%.2f", v);
    else
        std::snprintf(buffer, sizeof buffer, "%.3f", v);
    return buffer;
}

std::string ratioText(double r) {
    if (r < 0) return "-";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, r < 0.1 ? "%.2g" : "%.2f", r);
    return buffer;
}

std::string firstLineOf(const char* path, const char* key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            const auto colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "unknown";
}
} // namespace

std::string machineFacts() {
    std::ostringstream out;
    out << "nproc " << QThread::idealThreadCount() << ", CPU " << firstLineOf("/proc/cpuinfo", "model name")
        << ", Qt " << qVersion() << ", " << QSysInfo::prettyProductName().toStdString() << ", compiler "
        << __VERSION__ <<
#ifdef NDEBUG
        ", release build (NDEBUG)";
#else
        ", build WITHOUT NDEBUG: numbers are not representative";
#endif
    std::ifstream load("/proc/loadavg");
    std::string avg;
    if (std::getline(load, avg))
        out << ", load average at start "
            << avg.substr(0, avg.find(' ', avg.find(' ', avg.find(' ') + 1) + 1));
    return out.str();
}

bool TableReporter::ReportContext(const Context& context) {
    (void)context;
    m_facts = machineFacts();
    GetOutputStream()
        << "zeph_bench: " << m_facts << "\n"
        << "Each line: a case's median over its repetitions (table value; unit in the table).\n";
    return true;
}

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        const bool aggregate = run.run_type == Run::RT_Aggregate;
        if (aggregate && run.aggregate_name != "median") continue;
        if (!aggregate && run.repetitions > 1 && !run.error_occurred) continue;
        const std::string& name = run.run_name.function_name;
        const auto slash = name.find('/');
        const std::string workload = name.substr(0, slash);
        const std::string contender = slash == std::string::npos ? "" : name.substr(slash + 1);
        const long n = run.run_name.args.empty() ? 0 : std::stol(run.run_name.args);
        Cell& cell = m_cells[workload][n][contender];
        if (run.error_occurred) {
            if (cell.value < 0) cell.note = run.error_message;
        } else {
            auto v = run.counters.find("v");
            if (v != run.counters.end()) cell.value = v->second.value;
            cell.extrapolated = run.counters.count("extrapolated") > 0;
        }
        const std::string caseName = name + (n ? "/" + std::to_string(n) : std::string());
        if (run.error_occurred && !m_printed.insert(caseName).second)
            continue; // a failing case fails in every repetition: say it once
        GetOutputStream() << "  " << name << (n ? "/" + std::to_string(n) : std::string()) << ": "
                          << (run.error_occurred ? "n/a (" + run.error_message + ")" : format(cell.value))
                          << "\n";
        GetOutputStream().flush();
    }
}

void TableReporter::Finalize() {
    std::ostream& out = GetOutputStream();
    out << "\n## Results\n\n" << m_facts << "\n\n";
    out << "Medians over repetitions; ratios are ZEPHTreeModel's value divided by the other contender's "
           "value from the same run (lower is better). '*' marks a value scaled up from a share of the "
           "work; for the live views, 'x.. per 10x n' is the growth of our time per tenfold n against the "
           "smallest n (flat: at most x2; O(log n) is about x1.25, O(n) x10).\n\n";
    out << "| workload | n | unit | ZEPHTreeModel | QStandardItemModel | QSI + QSortFilterProxyModel | "
           "std::vector / QHash | ZEPH / best Qt | ZEPH / baseline | target | verdict |\n";
    out << "|---|---|---|---|---|---|---|---|---|---|---|\n";
    std::vector<std::string> notes;
    for (const Workload& w : kWorkloads) {
        auto found = m_cells.find(w.key);
        if (found == m_cells.end()) continue;
        const auto& bySize = found->second;
        double smallestValue = -1;
        long smallestN = 0;
        for (const auto& [n, cells] : bySize) {
            auto valueOf = [&](const char* contender) {
                auto c = cells.find(contender);
                return c == cells.end() ? -1.0 : c->second.value;
            };
            const double zeph = valueOf("zeph");
            double bestQt = -1;
            for (const char* qt : {"qsi", "qsfpm"}) {
                const double v = valueOf(qt);
                if (v >= 0 && (bestQt < 0 || v < bestQt)) bestQt = v;
            }
            const double base = valueOf("base");
            const double vsQt = zeph >= 0 && bestQt > 0 ? zeph / bestQt : -1;
            const double vsBase = zeph >= 0 && base > 0 ? zeph / base : -1;

            out << "| " << w.title << " | " << (n ? std::to_string(n) : std::string("-")) << " | " << w.unit;
            for (const char* contender : kContenders) {
                auto c = cells.find(contender);
                out << " | ";
                if (c == cells.end()) {
                    out << "-";
                } else if (c->second.value >= 0) {
                    out << format(c->second.value) << (c->second.extrapolated ? "*" : "");
                } else {
                    out << "n/a";
                    notes.push_back(std::string(w.key) + "/" + contender + "/" + std::to_string(n) + ": " +
                                    c->second.note);
                }
            }

            // Growth per tenfold n against the smallest n measured for this workload.
            std::string flatness;
            bool flat = true;
            const bool judgesGrowth = w.goal == Goal::Flat || w.goal == Goal::LiveFilter;
            if (judgesGrowth && zeph >= 0) {
                if (smallestValue < 0) {
                    smallestValue = zeph;
                    smallestN = n;
                } else if (smallestValue > 0 && n > smallestN) {
                    const double perDecade =
                        std::pow(zeph / smallestValue, 1.0 / std::log10(double(n) / smallestN));
                    flat = perDecade <= 2.0;
                    flatness = "x" + ratioText(perDecade) + " per 10x n";
                }
            }

            std::string verdict;
            auto need = [&](bool ok, const std::string& what) {
                if (!ok) verdict += (verdict.empty() ? "MISS: " : ", ") + what;
            };
            if (zeph < 0) {
                verdict = "n/a";
            } else {
                switch (w.goal) {
                case Goal::VsQt:
                    need(vsQt >= 0 && vsQt <= 1.0, "vs Qt");
                    break;
                case Goal::VsBase2:
                    need(vsBase >= 0 && vsBase <= 2.0, "vs QHash");
                    break;
                case Goal::SortGoal:
                    need(vsQt >= 0 && vsQt <= 1.0, "vs Qt");
                    need(vsBase >= 0 && vsBase <= 3.0, "vs stable_sort");
                    break;
                case Goal::LiveFilter:
                    need(vsQt >= 0 && vsQt <= 1.0, "vs Qt");
                    need(flat, "not flat");
                    break;
                case Goal::Flat:
                    need(flat, "not flat");
                    break;
                case Goal::KeepSorted:
                    if (n >= 100000)
                        need(zeph <= 5.0, "> 5 ms");
                    else
                        verdict = "report";
                    break;
                case Goal::Report:
                    verdict = "report";
                    break;
                case Goal::Memory:
                    need(vsQt >= 0 && vsQt <= 1.5, "vs QSI");
                    break;
                }
                if (verdict.empty()) verdict = "ok";
                if (!flatness.empty()) verdict += "; " + flatness;
            }
            out << " | " << ratioText(vsQt) << " | " << ratioText(vsBase) << " | " << w.target << " | "
                << verdict << " |\n";
        }
    }
    if (!notes.empty()) {
        out << "\nNot measured:\n";
        for (const std::string& note : notes)
            out << "- " << note << "\n";
    }
    out.flush();
}

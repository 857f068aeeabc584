#include "TableReporter.h"

#include <QSysInfo>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {
// What a workload must meet; a limit of 0 is not checked. Ratios are ZEPH over the best Qt peer and
// over the plain baseline; `flat` asks that the time per operation grows at most 2x per tenfold n.
struct Workload {
    const char* key;
    const char* title;
    const char* unit;
    const char* target;
    double vsQt = 0;
    double vsBase = 0;
    double most = 0; // the ZEPH value itself
    bool flat = false;
};

const Workload kWorkloads[] = {
    {"bulk_load", "bulk load: AppendItemsList vs appendRow loop", "ms", "<= 1.3 x QSI", 1.3},
    {"append_single", "n single AppendItem vs appendRow loop", "ms", "<= 2.0 x QSI", 2.0},
    {"find_by_id", "10k FindItem by ID vs match() / QHash", "ms", "<= 2 x QHash", 0, 2.0},
    {"find_row", "10k FindItemRow vs match() / QHash", "ms", "<= 3 x QHash", 0, 3.0},
    {"sort_by_name", "SortByRole(name) vs QSFPM::sort / stable_sort", "ms", "<= 1.0 x Qt, <= 3 x sort", 1.0,
     3.0},
    {"filter_build", "build filter view, SubStr ~10% pass", "ms", "<= 1.0 x QSFPM", 1.0},
    {"filter_build_50", "build filter view, name >= \"m\" ~48% pass", "ms", "report"},
    {"filter_build_100", "build filter view, SubStr on ID, all pass", "ms", "report"},
    {"live_filter", "live filter: 1,000 name changes in/out", "us/change", "<= 1.0 x Qt, flat in n", 1.0, 0,
     0, true},
    {"live_group", "live group view (~100 groups): 1,000 changes", "us/change", "flat in n", 0, 0, 0, true},
    {"keep_sorted_insert", "AppendItem into keep-sorted model vs sorting proxy", "ms/insert",
     "<= 0.2 x QSFPM", 0.2},
    {"keep_sorted_view", "keep-sorted AppendItem, filter view listening, vs two proxies", "ms/insert",
     "<= 1.0 x QSFPM", 1.0},
    {"forwarded_append", "forwarded AppendItem round trip (median)", "us", "report"},
    {"memory", "memory after bulk load (mallinfo2 delta)", "bytes/item", "<= 800 B/item", 0, 0, 800},
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
            if (w.flat && zeph >= 0) {
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
                if (w.vsQt > 0) need(vsQt >= 0 && vsQt <= w.vsQt, "vs Qt");
                if (w.vsBase > 0) need(vsBase >= 0 && vsBase <= w.vsBase, "vs baseline");
                if (w.most > 0) need(zeph <= w.most, "above " + format(w.most));
                need(flat, "not flat");
                const bool judged = w.vsQt > 0 || w.vsBase > 0 || w.most > 0 || w.flat;
                if (verdict.empty()) verdict = judged ? "ok" : "report";
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

#pragma once

#include "Dataset.h"

#include <benchmark/benchmark.h>

#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <string>

class QObject;
class QStandardItemModel;
class ZEPHTreeItem;
class ZEPHTreeModel;

// Roles of the QStandardItemModel peer: the same numbers as the library's item roles, with a group
// number as the third value of every row.
enum PeerRole { PeerIdRole = Qt::UserRole + 1, PeerNameRole, PeerGroupRole };

// Wall-clock time of the measured part of one iteration (everything else is set-up).
class Stopwatch {
public:
    Stopwatch() : m_start(std::chrono::steady_clock::now()) {}
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

// Marks the measured parts for `valgrind --tool=callgrind --collect-atstart=no`; no-ops otherwise.
void profileOn();
void profileOff();

// Iterations and repetitions of one registered case; the table shows the median of the repetitions.
struct Plan {
    int iterations = 1;
    int repetitions = 5;
};
Plan planFor(int n);

// Registers workload/contender/n. The body reports its table value with reportValue().
void addCase(const std::string& workload, const std::string& contender, int n, Plan plan,
             std::function<void(benchmark::State&)> body);
// Sets the table value of a case: the sum of per-iteration values (averaged over iterations).
void reportValue(benchmark::State& state, double sumOverIterations, bool extrapolated = false);
// Stops a case with a reason that the table shows instead of a time.
void skip(benchmark::State& state, const QString& reason);

// Library side: `n` fresh items over the data (names from `names`), and a model holding them.
QList<ZEPHTreeItem*> makeItems(const Dataset& data, int n, const std::vector<QString>& names);
ZEPHTreeModel* makeModel();
ZEPHTreeModel* makeLoadedModel(const Dataset& data, int n, const std::vector<QString>& names);
ZEPHTreeItem* itemAt(ZEPHTreeModel* model, int row);
// Deletes a model or view and runs the deferred deletions it caused, as an event loop would.
void destroy(QObject* object);

// Qt side: a QStandardItemModel with the three roles per row.
QStandardItemModel* makePeerModel();
void appendPeerRow(QStandardItemModel* model, const QString& id, const QString& name, int group);
QStandardItemModel* makeLoadedPeer(const Dataset& data, int n);

// Loaded sources kept across the cases of one size: the read-only and self-restoring workloads
// share them instead of loading n rows again for every case. Asking for another size releases all.
ZEPHTreeModel* sharedModel(int n);        // names from Dataset::names
ZEPHTreeModel* sharedGroupedModel(int n); // names from Dataset::groupNames
QStandardItemModel* sharedPeer(int n);
void releaseShared();

// What the library offers right now: the sorting and view parts arrive separately, and the cases
// that need a missing part are reported as not available.
struct Availability {
    QString sort; // empty when available, otherwise why not
    QString keepSort;
    QString filter;
    QString group;
};
const Availability& availability();

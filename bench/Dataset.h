#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// The rows every contender loads: generated once per size from a fixed seed, so all contenders see
// identical data. IDs sort in load order; about one name in ten carries the filter marker.
struct Dataset {
    int n = 0;
    std::vector<QString> ids;        // "id-0000042"
    std::vector<QString> names;      // 12 random letters a..y; ~10% with kMarker inserted
    std::vector<QString> groupNames; // "group-37": ~100 distinct values, for the group view
    std::vector<int> groups;         // the group number behind groupNames
    std::vector<bool> marked;        // names[i] contains kMarker
    int markedCount = 0;
};

// The substring that the filter workloads look for; never produced by the plain name generator.
extern const QString kMarker;
constexpr int kGroupCount = 100;

// The cached data set of `n` rows.
const Dataset& dataset(int n);
// `name` with the marker inserted in the middle (a name that passes the filter).
QString markedName(const QString& name);
QString groupName(int group);
// `count` fresh random names (no marker) from their own seed, for rows added during a workload.
std::vector<QString> freshNames(int count, std::uint32_t seed);
// `count` distinct rows of `data` chosen with `seed`, only rows whose marked flag equals `marked`.
std::vector<int> pickRows(const Dataset& data, int count, std::uint32_t seed, bool marked);

#pragma once

#include <QString>

class DemoTree;
class QTextStream;
class ZEPHTreeModel;

// What the walk looks at; the defaults suit the data set (see DemoWalk::defaults).
struct WalkSettings {
    QString search;   // substring for the filter view
    QString focusId;  // the top-level item whose children are grouped
    QString lookupId; // a top-level item looked up by ID
    QString childId;  // an item below it, looked up through the tree
};

// Prints a short, readable walk through the library on a loaded tree: lookups, the filter, group,
// paging and partial views, and the two kinds of sorting. Every view it makes belongs to it and is
// deleted before the next step.
class DemoWalk {
public:
    DemoWalk(DemoTree& tree, QTextStream& out);

    /// Settings for this tree: fixed examples for the ISO data, examples taken from the data otherwise.
    static WalkSettings defaults(const DemoTree& tree);

    /// Runs every step; false when the data is unusable for the walk.
    bool run(const WalkSettings& settings);

private:
    void lookups();
    void filterView();
    void liveFilterUpdate(ZEPHTreeModel* view);
    void groupView();
    void pagingView();
    void partialView();
    void ruleSort();
    void scriptSort();

    void heading(int number, const QString& title);
    void unavailable(const char* factory);
    /// "country"/"countries" and "subdivision"/"subdivisions" for the ISO data, generic words otherwise.
    QString noun(bool top, bool many) const;
    /// The count with its noun: "13 subdivisions".
    QString plural(int count, bool top) const;

    DemoTree& m_tree;
    ZEPHTreeModel* m_root;
    QTextStream& m_out;
    WalkSettings m_settings;
};

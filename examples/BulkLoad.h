#pragma once

class DemoTree;
class QTextStream;

// Fills a new model from worker threads: each thread makes its own items and hands them over with
// AppendItemsList, which the model carries into its owner thread (this one) and waits for. A filter
// view and a group view follow the load live; afterwards the model and both views are checked
// against what the threads inserted, and the same load in the owner thread is timed for comparison.
class BulkLoad {
public:
    BulkLoad(const DemoTree& tree, QTextStream& out);

    /// Loads `count` items from `threads` threads in batches; false when a check failed.
    bool run(int count, int threads = 4, int batchSize = 250);

private:
    const DemoTree& m_tree;
    QTextStream& m_out;
};

#pragma once

#include <QSize>
#include <QString>

class DemoTree;
class QQmlApplicationEngine;
class QQuickWindow;
class QTextStream;

// The starting state of the QML user interface.
struct UiSettings {
    QString search;   // text in the search field
    QString focusId;  // the selected top-level item, whose children the group panel shows
    int pageSize = 6; // rows per page of the list
    QSize size{1200, 800};
};

// Hosts the QML user interface (qml/Main.qml and its parts) over a loaded tree. The QML makes every
// view itself from the tree model it is handed: a filter view for the search, a paging view over it,
// child filter views and partial views for the matches of each row, and a group view for the
// selected item's children.
class DemoUi {
public:
    DemoUi(DemoTree& tree, QTextStream& out);

    /// Renders the window once, off screen, and writes it to `fileName`; false on failure.
    bool screenshot(const UiSettings& settings, const QString& fileName);
    /// Opens the window and runs the event loop until it is closed; the application's exit code.
    int exec(const UiSettings& settings);

private:
    QQuickWindow* load(QQmlApplicationEngine& engine, const UiSettings& settings);

    DemoTree& m_tree;
    QTextStream& m_out;
};

#pragma once

#include <QString>
#include <QUrl>

// Where a compare-function file named by the caller lives. Accepted are local paths, ":/" resource
// paths and file: or qrc: URLs naming a regular file; anything else (remote URLs, devices, pipes,
// directories, missing files) cannot be opened, so that a sort never blocks or reads without end.
class CompareFile {
public:
    /// The path QFile opens for `name`, or an empty string when it cannot be opened.
    static QString path(const QString& name);
    /// The URL a QML engine loads the file at `path` (a result of path()) from.
    static QUrl url(const QString& path);
    /// The whole text of the file named `name`, decoded as QTextStream does; false when it cannot
    /// be opened.
    static bool readText(const QString& name, QString* text);
};

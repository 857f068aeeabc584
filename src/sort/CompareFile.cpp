#include "sort/CompareFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

QString CompareFile::path(const QString& name) {
    if (name.isEmpty()) return QString();
    QString local;
    if (name.startsWith(QLatin1String(":/")) || QFileInfo::exists(name)) {
        local = name;
    } else {
        const QUrl url(name);
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("file"))
            local = url.toLocalFile();
        else if (scheme == QLatin1String("qrc"))
            local = QLatin1Char(':') + url.path();
        else if (scheme.size() <= 1) // no scheme, or a drive letter
            local = name;
        else
            return QString();
    }
    // Only regular files: a device such as /dev/zero never ends and a pipe blocks on opening.
    const QFileInfo info(local);
    if (local.isEmpty() || !info.isFile()) return QString();
    return local;
}

QUrl CompareFile::url(const QString& path) {
    if (path.startsWith(QLatin1String(":/"))) return QUrl(QLatin1String("qrc") + path);
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

bool CompareFile::readText(const QString& name, QString* text) {
    const QString local = path(name);
    if (local.isEmpty()) return false;
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QTextStream stream(&file);
    *text = stream.readAll();
    file.close();
    return true;
}

// zeph_demo: a host application of ZEPHTreeModel. It loads a tree (by default the ISO 3166 countries
// and their subdivisions), prints a walk through lookups, views and sorting, loads synthetic items
// from worker threads, and shows the tree in a QML user interface, on screen or as a screenshot.

#include "BulkLoad.h"
#include "DemoData.h"
#include "DemoUi.h"
#include "DemoWalk.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

#include <cstring>

namespace {
const char* const kIsoFolder = "/usr/share/iso-codes/json";
constexpr int kMaxSynthetic = 5000000;

bool hasArgument(int argc, char** argv, const char* name) {
    const size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, length) == 0 && (argv[i][length] == '\0' || argv[i][length] == '='))
            return true;
    }
    return false;
}

// A screenshot is always rendered off screen with Qt Quick's software renderer; without a display
// the demo runs off screen as well, and then writes a screenshot instead of opening a window.
void choosePlatform(int argc, char** argv) {
    const bool screenshot = hasArgument(argc, argv, "--screenshot");
    const bool noDisplay =
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (screenshot || (noDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
}

bool headless() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

// Items and child models are released with deleteLater(); without a running event loop their
// deletion has to be asked for, once per level of the tree.
void releaseDeferredDeletes() {
    for (int level = 0; level < 64; ++level)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Options {
    QString dataFile;
    int synthetic = 20000;
    QString search;
    QString focus;
    QString screenshot;
    bool ui = true;
    bool walk = true;
};

// Parses the command line; false with a message on `err` for bad input.
bool parseOptions(const QCoreApplication& app, Options* options, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Explores a tree of ZEPHTreeModel items through lookups, filter, group, paging and partial views,\n"
        "sorting and a cross-thread load, then shows it in a QML user interface.\n"
        "Without --screenshot and with a display the window opens; without a display a screenshot is\n"
        "written next to the executable (zeph_demo.png)."));
    parser.addHelpOption();
    const QCommandLineOption data(
        QStringLiteral("data"),
        QStringLiteral("Load this JSON tree instead of the ISO 3166 data (see README)."),
        QStringLiteral("FILE.json"));
    const QCommandLineOption synthetic(
        QStringLiteral("synthetic"),
        QStringLiteral("Items for the cross-thread bulk load (default 20000, 0 skips it)."),
        QStringLiteral("N"));
    const QCommandLineOption search(QStringLiteral("search"),
                                    QStringLiteral("Search text for the filter view and the UI."),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption focus(QStringLiteral("focus"),
                                   QStringLiteral("ID of the top-level item whose children are grouped."),
                                   QStringLiteral("ID"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Render the UI off screen and write it to this PNG file."),
        QStringLiteral("FILE.png"));
    const QCommandLineOption noUi(QStringLiteral("no-ui"), QStringLiteral("Print the walk only."));
    const QCommandLineOption noWalk(QStringLiteral("no-walk"), QStringLiteral("Show the UI only."));
    parser.addOptions({data, synthetic, search, focus, screenshot, noUi, noWalk});
    if (!parser.parse(app.arguments())) {
        err << "zeph_demo: " << parser.errorText() << " (see --help)\n";
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty()) {
        err << "zeph_demo: unexpected argument " << parser.positionalArguments().first() << " (see --help)\n";
        return false;
    }
    options->dataFile = parser.value(data);
    if (parser.isSet(synthetic)) {
        bool ok = false;
        options->synthetic = parser.value(synthetic).toInt(&ok);
        if (!ok || options->synthetic < 0 || options->synthetic > kMaxSynthetic) {
            err << "zeph_demo: --synthetic wants a number from 0 to " << kMaxSynthetic << "\n";
            return false;
        }
    }
    options->search = parser.value(search);
    options->focus = parser.value(focus);
    options->screenshot = parser.value(screenshot);
    options->ui = !parser.isSet(noUi);
    options->walk = !parser.isSet(noWalk);
    return true;
}

int runDemo(const Options& options, QTextStream& out, QTextStream& err) {
    DemoTree tree;
    QString error;
    const bool loaded = options.dataFile.isEmpty()
                            ? tree.loadIsoCodes(QString::fromLatin1(kIsoFolder), &error)
                            : tree.loadJsonFile(options.dataFile, &error);
    if (!loaded) {
        err << "zeph_demo: " << error << "\n";
        return 2;
    }
    WalkSettings settings = DemoWalk::defaults(tree);
    if (!options.search.isEmpty()) settings.search = options.search;
    if (!options.focus.isEmpty()) settings.focusId = options.focus;

    bool ok = true;
    if (options.walk) {
        DemoWalk walk(tree, out);
        ok = walk.run(settings);
        if (ok && options.synthetic > 0) ok = BulkLoad(tree, out).run(options.synthetic);
    }
    if (!options.ui) return ok ? 0 : 1;

    DemoUi ui(tree, out);
    UiSettings uiSettings;
    uiSettings.search = settings.search;
    uiSettings.focusId = settings.focusId;
    if (!options.screenshot.isEmpty() || headless()) {
        const QString fileName = options.screenshot.isEmpty() ? QCoreApplication::applicationDirPath() +
                                                                    QStringLiteral("/zeph_demo.png")
                                                              : options.screenshot;
        return ui.screenshot(uiSettings, fileName) && ok ? 0 : 1;
    }
    const int code = ui.exec(uiSettings);
    return ok ? code : 1;
}
} // namespace

int main(int argc, char** argv) {
    choosePlatform(argc, argv);
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zeph_demo"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    Options options;
    if (!parseOptions(app, &options, err)) return 2;
    const int code = runDemo(options, out, err);
    releaseDeferredDeletes();
    return code;
}

#include "ModuleWarningFilter.h"

#include <QString>
#include <QtGlobal>

#include <atomic>

namespace {

std::atomic<QtMessageHandler> s_previous{nullptr};
std::atomic<bool> s_active{false};
QString s_muted;

void filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && s_active && message.startsWith(s_muted)) {
        ModuleWarningFilter::end();
        return;
    }
    if (QtMessageHandler previous = s_previous.load()) previous(type, context, message);
}

} // namespace

void ModuleWarningFilter::begin(const char* uri) {
    if (s_active) return;
    s_muted =
        QStringLiteral("Module '%1' does not contain a module identifier directive").arg(QLatin1String(uri));
    // Meanwhile messages of other threads go to Qt's default handler, so that none is lost. Qt answers
    // its default handler when none was installed.
    s_previous = qInstallMessageHandler(nullptr);
    s_active = true;
    qInstallMessageHandler(filter);
}

void ModuleWarningFilter::end() {
    if (s_active.exchange(false)) qInstallMessageHandler(s_previous.load());
}

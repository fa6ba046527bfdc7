#include "platform/ToolkitStartGuard.h"

#include <QMessageLogContext>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct HeldMessage {
    QtMsgType type;
    std::string file, function, category;
    int line;
    QString text;
};

std::mutex g_mutex;
const char* g_failureLine = nullptr;
std::vector<HeldMessage> g_held;

void holdOrFail(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const std::lock_guard lock(g_mutex);
    if (type == QtFatalMsg) {
        // The platform plugin's first word names the cause ("could not connect to display
        // :3"); the fatal message itself only says that no platform could start.
        QString reason = text;
        for (const HeldMessage& message : g_held)
            if (message.category.starts_with("qt.qpa")) {
                reason = message.text;
                break;
            }
        reason = reason.section(QLatin1Char('\n'), 0, 0).trimmed();
        std::fprintf(stderr, "%s (%s)\n", g_failureLine, reason.toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(1);
    }
    g_held.push_back({type, context.file ? context.file : "",
                      context.function ? context.function : "",
                      context.category ? context.category : "", context.line, text});
}

} // namespace

ToolkitStartGuard::ToolkitStartGuard(const char* failureLine) {
    const std::lock_guard lock(g_mutex);
    g_failureLine = failureLine;
    g_held.clear();
    m_previous = qInstallMessageHandler(holdOrFail);
    m_active = true;
}

ToolkitStartGuard::~ToolkitStartGuard() {
    finish();
}

void ToolkitStartGuard::finish() {
    if (!m_active)
        return;
    m_active = false;
    std::vector<HeldMessage> held;
    {
        const std::lock_guard lock(g_mutex);
        qInstallMessageHandler(m_previous);
        held.swap(g_held);
    }
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(message.file.c_str(), message.line,
                                         message.function.c_str(), message.category.c_str());
        qt_message_output(message.type, context, message.text);
    }
}

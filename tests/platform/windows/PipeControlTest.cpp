// The control pipe under Wine: the running copy's server and the command line's client in one
// program, the client on a thread of its own as it would be in a process of its own.
#include "platform/ControlConnection.h"
#include "platform/ControlTarget.h"
#include "platform/windows/PipeControlConnection.h"
#include "platform/windows/PipeControlServer.h"
#include "tests/support/QtTestApp.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>

namespace {

using Outcome = ControlReply::Outcome;

class RecordingTarget : public ControlTarget {
public:
    QString call(const QString& method) override {
        calls << method;
        return method == QLatin1String("Trash") ? QStringLiteral("No picture\nis shown")
                                                : QString();
    }
    ControlStatus status() const override { return state; }

    QStringList calls;
    ControlStatus state;
};

// The client's request, started on its own thread; this thread serves the pipe meanwhile
// until `until` holds.
std::future<ControlReply> request(std::function<ControlReply()> request,
                                  const std::function<bool()>& until = {}) {
    auto reply = std::async(std::launch::async, std::move(request));
    const QDeadlineTimer deadline(20000);
    while (reply.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready &&
           !(until && until()) && !deadline.hasExpired())
        QCoreApplication::processEvents();
    return reply;
}

ControlReply ask(std::function<ControlReply()> call) {
    return request(std::move(call)).get();
}

class PipeControlTest : public ::testing::Test {
protected:
    PipeControlTest() { ensureQtApplication(); }

    const QString m_name =
        QStringLiteral("Tessaron-test-%1").arg(QCoreApplication::applicationPid());
    PipeControlConnection m_client{m_name};
    RecordingTarget m_target;
};

TEST_F(PipeControlTest, RequestsGetTheirAnswersAndTheStateComesWithItsTypes) {
    PipeControlServer server(m_name);
    ASSERT_TRUE(server.publish(m_target));

    EXPECT_EQ(ask([&] { return m_client.call(QStringLiteral("Next")); }).outcome,
              Outcome::Answered);
    const ControlReply trash = ask([&] { return m_client.call(QStringLiteral("Trash")); });
    EXPECT_EQ(trash.outcome, Outcome::Failed);
    EXPECT_EQ(trash.error, QStringLiteral("No picture\nis shown"));
    EXPECT_EQ(m_target.calls, QStringList({"Next", "Trash"}));

    // Texts with what the line protocol uses itself: spaces, line breaks, percent signs.
    m_target.state = {.suspended = true,
                      .pausedBy = {QStringLiteral("on-battery")},
                      .sourceMode = QStringLiteral("file-list"),
                      .currentPicture = QStringLiteral("C:\\Pictures\\a b%20\nc.jpg"),
                      .secondsToNextChange = 42,
                      .screens = {},
                      .history = 3,
                      .favourites = QString()};
    const ControlReply status = ask([&] { return m_client.properties(); });
    ASSERT_EQ(status.outcome, Outcome::Answered);
    const QVariantMap expected{{"Suspended", true},
                               {"PausedBy", QStringList{"on-battery"}},
                               {"SourceMode", QStringLiteral("file-list")},
                               {"CurrentPicture", m_target.state.currentPicture},
                               {"SecondsToNextChange", 42u},
                               {"Screens", QStringList()},
                               {"History", 3u},
                               {"Favourites", QString()}};
    EXPECT_EQ(status.properties, expected);
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(status.properties.value(it.key()).metaType(), it.value().metaType())
            << it.key().toStdString();
}

TEST_F(PipeControlTest, WithNoServerOrOnlyASecondOneTheCopyIsNotRunning) {
    EXPECT_EQ(ask([&] { return m_client.call(QStringLiteral("Next")); }).outcome,
              Outcome::NotRunning);

    auto first = std::make_unique<PipeControlServer>(m_name);
    ASSERT_TRUE(first->publish(m_target));
    // A second server under the name takes none of the requests.
    RecordingTarget other;
    PipeControlServer second(m_name);
    EXPECT_FALSE(second.publish(other));

    // Quit is answered just before the program ends: the answer still reaches the client.
    std::future<ControlReply> quit = request([&] { return m_client.call(QStringLiteral("Quit")); },
                                             [&] { return !m_target.calls.isEmpty(); });
    first.reset();
    EXPECT_EQ(quit.get().outcome, Outcome::Answered);
    EXPECT_EQ(m_target.calls, QStringList{"Quit"});
    EXPECT_TRUE(other.calls.isEmpty());

    EXPECT_EQ(ask([&] { return m_client.properties(); }).outcome, Outcome::NotRunning);
}

} // namespace

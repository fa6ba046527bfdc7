#pragma once

#include "worker/ShownPicture.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <vector>

// The user's command after each change ("ChangeCommand"), for colour-scheme tools and
// lock-screen set-ups. It runs without a shell, once for each picture of the change: the text
// is split into arguments as a shell splits it (blanks, '...', "...", backslashes; nothing is
// expanded), then in every argument %f becomes the picture's path, %b the bitmap's, %s the
// screen's name and %% a "%". A run still going after its bound is killed. A failure (it
// cannot start, ends with a status other than 0, or is killed) is logged once, and again only
// after the command has succeeded or been changed. Lives on the user-interface thread.
class ChangeCommand : public QObject {
    Q_OBJECT

public:
    explicit ChangeCommand(std::chrono::milliseconds bound = std::chrono::seconds(10),
                           QObject* parent = nullptr);
    ~ChangeCommand() override;

    void run(const QString& command, const std::vector<ShownPicture>& pictures);
    // The program and its arguments for one picture; nothing when the text does not split
    // (an open quote) or is empty.
    static std::optional<QStringList> arguments(const QString& command,
                                                const ShownPicture& picture);
    // How many runs are still going.
    int running() const;

private:
    void failed(const QString& command, const QString& why);

    std::chrono::milliseconds m_bound;
    QString m_failedCommand; // the command whose failure was logged last
};

#include "transport/KnownHosts.h"

#include <QDir>
#include <QFile>
#include <QList>

namespace KnownHosts {

QString path() {
    // $HOME first: on Windows it is where the ssh of Git and MSYS keeps its hosts when set;
    // the user's profile folder (OpenSSH's) otherwise. On Linux the two are the same.
    const QString home = qEnvironmentVariable("HOME");
    return (home.isEmpty() ? QDir::homePath() : home) + QStringLiteral("/.ssh/known_hosts");
}

bool isRevoked(const QString& path, const QByteArray& key) {
    QFile file(path);
    if (key.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    // A known_hosts file of a few thousand hosts is well under this.
    const QByteArray text = file.read(16 * 1024 * 1024);
    for (const QByteArray& line : text.split('\n')) {
        // "@revoked <hosts> <type> <base64> [comment]"
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4 || fields[0] != "@revoked")
            continue;
        const auto decoded =
            QByteArray::fromBase64Encoding(fields[3], QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && *decoded == key)
            return true;
    }
    return false;
}

} // namespace KnownHosts

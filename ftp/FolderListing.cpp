#include "ftp/FolderListing.h"

#include "transport/ServerAddress.h"

#include <QSet>
#include <QUrl>

namespace FolderListing {

namespace {

bool fitsAnEntry(const QString& url) {
    return url.toUtf8().size() <= kMaxUrlBytes && !url.contains(QChar());
}

} // namespace

QString serverUrl(const QString& server) {
    if (ServerAddress::schemeOf(server))
        return server;
    return QStringLiteral("ftp://") + server;
}

QString entryUrl(const QString& server, const QString& directory, const QString& name) {
    // The reported folder follows the host: anything but an absolute path (":2990/pics",
    // ".other.example/pics") would change the port or the host, and the login with it.
    const QString folder = directory.startsWith(QLatin1Char('/')) ? directory : QString();
    QString url = serverUrl(server) + folder;
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        url += QLatin1Char('/');
    return url + name;
}

bool isPictureUrl(const QString& url, bool allTypes) {
    const QString upper = url.toUpper();
    for (const char* mark : PictureUrlMarks)
        if (upper.contains(QLatin1String(mark)))
            return true;
    if (allTypes)
        for (const char* mark : MorePictureUrlMarks)
            if (upper.contains(QLatin1String(mark)))
                return true;
    return false;
}

QStringList pictureUrls(const QString& server, const QString& directory, const QStringList& names,
                        bool allTypes) {
    QStringList urls;
    for (const QString& name : names) {
        const QString url = entryUrl(server, directory, name);
        if (isPictureUrl(url, allTypes) && fitsAnEntry(url))
            urls.append(url);
    }
    return urls;
}

QStringList webPictureUrls(const QString& folderUrl, const QStringList& links, bool allTypes) {
    const QUrl base(folderUrl);
    QStringList urls;
    QSet<QString> seen;
    for (const QString& link : links) {
        const QUrl resolved = base.resolved(QUrl(link, QUrl::TolerantMode));
        const QString scheme = resolved.scheme().toLower();
        // A link with a user part would carry a login of its own; javascript:, mailto: and
        // the like are no pictures to fetch.
        if (!resolved.isValid() || (scheme != u"http" && scheme != u"https") ||
            resolved.host().isEmpty() || !resolved.userInfo().isEmpty())
            continue;
        const QString url = resolved.toString(QUrl::FullyEncoded | QUrl::RemoveFragment);
        if (isPictureUrl(url, allTypes) && fitsAnEntry(url) && !seen.contains(url)) {
            seen.insert(url);
            urls.append(url);
        }
    }
    return urls;
}

QString downloadTarget(const QString& entry) {
    const auto scheme = ServerAddress::schemeOf(entry);
    if (scheme && *scheme != ServerAddress::Scheme::Ftp)
        return entry;
    return entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace FolderListing

#include "ftp/FolderListing.h"

namespace FolderListing {

QString entryUrl(const QString& server, const QString& directory, const QString& name) {
    QString url = QStringLiteral("ftp://") + server + directory;
    if (!directory.endsWith(QLatin1Char('/')) && !directory.endsWith(QLatin1Char('\\')))
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
        if (isPictureUrl(url, allTypes) && url.toUtf8().size() <= kMaxUrlBytes &&
            !url.contains(QChar()))
            urls.append(url);
    }
    return urls;
}

} // namespace FolderListing

// Any bytes as a server's name listing and PWD reply, and as a web folder's index page: reading
// never crashes, and every address it yields is a picture address that fits a URL-list entry.
#include "ftp/FolderListing.h"
#include "transport/FtpReplies.h"
#include "transport/HtmlIndex.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const bool complete = size > 0 && (data[0] & 1) != 0;
    const QStringList names = FtpReplies::parseNameList(bytes, 1000, complete);
    if (names.size() > 1000 || static_cast<std::size_t>(names.size()) > size / 2 + 1)
        std::abort();
    for (const QString& name : names)
        if (name.isEmpty() || FtpReplies::hasControlCharacters(name))
            std::abort();

    const QString directory = FtpReplies::parseDirectoryReply("257 " + bytes).value_or(QString());
    const QStringList urls = FolderListing::pictureUrls(QStringLiteral("host"), directory, names);
    if (urls.size() > names.size())
        std::abort();
    for (const QString& url : urls)
        if (url.toUtf8().size() > FolderListing::kMaxUrlBytes ||
            !FolderListing::isPictureUrl(url) || !url.startsWith(QLatin1String("ftp://host")))
            std::abort();

    const QStringList links = HtmlIndex::links(bytes, 1000);
    const QStringList webUrls = FolderListing::webPictureUrls("https://host/pics/", links);
    if (links.size() > 1000 || webUrls.size() > links.size())
        std::abort();
    for (const QString& url : webUrls)
        if (url.toUtf8().size() > FolderListing::kMaxUrlBytes ||
            !FolderListing::isPictureUrl(url) || !url.startsWith(QLatin1String("http")))
            std::abort();
    return 0;
}

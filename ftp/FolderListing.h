#pragma once

#include <QString>
#include <QStringList>
#include <array>

// Any one of these in the upper-cased address of a listed entry makes it a picture. The test is
// a plain substring search over the whole address, server and folder included.
inline constexpr std::array<const char*, 7> PictureUrlMarks = {".JPG", ".JPEG", ".GIF", ".TIF",
                                                               ".PCX", ".TGA",  ".BMP"};
// Marks added when "AllPictureTypes" is on.
inline constexpr std::array<const char*, 5> MorePictureUrlMarks = {".PNG", ".WEBP", ".HEIC",
                                                                   ".HEIF", ".AVIF"};

// Turning a server folder's names into the picture addresses of the URL list, and a URL-list
// entry back into what a download asks for.
namespace FolderListing {

// The most UTF-8 bytes one URL-list entry holds; a longer address is skipped, never cut.
inline constexpr qsizetype kMaxUrlBytes = 519;
// The most addresses a listing gives: far more than anyone looks through, and a list file
// (520 bytes an entry) of 52 MB, rewritten at every save.
inline constexpr qsizetype kMaxEntries = 100000;

// The server field as the start of an address: "ftp://" + server for plain FTP, the field as
// typed when it carries its own scheme ("sftp://nas:2222").
QString serverUrl(const QString& server);

// serverUrl(server) + directory + "/" (unless the directory ends in "/" or "\") + name. A
// directory that is not an absolute path ("/...") is left out, so that the address always
// names the server's own host and port.
QString entryUrl(const QString& server, const QString& directory, const QString& name);

// `allTypes` adds MorePictureUrlMarks.
bool isPictureUrl(const QString& url, bool allTypes = false);

// The addresses of the names that are pictures and fit an entry, in the names' order.
QStringList pictureUrls(const QString& server, const QString& directory, const QStringList& names,
                        bool allTypes = false);

// The links of a web folder's index page resolved against the folder's address `folderUrl`:
// those that are web addresses, carry a picture mark and fit an entry, in page order, each
// once.
QStringList webPictureUrls(const QString& folderUrl, const QStringList& links,
                           bool allTypes = false);

// What a download of the URL-list entry asks for: the whole entry when it carries a scheme of
// its own other than plain FTP (ftps, sftp, http, https); otherwise the name after its last
// "/", fetched from the configured server and folder.
QString downloadTarget(const QString& entry);

} // namespace FolderListing

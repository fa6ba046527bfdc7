#include "transport/CurlFtpClient.h"

#include "platform/LogCategories.h"
#include "platform/RegularFile.h"
#include "transport/FtpReplies.h"
#include "transport/HtmlIndex.h"
#include "transport/KnownHosts.h"
#include "transport/ServerAddress.h"

#include <QFile>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <optional>

namespace {

using Scheme = ServerAddress::Scheme;

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using CommandList = std::unique_ptr<curl_slist, ListDeleter>;

// What the callbacks of one operation share.
struct Operation {
    const FtpAbortCheck* abort = nullptr;
    bool aborted = false;
    bool loggedIn = false;
    std::optional<QString> directory; // from the last "257" reply seen
    std::optional<curl_khmatch> hostKey;
    QString knownHosts;
    bool hostKeyRevoked = false;
    // Download target, or listing buffer.
    QFile* file = nullptr;
    QByteArray* buffer = nullptr;
    std::int64_t received = 0;
    std::int64_t maxBytes = 0;
    bool overLimit = false;
    bool writeFailed = false;
    // The listing is read from the debug callback (onDebug), not the write callback.
    bool rawListing = false;
    char error[CURL_ERROR_SIZE] = {};
};

int onProgress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* operation = static_cast<Operation*>(data);
    if (*operation->abort && (*operation->abort)()) {
        operation->aborted = true;
        return 1;
    }
    return 0;
}

// libcurl hands every reply line of an FTP control connection to the header callback (and the
// answer to an SFTP "pwd" in the same form).
size_t onReply(char* data, size_t size, size_t count, void* user) {
    auto* operation = static_cast<Operation*>(user);
    const QByteArray line(data, static_cast<qsizetype>(size * count));
    if (line.startsWith("230"))
        operation->loggedIn = true;
    if (std::optional<QString> directory = FtpReplies::parseDirectoryReply(line))
        operation->directory = directory;
    return size * count;
}

// A listing keeps what fits; the names cut at the bound are dropped later. False once the
// bound is passed.
bool keepListing(Operation& operation, const char* data, std::int64_t bytes) {
    const std::int64_t room = operation.maxBytes - operation.received;
    operation.buffer->append(data, static_cast<qsizetype>(std::min(bytes, room)));
    operation.received += std::min(bytes, room);
    if (bytes > room)
        operation.overLimit = true;
    return bytes <= room;
}

size_t onData(char* data, size_t size, size_t count, void* user) {
    auto* operation = static_cast<Operation*>(user);
    const auto bytes = static_cast<std::int64_t>(size * count);
    if (operation->file) {
        // A download beyond the bound is no picture we want: the whole of it fails.
        if (bytes > operation->maxBytes - operation->received) {
            operation->overLimit = true;
            return 0; // ends the transfer
        }
        if (operation->file->write(data, bytes) != bytes) {
            operation->writeFailed = true;
            return 0;
        }
        operation->received += bytes;
    } else if (operation->rawListing ? operation->overLimit
                                     : !keepListing(*operation, data, bytes)) {
        return 0;
    }
    return size * count;
}

// libcurl reads an FTP listing in ASCII mode and, off Windows, turns each lone CR into a line
// end before the write callback sees it: one name holding a CR would come as two names. The
// debug callback gets the bytes as the server sent them.
int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* operation = static_cast<Operation*>(user);
    if (type == CURLINFO_DATA_IN && operation->rawListing && !operation->overLimit)
        keepListing(*operation, data, static_cast<std::int64_t>(size));
    return 0;
}

// Only hosts whose key ~/.ssh/known_hosts holds, and does not mark revoked, are accepted;
// which way a key failed is kept for the message.
int onHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* user) {
    auto* operation = static_cast<Operation*>(user);
    operation->hostKey = match;
    // The server's key comes as raw bytes (a length), or as base64 text (no length).
    const QByteArray key = !found || !found->key ? QByteArray()
                           : found->len > 0
                               ? QByteArray(found->key, static_cast<qsizetype>(found->len))
                               : QByteArray::fromBase64(QByteArray(found->key));
    if (KnownHosts::isRevoked(operation->knownHosts, key)) {
        operation->hostKeyRevoked = true;
        return CURLKHSTAT_REJECT;
    }
    return match == CURLKHMATCH_OK ? CURLKHSTAT_FINE : CURLKHSTAT_REJECT;
}

QByteArray encodePath(const QString& path) {
    return QUrl::toPercentEncoding(path, "/~");
}

// One operation's address and what it sends.
struct Request {
    ServerAddress address;
    QByteArray url;
    QString login;
    QString password;
    // The FTP commands sent after login and before the transfer.
    CommandList commands;
};

QByteArray origin(const ServerAddress& address) {
    // FTPS is explicit TLS: it starts as plain FTP on the FTP port and asks for TLS at once.
    const Scheme scheme = address.scheme == Scheme::Ftps ? Scheme::Ftp : address.scheme;
    return QByteArray(ServerAddress::schemeName(scheme)) + "://" + address.host + ":" +
           QByteArray::number(address.port);
}

// A folder of the server field as a path ending in "/": relative to the login folder unless
// it starts with "/" (SFTP); under the host (web).
QByteArray folderPath(const ServerAddress& address, const QString& folder) {
    QString path = folder;
    if (address.scheme == Scheme::Sftp && !path.startsWith(QLatin1Char('/')))
        path.prepend(QStringLiteral("/~/"));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    if (!path.endsWith(QLatin1Char('/')))
        path.append(QLatin1Char('/'));
    return encodePath(path);
}

// The commands after login: the change of folder (FTP), then optionally a PWD whose failure
// is not an error (the leading '*'). SFTP answers its "pwd" itself, with the absolute path of
// the address; that answer also shows the login succeeded.
CommandList folderCommands(const ServerAddress& address, const QString& folder, bool askDirectory) {
    curl_slist* list = nullptr;
    if (address.scheme == Scheme::Sftp) {
        list = curl_slist_append(list, "pwd");
    } else if (!address.isWeb()) {
        if (!folder.isEmpty())
            list = curl_slist_append(list, ("CWD " + folder.toUtf8()).constData());
        if (askDirectory)
            list = curl_slist_append(list, "*PWD");
    }
    return CommandList(list);
}

// The CA bundle named by TESSARON_CA_BUNDLE, added to the system's store (never in place of
// it). Empty when the variable is unset or names nothing readable.
QByteArray certificateBlob(CURL* c) {
    const QString extraPath = qEnvironmentVariable("TESSARON_CA_BUNDLE");
    if (extraPath.isEmpty())
        return {};
    QFile extra(extraPath);
    if (!extra.open(QIODevice::ReadOnly)) {
        qCWarning(lcFtp).noquote() << "TESSARON_CA_BUNDLE" << extraPath
                                   << "cannot be read; only the system's certificates are used";
        return {};
    }
    QByteArray blob;
    char* systemPath = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CAINFO, &systemPath) == CURLE_OK && systemPath) {
        QFile system(QString::fromLocal8Bit(systemPath));
        if (system.open(QIODevice::ReadOnly))
            blob = system.readAll() + '\n';
    }
    return blob + extra.read(16 * 1024 * 1024);
}

// A handle for one operation: the protocol's login and security, the bounds, no change of
// folder of libcurl's own (an FTP folder is entered by an explicit CWD).
EasyHandle makeHandle(const Request& request, const FtpLimits& limits, Operation& operation,
                      QByteArray& certificates) {
    // Set up at the first transfer, not at start: a slide show of local pictures never pays
    // for the TLS libraries' start (over 2 MB resident).
    initialiseCurlOnce();
    EasyHandle curl(curl_easy_init());
    if (!curl)
        return curl;
    CURL* c = curl.get();
    const Scheme scheme = request.address.scheme;
    curl_easy_setopt(c, CURLOPT_URL, request.url.constData());
    // Only the protocol asked for: no redirect or URL trick can switch to another.
    const char* protocol = scheme == Scheme::Ftps ? "ftp" : ServerAddress::schemeName(scheme);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocol);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, operation.error);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    if (!request.login.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, request.login.toUtf8().constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, request.password.toUtf8().constData());
    }
    if (request.commands)
        curl_easy_setopt(c, CURLOPT_QUOTE, request.commands.get());

    switch (scheme) {
    case Scheme::Ftp:
        curl_easy_setopt(c, CURLOPT_FTPPORT, "-"); // active: the server connects back to us
        break;
    case Scheme::Ftps:
        // TLS on the control and every data connection, or nothing is sent at all; passive,
        // as servers behind TLS expect.
        curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(c, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        break;
    case Scheme::Sftp: {
        curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES,
                         static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
        // Without a known-hosts file libcurl would accept any host key.
        operation.knownHosts = KnownHosts::path();
        const QByteArray knownHosts = QFile::encodeName(operation.knownHosts);
        curl_easy_setopt(c, CURLOPT_SSH_KNOWNHOSTS, knownHosts.constData());
        curl_easy_setopt(c, CURLOPT_SSH_KEYFUNCTION, &onHostKey);
        curl_easy_setopt(c, CURLOPT_SSH_KEYDATA, &operation);
        break;
    }
    case Scheme::Http:
    case Scheme::Https:
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
        break;
    }
    if (scheme == Scheme::Ftp || scheme == Scheme::Ftps) {
        curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
    }
    if (scheme == Scheme::Ftps || scheme == Scheme::Https) {
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
        certificates = certificateBlob(c);
        if (!certificates.isEmpty()) {
            curl_blob blob{certificates.data(), static_cast<size_t>(certificates.size()),
                           CURL_BLOB_NOCOPY};
            curl_easy_setopt(c, CURLOPT_CAINFO_BLOB, &blob);
        }
    }

    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(
        c, CURLOPT_SERVER_RESPONSE_TIMEOUT,
        static_cast<long>(std::max<long long>(1, limits.responseTimeout.count() / 1000)));
    curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(limits.acceptTimeout.count()));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallTime.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(limits.totalTimeout.count()));

    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &operation);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &onReply);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &operation);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &onData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &operation);
    return curl;
}

bool isTlsFailure(CURLcode code) {
    return code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_USE_SSL_FAILED ||
           code == CURLE_SSL_CONNECT_ERROR || code == CURLE_SSL_CACERT_BADFILE;
}

FtpStatus statusOf(CURL* curl, CURLcode code, const Operation& operation, Scheme scheme,
                   bool listing) {
    if (code == CURLE_OK)
        return FtpStatus::Ok;
    if (operation.aborted)
        return FtpStatus::Aborted;
    if (operation.hostKeyRevoked)
        return FtpStatus::HostKeyRevoked;
    if (operation.hostKey && *operation.hostKey != CURLKHMATCH_OK)
        return *operation.hostKey == CURLKHMATCH_MISMATCH ? FtpStatus::HostKeyMismatch
                                                          : FtpStatus::HostKeyUnknown;
    if (scheme == Scheme::Sftp && code == CURLE_PEER_FAILED_VERIFICATION)
        return FtpStatus::HostKeyUnknown;
    if ((scheme == Scheme::Ftps || scheme == Scheme::Https) && isTlsFailure(code))
        return FtpStatus::CertificateRejected;

    if (scheme == Scheme::Http || scheme == Scheme::Https) {
        long response = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response);
        if (response == 0 || response == 401 || response == 403 || response == 407)
            return FtpStatus::SessionFailed;
        if (listing && (response == 404 || response == 410))
            return FtpStatus::FolderNotFound;
        return FtpStatus::TransferFailed;
    }
    if (scheme == Scheme::Sftp) {
        // The "pwd" answer comes only after the login.
        if (!operation.directory)
            return FtpStatus::SessionFailed;
        if (listing && (code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_REMOTE_ACCESS_DENIED))
            return FtpStatus::FolderNotFound;
        return FtpStatus::TransferFailed;
    }
    if (!operation.loggedIn)
        return FtpStatus::SessionFailed;
    if (code == CURLE_QUOTE_ERROR)
        return FtpStatus::FolderNotFound;
    return FtpStatus::TransferFailed;
}

const char* describe(FtpStatus status) {
    switch (status) {
    case FtpStatus::Ok:
        return "done";
    case FtpStatus::SessionFailed:
        return "no session";
    case FtpStatus::FolderNotFound:
        return "folder not found";
    case FtpStatus::TransferFailed:
        return "transfer failed";
    case FtpStatus::CertificateRejected:
        return "TLS certificate not verified or no TLS offered";
    case FtpStatus::HostKeyUnknown:
        return "SSH host key not in ~/.ssh/known_hosts";
    case FtpStatus::HostKeyMismatch:
        return "SSH host key does not match ~/.ssh/known_hosts";
    case FtpStatus::HostKeyRevoked:
        return "SSH host key is marked @revoked in ~/.ssh/known_hosts";
    case FtpStatus::Aborted:
        return "aborted";
    }
    return "failed";
}

// One warning line per failure, with the reason; a stop asked for is no failure. The server
// text is logged as typed, the login and password never.
FtpStatus logged(FtpStatus status, const QString& what, const QString& server,
                 const QString& detail = {}) {
    if (status == FtpStatus::Ok || status == FtpStatus::Aborted)
        return status;
    QString line = what + QStringLiteral(" on ") + server + QStringLiteral(" failed: ") +
                   QLatin1String(describe(status));
    if (!detail.isEmpty())
        line += QStringLiteral(" (") + detail + QLatin1Char(')');
    qCWarning(lcFtp).noquote() << line;
    return status;
}

QString curlDetail(CURLcode code, const Operation& operation) {
    if (code == CURLE_OK)
        return {};
    const QString text = QString::fromUtf8(operation.error).trimmed();
    return text.isEmpty() ? QString::fromUtf8(curl_easy_strerror(code)) : text;
}

// The local copy is written under a fresh name, created exclusively so that no link planted in
// the folder is ever written through, and moved over the final name only when complete.
class LocalCopy {
public:
    explicit LocalCopy(const QString& finalPath) : m_finalPath(finalPath) {
        bool exists = true;
        for (int attempt = 0; attempt < 16 && !m_file.isOpen() && exists; ++attempt) {
            m_partPath = finalPath + QStringLiteral(".part-") +
                         QString::number(QRandomGenerator::system()->generate64(), 36);
            RegularFile::createNew(m_file, m_partPath, &exists);
        }
    }
    ~LocalCopy() {
        if (!m_kept)
            discard();
    }

    QFile* file() { return m_file.isOpen() ? &m_file : nullptr; }

    bool keep() {
        const bool flushed = m_file.flush();
        m_file.close();
        if (!flushed || !RegularFile::moveOver(m_partPath, m_finalPath))
            return false;
        m_kept = true;
        return true;
    }

    // Nothing of a failed download stays, the earlier copy of that name included: nothing
    // stale is shown in its place.
    void discard() {
        m_file.close();
        QFile::remove(m_partPath);
        QFile::remove(m_finalPath);
    }

private:
    QString m_finalPath;
    QString m_partPath;
    QFile m_file;
    bool m_kept = false;
};

// Downloads what the request names into `localPath`.
FtpStatus transfer(const Request& request, const FtpLimits& limits, const QString& what,
                   const QString& server, const QString& localPath, const FtpAbortCheck& abort) {
    if (abort && abort())
        return FtpStatus::Aborted;
    LocalCopy copy(localPath);
    if (!copy.file()) {
        copy.discard();
        return logged(FtpStatus::TransferFailed, what, server,
                      QStringLiteral("cannot create a file beside ") + localPath);
    }

    Operation operation;
    operation.abort = &abort;
    operation.file = copy.file();
    operation.maxBytes = limits.maxDownloadBytes;
    CURLcode code = CURLE_FAILED_INIT;
    FtpStatus status = FtpStatus::SessionFailed;
    {
        QByteArray certificates;
        EasyHandle curl = makeHandle(request, limits, operation, certificates);
        if (curl) {
            // The announced size (FTP SIZE, a web server's length, an SFTP stat) is checked
            // before any byte comes, so a huge file costs one question, not its transfer.
            curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE,
                             static_cast<curl_off_t>(limits.maxDownloadBytes));
            code = curl_easy_perform(curl.get());
            status = statusOf(curl.get(), code, operation, request.address.scheme, false);
        }
    } // the handle, and with it the connection, is closed here

    QString detail = curlDetail(code, operation);
    if (status == FtpStatus::Ok && (operation.writeFailed || !copy.keep())) {
        status = FtpStatus::TransferFailed;
        detail = QStringLiteral("the local copy could not be written");
    }
    if (status != FtpStatus::Ok)
        copy.discard();
    return logged(status, what, server, detail);
}

} // namespace

CurlFtpClient::CurlFtpClient(const FtpLimits& limits) : m_limits(limits) {}

FtpStatus CurlFtpClient::download(const FtpAccount& account, const QString& remoteName,
                                  const QString& localPath, const FtpAbortCheck& abort) {
    const QString what = QStringLiteral("Download of \"%1\"").arg(remoteName.simplified());
    const std::optional<ServerAddress> address = ServerAddress::parse(account.server);
    const auto fail = [&](FtpStatus status, const char* reason) {
        QFile::remove(localPath);
        return logged(status, what, account.server.simplified(), QLatin1String(reason));
    };
    if (!address)
        return fail(FtpStatus::SessionFailed, "the server text is no server address");
    if (FtpReplies::hasControlCharacters(account.server) ||
        FtpReplies::hasControlCharacters(account.login) ||
        FtpReplies::hasControlCharacters(account.password))
        return fail(FtpStatus::SessionFailed, "control characters in the login or password");
    if (FtpReplies::hasControlCharacters(account.folder))
        return fail(FtpStatus::FolderNotFound, "control characters in the folder");
    // A plain name only: an empty one would list the folder, a path would leave it.
    if (remoteName.isEmpty() || remoteName.contains(QLatin1Char('/')) ||
        FtpReplies::hasControlCharacters(remoteName))
        return fail(FtpStatus::TransferFailed, "not a plain file name");

    Request request{*address, origin(*address), account.login, account.password, {}};
    if (address->scheme == Scheme::Ftp || address->scheme == Scheme::Ftps)
        request.url += "/" + QUrl::toPercentEncoding(remoteName);
    else
        request.url += folderPath(*address, account.folder) + QUrl::toPercentEncoding(remoteName);
    request.commands = folderCommands(*address, account.folder, false);
    return transfer(request, m_limits, what, account.server, localPath, abort);
}

FtpStatus CurlFtpClient::downloadUrl(const QString& url, const QString& login,
                                     const QString& password, const QString& localPath,
                                     const FtpAbortCheck& abort) {
    const QString what = QStringLiteral("Download of \"%1\"").arg(url.simplified());
    const auto split = ServerAddress::splitUrl(url);
    const auto fail = [&](FtpStatus status, const char* reason) {
        QFile::remove(localPath);
        return logged(status, what, QStringLiteral("its server"), QLatin1String(reason));
    };
    if (!split)
        return fail(FtpStatus::SessionFailed, "no server address in it");
    if (FtpReplies::hasControlCharacters(url) || FtpReplies::hasControlCharacters(login) ||
        FtpReplies::hasControlCharacters(password))
        return fail(FtpStatus::SessionFailed, "control characters in it or in the login");
    const auto& [address, path] = *split;
    const QString server = QString::fromLatin1(origin(address));

    Request request{address, origin(address), login, password, {}};
    if (address.isWeb()) {
        const QUrl parsed(url, QUrl::TolerantMode);
        if (!parsed.isValid() || parsed.path().isEmpty() || parsed.path().endsWith('/'))
            return fail(FtpStatus::TransferFailed, "no file named");
        request.url +=
            parsed.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    } else {
        // The path as Get list wrote it: the folder the server reported, then the name.
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString name = path.mid(slash + 1);
        if (slash < 0 || name.isEmpty())
            return fail(FtpStatus::TransferFailed, "no file named");
        const QString folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
        if (address.scheme == Scheme::Sftp) {
            request.url += encodePath(path);
        } else {
            request.url += "/" + QUrl::toPercentEncoding(name);
        }
        request.commands = folderCommands(address, folder, false);
    }
    return transfer(request, m_limits, what, server, localPath, abort);
}

FtpClient::Listing CurlFtpClient::list(const FtpAccount& account, const FtpAbortCheck& abort) {
    Listing listing;
    const QString what = QStringLiteral("Listing of \"%1\"").arg(account.folder.simplified());
    const QString server = account.server.simplified();
    const std::optional<ServerAddress> address = ServerAddress::parse(account.server);
    if (!address || FtpReplies::hasControlCharacters(account.login) ||
        FtpReplies::hasControlCharacters(account.password)) {
        listing.status = logged(FtpStatus::SessionFailed, what, server,
                                QStringLiteral("no server address, or control characters"));
        return listing;
    }
    if (FtpReplies::hasControlCharacters(account.folder)) {
        listing.status = logged(FtpStatus::FolderNotFound, what, server,
                                QStringLiteral("control characters in the folder"));
        return listing;
    }
    if (abort && abort()) {
        listing.status = FtpStatus::Aborted;
        return listing;
    }

    const Scheme scheme = address->scheme;
    Request request{*address, origin(*address), account.login, account.password, {}};
    if (scheme == Scheme::Ftp || scheme == Scheme::Ftps)
        request.url += "/";
    else
        request.url += folderPath(*address, account.folder);
    request.commands = folderCommands(*address, account.folder, true);

    QByteArray data;
    Operation operation;
    operation.abort = &abort;
    operation.buffer = &data;
    operation.maxBytes = m_limits.maxListingBytes;
    CURLcode code = CURLE_FAILED_INIT;
    {
        QByteArray certificates;
        EasyHandle curl = makeHandle(request, m_limits, operation, certificates);
        if (curl) {
            if (address->isWeb()) {
                curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE,
                                 static_cast<curl_off_t>(m_limits.maxListingBytes));
            } else {
                curl_easy_setopt(curl.get(), CURLOPT_DIRLISTONLY, 1L);
                curl_easy_setopt(curl.get(), CURLOPT_TRANSFERTEXT, 1L);
                if (scheme != Scheme::Sftp) {
                    operation.rawListing = true;
                    curl_easy_setopt(curl.get(), CURLOPT_DEBUGFUNCTION, &onDebug);
                    curl_easy_setopt(curl.get(), CURLOPT_DEBUGDATA, &operation);
                    curl_easy_setopt(curl.get(), CURLOPT_VERBOSE, 1L);
                }
            }
            code = curl_easy_perform(curl.get());
            listing.status = statusOf(curl.get(), code, operation, scheme, true);
        }
    }
    QString detail = curlDetail(code, operation);

    if (address->isWeb()) {
        // A page cut at the bound could end inside a link: it is no index.
        if (operation.overLimit || code == CURLE_FILESIZE_EXCEEDED) {
            listing.status = FtpStatus::TransferFailed;
            detail = QStringLiteral("the index page is larger than the bound");
        }
        if (listing.status == FtpStatus::Ok) {
            listing.directory = QString::fromUtf8(request.url);
            listing.names = HtmlIndex::links(data, m_limits.maxListingNames + 1);
            listing.cut = listing.names.size() > m_limits.maxListingNames;
            if (listing.cut)
                listing.names.removeLast();
        }
        logged(listing.status, what, server, detail);
        return listing;
    }

    // A listing cut at the size bound is a listing of its first names, and a server that
    // answers the listing command with an error has nothing to list (some say so for an empty
    // folder). A listing that breaks off is a failure: half a folder is not its listing.
    if (operation.overLimit ||
        (listing.status == FtpStatus::TransferFailed && scheme != Scheme::Sftp &&
         (code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_FTP_COULDNT_RETR_FILE) &&
         data.isEmpty()))
        listing.status = FtpStatus::Ok;
    // SFTP answers "pwd" with the absolute path of the folder listed.
    listing.directory = operation.directory.value_or(QString());
    if (listing.status == FtpStatus::Ok) {
        listing.names =
            FtpReplies::parseNameList(data, m_limits.maxListingNames + 1, code == CURLE_OK);
        listing.cut = operation.overLimit || listing.names.size() > m_limits.maxListingNames;
        if (listing.names.size() > m_limits.maxListingNames)
            listing.names.removeLast();
        if (scheme == Scheme::Sftp)
            listing.names.removeIf([](const QString& name) {
                return name == QLatin1String(".") || name == QLatin1String("..");
            });
    }
    logged(listing.status, what, server, detail);
    return listing;
}

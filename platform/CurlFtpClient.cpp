#include "platform/CurlFtpClient.h"

#include "platform/FtpReplies.h"

#include <QFile>
#include <QUrl>
#include <algorithm>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <optional>

namespace {

struct Endpoint {
    QByteArray host; // bracketed when it is an IPv6 address
    int port = 21;
};

bool isHostNameCharacter(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.') ||
           c == QLatin1Char('_');
}

bool isIpv6Character(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')) ||
           c == QLatin1Char(':') || c == QLatin1Char('.');
}

std::optional<int> parsePort(const QString& text) {
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text)
        if (!c.isDigit() || c.unicode() > 0x7f)
            return std::nullopt;
    const int port = text.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

// "host", "host:port", "[v6]" or "[v6]:port"; a bare IPv6 address (several colons) is a host.
// Anything that could change the meaning of the URL built from it (a path, a user part, a
// blank) is refused rather than passed on.
std::optional<Endpoint> parseServer(const QString& server) {
    Endpoint endpoint;
    QString host;
    if (server.startsWith(QLatin1Char('['))) {
        const qsizetype close = server.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        host = server.mid(1, close - 1);
        const QString rest = server.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return std::nullopt;
            const std::optional<int> port = parsePort(rest.mid(1));
            if (!port)
                return std::nullopt;
            endpoint.port = *port;
        }
    } else if (server.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = server.indexOf(QLatin1Char(':'));
        host = server.left(colon);
        const std::optional<int> port = parsePort(server.mid(colon + 1));
        if (!port)
            return std::nullopt;
        endpoint.port = *port;
    } else {
        host = server;
    }
    if (host.isEmpty())
        return std::nullopt;

    const bool ipv6 = host.contains(QLatin1Char(':'));
    for (const QChar c : host)
        if (ipv6 ? !isIpv6Character(c) : !isHostNameCharacter(c))
            return std::nullopt;
    endpoint.host = ipv6 ? "[" + host.toLatin1() + "]" : host.toUtf8();
    return endpoint;
}

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
    // Download target, or listing buffer.
    QFile* file = nullptr;
    QByteArray* buffer = nullptr;
    std::int64_t received = 0;
    std::int64_t maxBytes = 0;
    bool overLimit = false;
    bool writeFailed = false;
};

int onProgress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* operation = static_cast<Operation*>(data);
    if (*operation->abort && (*operation->abort)()) {
        operation->aborted = true;
        return 1;
    }
    return 0;
}

// libcurl hands every reply line of the control connection to the header callback.
size_t onReply(char* data, size_t size, size_t count, void* user) {
    auto* operation = static_cast<Operation*>(user);
    const QByteArray line(data, static_cast<qsizetype>(size * count));
    if (line.startsWith("230"))
        operation->loggedIn = true;
    if (std::optional<QString> directory = FtpReplies::parseDirectoryReply(line))
        operation->directory = directory;
    return size * count;
}

size_t onData(char* data, size_t size, size_t count, void* user) {
    auto* operation = static_cast<Operation*>(user);
    const auto bytes = static_cast<std::int64_t>(size * count);
    const std::int64_t room = operation->maxBytes - operation->received;
    if (operation->file) {
        // A download beyond the bound is no picture we want: the whole of it fails.
        if (bytes > room) {
            operation->overLimit = true;
            return 0; // ends the transfer
        }
        if (operation->file->write(data, bytes) != bytes) {
            operation->writeFailed = true;
            return 0;
        }
    } else {
        // A listing keeps what fits; the names cut at the bound are dropped later.
        operation->buffer->append(data, static_cast<qsizetype>(std::min(bytes, room)));
        if (bytes > room) {
            operation->overLimit = true;
            return 0;
        }
    }
    operation->received += bytes;
    return size * count;
}

bool acceptableAccount(const FtpAccount& account) {
    return !FtpReplies::hasControlCharacters(account.server) &&
           !FtpReplies::hasControlCharacters(account.login) &&
           !FtpReplies::hasControlCharacters(account.password);
}

// A handle set up for one operation on the endpoint: login, active mode, binary, the bounds,
// no change of folder of libcurl's own (the account's folder is entered by an explicit CWD).
EasyHandle makeHandle(const Endpoint& endpoint, const QByteArray& path, const FtpAccount& account,
                      const FtpLimits& limits, Operation& operation) {
    EasyHandle curl(curl_easy_init());
    if (!curl)
        return curl;
    CURL* c = curl.get();
    const QByteArray url = "ftp://" + endpoint.host + ":" + QByteArray::number(endpoint.port) +
                           "/" + QUrl::toPercentEncoding(QString::fromUtf8(path));
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    if (!account.login.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, account.login.toUtf8().constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, account.password.toUtf8().constData());
    }
    curl_easy_setopt(c, CURLOPT_FTPPORT, "-"); // active: the server connects back to us
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);

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

// The commands sent after login and before the transfer: the change of folder, then
// optionally a PWD whose failure is not an error (the leading '*').
CommandList folderCommands(const QString& folder, bool askDirectory) {
    curl_slist* list = nullptr;
    if (!folder.isEmpty())
        list = curl_slist_append(list, ("CWD " + folder.toUtf8()).constData());
    if (askDirectory)
        list = curl_slist_append(list, "*PWD");
    return CommandList(list);
}

FtpStatus statusOf(CURLcode code, const Operation& operation) {
    if (code == CURLE_OK)
        return FtpStatus::Ok;
    if (operation.aborted)
        return FtpStatus::Aborted;
    if (!operation.loggedIn)
        return FtpStatus::SessionFailed;
    if (code == CURLE_QUOTE_ERROR)
        return FtpStatus::FolderNotFound;
    return FtpStatus::TransferFailed;
}

} // namespace

CurlFtpClient::CurlFtpClient(const FtpLimits& limits) : m_limits(limits) {
    initialiseCurlOnce();
}

FtpStatus CurlFtpClient::download(const FtpAccount& account, const QString& remoteName,
                                  const QString& localPath, const FtpAbortCheck& abort) {
    const std::optional<Endpoint> endpoint = parseServer(account.server);
    if (!endpoint || !acceptableAccount(account))
        return FtpStatus::SessionFailed;
    if (FtpReplies::hasControlCharacters(account.folder))
        return FtpStatus::FolderNotFound;
    // A plain name only: an empty one would list the folder, a path would leave it.
    if (remoteName.isEmpty() || remoteName.contains(QLatin1Char('/')) ||
        FtpReplies::hasControlCharacters(remoteName))
        return FtpStatus::TransferFailed;
    if (abort && abort())
        return FtpStatus::Aborted;

    QFile file(localPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return FtpStatus::TransferFailed;

    Operation operation;
    operation.abort = &abort;
    operation.file = &file;
    operation.maxBytes = m_limits.maxDownloadBytes;
    CURLcode code = CURLE_FAILED_INIT;
    {
        EasyHandle curl = makeHandle(*endpoint, remoteName.toUtf8(), account, m_limits, operation);
        CommandList commands = folderCommands(account.folder, false);
        if (curl) {
            curl_easy_setopt(curl.get(), CURLOPT_QUOTE, commands.get());
            code = curl_easy_perform(curl.get());
        }
    } // the handle, and with it the connection, is closed here
    const bool flushed = file.flush();
    file.close();

    FtpStatus status = statusOf(code, operation);
    if (status == FtpStatus::Ok && (!flushed || operation.writeFailed))
        status = FtpStatus::TransferFailed;
    if (status != FtpStatus::Ok)
        QFile::remove(localPath);
    return status;
}

FtpClient::Listing CurlFtpClient::list(const FtpAccount& account, const FtpAbortCheck& abort) {
    Listing listing;
    const std::optional<Endpoint> endpoint = parseServer(account.server);
    if (!endpoint || !acceptableAccount(account)) {
        listing.status = FtpStatus::SessionFailed;
        return listing;
    }
    if (FtpReplies::hasControlCharacters(account.folder)) {
        listing.status = FtpStatus::FolderNotFound;
        return listing;
    }
    if (abort && abort()) {
        listing.status = FtpStatus::Aborted;
        return listing;
    }

    QByteArray data;
    Operation operation;
    operation.abort = &abort;
    operation.buffer = &data;
    operation.maxBytes = m_limits.maxListingBytes;
    CURLcode code = CURLE_FAILED_INIT;
    {
        EasyHandle curl = makeHandle(*endpoint, {}, account, m_limits, operation);
        CommandList commands = folderCommands(account.folder, true);
        if (curl) {
            curl_easy_setopt(curl.get(), CURLOPT_QUOTE, commands.get());
            curl_easy_setopt(curl.get(), CURLOPT_DIRLISTONLY, 1L);
            curl_easy_setopt(curl.get(), CURLOPT_TRANSFERTEXT, 1L);
            code = curl_easy_perform(curl.get());
        }
    }

    listing.status = statusOf(code, operation);
    // A listing cut at the size bound is a listing of its first names, and a server that
    // answers the listing command with an error has nothing to list (some say so for an empty
    // folder). A listing that breaks off is a failure: half a folder is not its listing.
    if (operation.overLimit ||
        (listing.status == FtpStatus::TransferFailed &&
         (code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_FTP_COULDNT_RETR_FILE) &&
         data.isEmpty()))
        listing.status = FtpStatus::Ok;
    listing.directory = operation.directory.value_or(QString());
    if (listing.status == FtpStatus::Ok)
        listing.names = FtpReplies::parseNameList(data, m_limits.maxListingNames, code == CURLE_OK);
    return listing;
}

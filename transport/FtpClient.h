#pragma once

#include "transport/FtpAccount.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <functional>

// Bounds on every operation (FTP, FTPS, SFTP and the web alike), so that no server, however
// slow, silent or hostile, can hold a caller for long or fill its disk.
struct FtpLimits {
    // Name lookup and TCP connect, and then the server's greeting.
    std::chrono::milliseconds connectTimeout{15000};
    // Waiting for any one reply on the control connection.
    std::chrono::milliseconds responseTimeout{30000};
    // Waiting for the server to open an active data connection back to us.
    std::chrono::milliseconds acceptTimeout{15000};
    // A transfer moving less than one byte a second for this long is abandoned.
    std::chrono::seconds stallTime{30};
    // The whole operation, login to logout, even when a server trickles data.
    std::chrono::seconds totalTimeout{600};
    // A picture that is larger, by the size the server announces or by the bytes it sends, is
    // refused.
    std::int64_t maxDownloadBytes = std::int64_t{256} * 1024 * 1024;
    // A name listing is read up to this size; names beyond it are left out. A web folder's index
    // page that is larger is no listing at all.
    std::int64_t maxListingBytes = std::int64_t{16} * 1024 * 1024;
    int maxListingNames = 200000;
};

enum class FtpStatus {
    Ok,
    // No session: the server text is unusable, the host is unknown or unreachable, the
    // connection is refused or the login is rejected.
    SessionFailed,
    // Logged in, but the folder could not be entered (or its text is unusable).
    FolderNotFound,
    // Logged in and in the folder, but the transfer failed or its result could not be kept.
    TransferFailed,
    // TLS could not be used safely: the certificate was not verified (by the system's store or
    // the bundle named by TESSARON_CA_BUNDLE), or the server offers no TLS. Nothing was sent in
    // clear.
    CertificateRejected,
    // The SSH server's host key is not in ~/.ssh/known_hosts.
    HostKeyUnknown,
    // The SSH server's host key differs from the one ~/.ssh/known_hosts holds for it.
    HostKeyMismatch,
    // A "@revoked" line of ~/.ssh/known_hosts holds the SSH server's host key.
    HostKeyRevoked,
    // The caller asked to stop while the operation ran.
    Aborted,
};

// Asked often while an operation runs (at least once a second); true ends it promptly.
using FtpAbortCheck = std::function<bool()>;

// One operation per call: each logs in with the account, changes to its folder when that is
// not empty (exactly as typed, relative or absolute), does its work and logs out. Nothing stays
// open between calls. The account's server field chooses the protocol (ServerAddress): plain FTP
// over active data connections in binary mode as the program always did, FTPS, SFTP or a web
// folder. Texts holding line breaks or other control characters never reach the server. Every
// failure is logged (tessaron.ftp) with its reason. Thread-safe: calls may run on several
// threads at once.
class FtpClient {
public:
    struct Listing {
        FtpStatus status = FtpStatus::SessionFailed;
        // The current folder as the server reports it (PWD) after the change of folder.
        QString directory;
        // The names in the folder in the server's order, folders included; names that are
        // not valid UTF-8 or hold control characters are left out. For a web folder: the
        // links of its index page in page order, as written there, and `directory` is the
        // address of the folder they are relative to.
        QStringList names;
        // The folder held more than the bounds let through (maxListingBytes or
        // maxListingNames): `names` are its first names only.
        bool cut = false;
    };

    virtual ~FtpClient() = default;

    // Downloads `remoteName`, a plain name in the account's folder, into `localPath`, replacing
    // what is there (a link planted there is replaced, never followed). On any failure
    // `localPath` does not exist afterwards.
    virtual FtpStatus download(const FtpAccount& account, const QString& remoteName,
                               const QString& localPath, const FtpAbortCheck& abort = {}) = 0;

    // Downloads the file at `url`, a whole address with one of the schemes ftps, sftp, http or
    // https, as download() does. The login and password are sent as given (empty: none); the
    // caller decides whether this host may have them.
    virtual FtpStatus downloadUrl(const QString& url, const QString& login, const QString& password,
                                  const QString& localPath, const FtpAbortCheck& abort = {}) = 0;

    // Lists the names in the account's folder (the login folder when it is empty). A listing
    // cut at the size bound keeps the whole names before the cut; one that breaks off (no data
    // connection, no progress, lost connection) is TransferFailed with no names.
    virtual Listing list(const FtpAccount& account, const FtpAbortCheck& abort = {}) = 0;
};

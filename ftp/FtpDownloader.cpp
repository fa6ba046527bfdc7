#include "ftp/FtpDownloader.h"

#include "platform/AppPaths.h"
#include "platform/LogCategories.h"
#include "transport/ServerAddress.h"

#include <utility>

namespace {
// The fixed temporary name, whose extension each download replaces.
constexpr const char* kTempBaseName = "wp400";
} // namespace

FtpDownloader::FtpDownloader(std::shared_ptr<FtpClient> client, AccountSource account,
                             QString tempDir, FtpAbortCheck stopRequested)
    : m_client(std::move(client)), m_account(std::move(account)), m_tempDir(std::move(tempDir)),
      m_stopRequested(std::move(stopRequested)) {}

QString FtpDownloader::localPathFor(const QString& tempDir, const QString& remoteName) {
    const qsizetype dot = remoteName.lastIndexOf(QLatin1Char('.'));
    const QString tail = dot < 0 ? remoteName : remoteName.mid(dot);
    return tempDir + QLatin1Char('/') + QLatin1String(kTempBaseName) + tail;
}

QString FtpDownloader::DownloadFtpFile(const QString& remoteName) {
    const std::optional<ServerAddress::Scheme> scheme = ServerAddress::schemeOf(remoteName);
    const bool isAddress = scheme && *scheme != ServerAddress::Scheme::Ftp;
    const QString name =
        isAddress ? remoteName.mid(remoteName.lastIndexOf(QLatin1Char('/')) + 1) : remoteName;
    // The name comes from a list entry: anything that is not a plain name could point the
    // local copy outside the private folder.
    if (!m_client || name.isEmpty() || (!isAddress && name.contains(QLatin1Char('/')))) {
        qCWarning(lcFtp).noquote()
            << "Download of" << remoteName.simplified() << "failed: the entry names no plain file";
        m_lastStatus = FtpStatus::TransferFailed;
        return {};
    }
    if (!ensurePrivateDir(m_tempDir)) {
        qCWarning(lcFtp).noquote() << "Download of" << remoteName.simplified()
                                   << "failed: no private folder at" << m_tempDir;
        m_lastStatus = FtpStatus::TransferFailed;
        return {};
    }
    const FtpAccount account = m_account ? m_account() : FtpAccount{};
    const QString localPath = localPathFor(m_tempDir, name);

    const std::uint64_t number = ++m_lastNumber;
    m_running = number;
    m_sessionOpen = true;
    const FtpAbortCheck abortCheck = [this, number] {
        return m_aborted.load() == number || (m_stopRequested && m_stopRequested());
    };
    FtpStatus status = FtpStatus::TransferFailed;
    if (isAddress) {
        const bool login = mayHaveLogin(account.server, remoteName);
        status = m_client->downloadUrl(remoteName, login ? account.login : QString(),
                                       login ? account.password : QString(), localPath, abortCheck);
    } else {
        status = m_client->download(account, remoteName, localPath, abortCheck);
    }
    m_running = 0;
    CloseFtpSession();
    m_lastStatus = status;
    return status == FtpStatus::Ok ? localPath : QString();
}

bool FtpDownloader::mayHaveLogin(const QString& server, const QString& url) {
    const std::optional<ServerAddress> own = ServerAddress::parse(server);
    const auto entry = ServerAddress::splitUrl(url);
    // The login belongs to the configured server alone: another port of its host may be
    // another service, and another scheme may send the password in clear.
    return own && entry && own->sameOrigin(entry->first);
}

void FtpDownloader::CloseFtpSession() {
    // The adapter closes its connection before it returns; what is left is our own record.
    m_sessionOpen = false;
}

void FtpDownloader::abort() {
    m_aborted = m_running.load();
}

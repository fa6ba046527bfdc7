#include "ftp/FtpDownloader.h"

#include "platform/AppPaths.h"

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
    // The name comes from a list entry: anything that is not a plain name could point the
    // local copy outside the private folder.
    if (!m_client || remoteName.isEmpty() || remoteName.contains(QLatin1Char('/'))) {
        m_lastStatus = FtpStatus::TransferFailed;
        return {};
    }
    if (!ensurePrivateDir(m_tempDir)) {
        m_lastStatus = FtpStatus::TransferFailed;
        return {};
    }
    const FtpAccount account = m_account ? m_account() : FtpAccount{};
    const QString localPath = localPathFor(m_tempDir, remoteName);

    const std::uint64_t number = ++m_lastNumber;
    m_running = number;
    m_sessionOpen = true;
    const FtpStatus status = m_client->download(account, remoteName, localPath, [this, number] {
        return m_aborted.load() == number || (m_stopRequested && m_stopRequested());
    });
    m_running = 0;
    CloseFtpSession();
    m_lastStatus = status;
    return status == FtpStatus::Ok ? localPath : QString();
}

void FtpDownloader::CloseFtpSession() {
    // The adapter closes its connection before it returns; what is left is our own record.
    m_sessionOpen = false;
}

void FtpDownloader::abort() {
    m_aborted = m_running.load();
}

#pragma once

#include "transport/FtpAccount.h"
#include "transport/FtpClient.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

// Fetches one picture of the FTP list into the program's private temporary folder. Each call
// reads the account once, logs in, enters the folder, downloads and logs out: nothing stays
// open between pictures. Runs on the worker thread; abort() may come from any thread.
class FtpDownloader {
public:
    using AccountSource = std::function<FtpAccount()>;

    // `account` is called once per download for the current settings. `tempDir` is made a
    // private folder before use. `stopRequested`, when given, is asked while a download runs
    // and ends it when true.
    FtpDownloader(std::shared_ptr<FtpClient> client, AccountSource account, QString tempDir,
                  FtpAbortCheck stopRequested = {});

    // The full local path of the downloaded copy of `remoteName` (a plain name in the account's
    // folder), or "" on any failure. The local name is fixed per extension: "wp400" followed by
    // the remote name from its last "." on (the whole name when it has none), so the folder
    // holds at most one copy per extension. `remoteName` may instead be a whole address with
    // its own scheme (ftps, sftp, http, https): it is fetched from there, named by its last
    // part, with the account's login only when mayHaveLogin().
    QString DownloadFtpFile(const QString& remoteName);
    // Ends the session of the download in progress; every download ends with it.
    void CloseFtpSession();

    // Ends the download in progress, if any, promptly (its call returns ""); later downloads
    // are unaffected.
    void abort();

    bool hasOpenSession() const { return m_sessionOpen.load(); }
    FtpStatus lastStatus() const { return m_lastStatus.load(); }

    static QString localPathFor(const QString& tempDir, const QString& remoteName);
    // Whether the login and password of the server field `server` go with a download of `url`:
    // only to the same scheme, host and port.
    static bool mayHaveLogin(const QString& server, const QString& url);

private:
    std::shared_ptr<FtpClient> m_client;
    AccountSource m_account;
    QString m_tempDir;
    FtpAbortCheck m_stopRequested;
    // Downloads are numbered; abort() marks the number of the one running.
    std::atomic<std::uint64_t> m_lastNumber{0};
    std::atomic<std::uint64_t> m_running{0};
    std::atomic<std::uint64_t> m_aborted{0};
    std::atomic<bool> m_sessionOpen{false};
    std::atomic<FtpStatus> m_lastStatus{FtpStatus::Ok};
};

#pragma once

#include "ftp/FolderListingResult.h"
#include "transport/FtpAccount.h"
#include "transport/FtpClient.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// Lists a server folder for the URL list without blocking the caller's thread: the login and
// listing run on a thread of their own, and the result arrives as finished() on the thread
// that owns the job (it needs a running event loop there).
class FolderListingJob : public QObject {
    Q_OBJECT
public:
    explicit FolderListingJob(std::shared_ptr<FtpClient> client, QObject* parent = nullptr);
    // Aborts a listing in progress and waits for its thread, which ends promptly.
    ~FolderListingJob() override;

    // Starts listing the account's folder; false (and nothing starts) while one still runs.
    // `allPictureTypes` takes the names of every picture type the program shows.
    bool start(const FtpAccount& account, bool allPictureTypes = false);
    bool isRunning() const { return m_running; }
    // Ends the listing in progress promptly; nothing is delivered for it.
    void abort();

    // Runs the listing on the calling thread: for tests and for callers with threads of their
    // own.
    static FolderListingResult run(FtpClient& client, const FtpAccount& account,
                                   const FtpAbortCheck& abort = {}, bool allPictureTypes = false);

    // Lists on a job owned by `owner` that calls `done` once, on the owner's thread, and then
    // deletes itself. When the owner goes first the listing is aborted and nothing is called.
    static void listFolder(std::shared_ptr<FtpClient> client, const FtpAccount& account,
                           QObject* owner, std::function<void(const FolderListingResult&)> done,
                           bool allPictureTypes = false);

signals:
    void finished(const FolderListingResult& result);

private:
    void joinThread();

    std::shared_ptr<FtpClient> m_client;
    std::thread m_thread;
    std::shared_ptr<std::atomic<bool>> m_abort;
    bool m_running = false;
};

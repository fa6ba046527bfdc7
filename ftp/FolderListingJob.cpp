#include "ftp/FolderListingJob.h"

#include "ftp/FolderListing.h"

#include <QMetaObject>
#include <QPointer>

FolderListingJob::FolderListingJob(std::shared_ptr<FtpClient> client, QObject* parent)
    : QObject(parent), m_client(std::move(client)) {}

FolderListingJob::~FolderListingJob() {
    abort();
    joinThread();
}

FolderListingResult FolderListingJob::run(FtpClient& client, const FtpAccount& account,
                                          const FtpAbortCheck& abort, bool allPictureTypes) {
    const FtpClient::Listing listing = client.list(account, abort);
    FolderListingResult result;
    switch (listing.status) {
    case FtpStatus::Ok:
        result.outcome = FolderListingResult::Outcome::Listed;
        result.directory = listing.directory;
        result.urls = FolderListing::pictureUrls(account.server, listing.directory, listing.names,
                                                 allPictureTypes);
        break;
    case FtpStatus::FolderNotFound:
        result.outcome = FolderListingResult::Outcome::FolderNotFound;
        break;
    // A listing that broke off would empty the URL list for nothing: the user is told the
    // session failed instead, and the list stays as it was.
    case FtpStatus::TransferFailed:
    case FtpStatus::SessionFailed:
    case FtpStatus::Aborted:
        result.outcome = FolderListingResult::Outcome::SessionFailed;
        break;
    }
    return result;
}

bool FolderListingJob::start(const FtpAccount& account, bool allPictureTypes) {
    if (m_running || !m_client)
        return false;
    joinThread();
    m_running = true;
    auto abortFlag = std::make_shared<std::atomic<bool>>(false);
    m_abort = abortFlag;
    m_thread = std::thread([this, client = m_client, account, abortFlag, allPictureTypes] {
        FolderListingResult result = run(
            *client, account, [abortFlag] { return abortFlag->load(); }, allPictureTypes);
        // Queued to this object's thread; dropped with the object if it is gone by then, and
        // dropped when the caller aborted.
        QMetaObject::invokeMethod(
            this,
            [this, abortFlag, result = std::move(result)] {
                if (abortFlag != m_abort)
                    return;
                joinThread();
                m_running = false;
                if (!abortFlag->load())
                    emit finished(result);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void FolderListingJob::listFolder(std::shared_ptr<FtpClient> client, const FtpAccount& account,
                                  QObject* owner,
                                  std::function<void(const FolderListingResult&)> done,
                                  bool allPictureTypes) {
    auto* job = new FolderListingJob(std::move(client), owner);
    connect(job, &FolderListingJob::finished, job, [job, done](const FolderListingResult& result) {
        job->deleteLater();
        if (done)
            done(result);
    });
    if (!job->start(account, allPictureTypes)) {
        delete job;
        if (done)
            done(FolderListingResult{});
    }
}

void FolderListingJob::abort() {
    if (m_abort)
        m_abort->store(true);
}

void FolderListingJob::joinThread() {
    if (m_thread.joinable())
        m_thread.join();
}

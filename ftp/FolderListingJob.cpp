#include "ftp/FolderListingJob.h"

#include "ftp/FolderListing.h"
#include "transport/ServerAddress.h"

#include <QMetaObject>
#include <QPointer>
#include <optional>

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
    using Outcome = FolderListingResult::Outcome;
    switch (listing.status) {
    case FtpStatus::Ok: {
        result.outcome = Outcome::Listed;
        result.directory = listing.directory;
        const std::optional<ServerAddress> address = ServerAddress::parse(account.server);
        result.urls =
            address && address->isWeb()
                ? FolderListing::webPictureUrls(listing.directory, listing.names, allPictureTypes)
                : FolderListing::pictureUrls(account.server, listing.directory, listing.names,
                                             allPictureTypes);
        result.cut = listing.cut || result.urls.size() > FolderListing::kMaxEntries;
        if (result.urls.size() > FolderListing::kMaxEntries)
            result.urls.resize(FolderListing::kMaxEntries);
        break;
    }
    case FtpStatus::FolderNotFound:
        result.outcome = Outcome::FolderNotFound;
        break;
    // A listing that broke off would empty the URL list for nothing: the user is told, and the
    // list stays as it was.
    case FtpStatus::TransferFailed:
        result.outcome = Outcome::ListingFailed;
        break;
    case FtpStatus::CertificateRejected:
        result.outcome = Outcome::CertificateRejected;
        break;
    case FtpStatus::HostKeyUnknown:
        result.outcome = Outcome::HostKeyUnknown;
        break;
    case FtpStatus::HostKeyMismatch:
        result.outcome = Outcome::HostKeyMismatch;
        break;
    case FtpStatus::HostKeyRevoked:
        result.outcome = Outcome::HostKeyRevoked;
        break;
    case FtpStatus::SessionFailed:
    case FtpStatus::Aborted:
        result.outcome = Outcome::SessionFailed;
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

#pragma once

#include "transport/FtpClient.h"

// The adapter over libcurl's easy interface for FTP, FTPS, SFTP and web folders: one easy handle
// per operation, so a session never outlives the call that opened it.
class CurlFtpClient : public FtpClient {
public:
    explicit CurlFtpClient(const FtpLimits& limits = {});

    FtpStatus download(const FtpAccount& account, const QString& remoteName,
                       const QString& localPath, const FtpAbortCheck& abort = {}) override;
    FtpStatus downloadUrl(const QString& url, const QString& login, const QString& password,
                          const QString& localPath, const FtpAbortCheck& abort = {}) override;
    Listing list(const FtpAccount& account, const FtpAbortCheck& abort = {}) override;

    const FtpLimits& limits() const { return m_limits; }

private:
    FtpLimits m_limits;
};

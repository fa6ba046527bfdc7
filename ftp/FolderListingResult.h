#pragma once

#include <QString>
#include <QStringList>

// What listing a server folder gave: the folder as the server reports it and the accepted
// picture addresses in listing order, or which failure happened.
struct FolderListingResult {
    enum class Outcome {
        Listed,              // the folder was entered and listed
        FolderNotFound,      // logged in, but the folder could not be entered
        SessionFailed,       // no session or connection (host unknown, refused, login rejected)
        ListingFailed,       // logged in and in the folder, but the listing broke off
        CertificateRejected, // TLS: certificate not verified, or no TLS offered
        HostKeyUnknown,      // SSH: the host is not in ~/.ssh/known_hosts
        HostKeyMismatch,     // SSH: the host's key differs from the one known for it
        HostKeyRevoked,      // SSH: ~/.ssh/known_hosts marks the host's key @revoked
    };

    Outcome outcome = Outcome::SessionFailed;
    QString directory;
    QStringList urls;
    // The folder held more than the listing takes (FolderListing::kMaxEntries pictures, or
    // the transport's bounds): `urls` are its first pictures only.
    bool cut = false;
};

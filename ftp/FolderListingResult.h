#pragma once

#include <QString>
#include <QStringList>

// What listing a server folder gave: the folder as the server reports it and the accepted
// picture addresses in listing order, or which failure happened.
struct FolderListingResult {
    enum class Outcome {
        Listed,         // the folder was entered and listed
        FolderNotFound, // logged in, but the folder could not be entered
        SessionFailed,  // no session or connection (host unknown, refused, login rejected)
    };

    Outcome outcome = Outcome::SessionFailed;
    QString directory;
    QStringList urls;
};

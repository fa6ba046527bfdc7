#pragma once

#include "worker/ShownPicture.h"

#include <QString>
#include <optional>

class WorkerRun;

// Showing a picture of the history again: where it is now, and a download kept for the time
// it is on the screen.
namespace ShownAgain {

struct Found {
    ShownPicture picture;
    QString file;       // to convert
    QString bitmapName; // named as its source names the bitmap
};

// The picture as it can be converted now: found again by the picture test (a folder-walk or
// file-list picture) or downloaded again (a URL-list picture); nothing when it is gone or
// never to be shown again.
std::optional<Found> find(WorkerRun& run, const ShownPicture& picture);

// A URL-list picture's download under a name of its own ("shown-N" and its type beside it),
// which the next download of a picture of that type does not replace; the download itself
// when none can be made.
QString keepDownload(const QString& download, std::size_t index);

} // namespace ShownAgain

#pragma once

#include "worker/SourceResult.h"

class WorkerRun;

// The source of the FTP mode: downloads the file named by the URL-list entry at
// CurURLListPos (only the name after the entry's last "/"; the server and folder come from the
// settings; an entry with a scheme of its own other than ftp is fetched from its address),
// shows it and advances the position. A failed download leaves the position.
class FtpListSource {
public:
    static SourceResult run(WorkerRun& run);
};

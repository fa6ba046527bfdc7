#pragma once

#include "worker/SourceResult.h"

class WorkerRun;

// The source of the file-list mode: shows the entry at CurFileListPos and advances it. An
// entry that is no picture or whose file is missing is not skipped: the position stays.
class FileListSource {
public:
    static SourceResult run(WorkerRun& run);
};

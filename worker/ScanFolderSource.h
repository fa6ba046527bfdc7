#pragma once

#include "platform/FolderIdentity.h"
#include "worker/SourceResult.h"

#include <QString>
#include <cstdint>
#include <set>

class WorkerRun;

// The source of the scan-folder mode. One call of pass() walks the folder tree once, depth
// first, one directory level in memory at a time, each folder's entries sorted by name
// case-insensitively so that CurScanFolderPos names the same picture from run to run. Each
// folder is walked once a pass, however many links lead to it; hidden folders below the start
// folder and the program's own data folder are never entered. It passes over the pictures
// before CurScanFolderPos without converting them, then shows one picture per change request.
// If the mode is switched to a list during the pass, each picture met is the moment for
// showing the list's next entry instead.
class ScanFolderSource {
public:
    // `counter` is the number of pictures met so far in this pass (ScanCounter): WorkerProc
    // sets it to 0 before each pass.
    ScanFolderSource(WorkerRun& run, std::uint32_t& counter);

    // Shown when at least one change was made during the pass.
    SourceResult pass(const QString& startFolder);

private:
    void walk(const QString& folder);
    void meetFile(const QString& path, const QString& name);
    void showFromFileList(const QString& bitmapName);
    void showFromUrlList(const QString& bitmapName);

    WorkerRun& m_run;
    std::uint32_t& m_counter;
    bool m_shown = false;
    // The folders entered in this pass, and the data folder from its start.
    std::set<FolderIdentity> m_visited;
};

#pragma once

#include "platform/FolderIdentity.h"
#include "worker/PictureTest.h"
#include "worker/ShuffleCandidates.h"
#include "worker/SourceResult.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <set>

class WorkerRun;

// The source of the scan-folder mode. One call of pass() walks the folder tree once, depth
// first, one directory level in memory at a time, each folder's entries sorted by name
// case-insensitively so that CurScanFolderPos names the same picture from run to run. Each
// folder is walked once a pass, however many links lead to it; hidden folders below the start
// folder and the program's own data folder are never entered. It passes over the pictures
// before CurScanFolderPos without converting them, then shows one picture per change request.
// If the mode is switched to a list during the pass, each picture met is the moment for
// showing the list's next entry instead. At the end of a pass CurScanFolderPos is set to 0.
// A picture never to be shown again is counted, so that the positions of the others stay, but
// its turn passes without a change.
//
// With Shuffle on, a call makes one change instead, from the round's next pictures that a walk
// of the whole tree found (ShuffleCandidates), walking again only when they are used up.
// CurScanFolderPos then names the picture shown last by its number in walk order at that walk,
// and ShuffleScanLast by its path.
class ScanFolderSource {
public:
    // `counter` is the number of pictures met so far in this pass (ScanCounter): WorkerProc
    // sets it to 0 before each pass. `candidates` outlive the pass.
    ScanFolderSource(WorkerRun& run, std::uint32_t& counter, ShuffleCandidates& candidates);

    // NothingToShow when there was nothing to show, so that the worker waits before it tries
    // again; Shown when a change was made, or when the next pass shows a picture at once.
    SourceResult pass(const QString& startFolder);

private:
    void walkTree(const QString& startFolder);
    void walk(const QString& folder);
    // Whether the picture is there: `listedAsFile` when the folder's listing showed a regular
    // file and the test may rest on it.
    bool isPicture(const PictureMatch& picture, bool listedAsFile) const;
    std::optional<PictureMatch> testPicture(const PictureTest::Folder& folder, const QString& path,
                                            const QString& name);
    // `path` is the file's path as the walk met it, `name` its name.
    void meetFile(const PictureMatch& picture, const QString& path, const QString& name,
                  bool listedAsFile);
    void showFromFileList(const QString& bitmapName);
    void showFromUrlList(const QString& bitmapName);

    SourceResult shuffledChange(const QString& startFolder);
    // Walks the whole tree for the round's next pictures.
    void collectCandidates(const QString& startFolder);
    void collectFile(const QString& path, const PictureMatch& picture, const QString& name,
                     bool listedAsFile);
    ShuffleCandidates::Basis basis(const QString& startFolder);
    // Whether Shuffle is still on in the scan-folder mode; when Shuffle was turned off, the
    // walk in order is set to go on after the picture shown last.
    bool stillShuffled();

    WorkerRun& m_run;
    std::uint32_t& m_counter;
    ShuffleCandidates& m_candidates;
    bool m_shown = false;
    // The pass has waited for a change: the listings made before may be out of date.
    bool m_waited = false;
    // Shuffle was turned on: the pass ends at once.
    bool m_cut = false;
    // The walk collects the shuffled round's next pictures rather than showing any.
    bool m_collecting = false;
    // The folders entered in this pass, and the data folder from its start.
    std::set<FolderIdentity> m_visited;
};

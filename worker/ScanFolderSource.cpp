#include "worker/ScanFolderSource.h"

#include "ftp/FolderListing.h"
#include "platform/FileName.h"
#include "platform/FolderIdentity.h"
#include "platform/RegularFile.h"
#include "resources/AppTexts.h"
#include "worker/PictureTest.h"
#include "worker/ShuffleCandidates.h"
#include "worker/ShuffleRound.h"
#include "worker/WallpaperSettings.h"
#include "worker/WorkerRun.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>

namespace {

struct DirEntry {
    QString name;
    bool isFolder;
    // A regular file itself, not a link: known from the listing without a system call.
    bool isPlainFile;
};

// One folder's entries, sorted by name ignoring case (ties in exact order), or nothing when
// the folder cannot be read.
std::optional<std::vector<DirEntry>> listFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error)
        return std::nullopt;
    std::vector<DirEntry> entries;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            break;
        std::error_code ignored;
        const bool isFolder = it->is_directory(ignored);
        entries.push_back({FileName::fromPath(it->path().filename()), isFolder,
                           !isFolder && !it->is_symlink(ignored) && it->is_regular_file(ignored)});
    }
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
        const int order = a.name.compare(b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return entries;
}

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// True when `folder` is `ancestor` or lies inside it, compared by their resolved paths.
bool isWithin(const QString& folder, const QString& ancestor) {
    const QString resolved = QFileInfo(folder).canonicalFilePath();
    const QString resolvedAncestor = QFileInfo(ancestor).canonicalFilePath();
    if (resolved.isEmpty() || resolvedAncestor.isEmpty())
        return false;
    return resolved == resolvedAncestor ||
           resolved.startsWith(resolvedAncestor.endsWith(QLatin1Char('/'))
                                   ? resolvedAncestor
                                   : resolvedAncestor + QLatin1Char('/'));
}

} // namespace

ScanFolderSource::ScanFolderSource(WorkerRun& run, std::uint32_t& counter,
                                   ShuffleCandidates& candidates)
    : m_run(run), m_counter(counter), m_candidates(candidates) {}

SourceResult ScanFolderSource::pass(const QString& startFolder) {
    const auto [resumeAt, shuffle] = m_run.read([](const SlideShowState::Data& d) {
        return std::pair(d.settings.CurScanFolderPos, d.settings.Shuffle != 0);
    });
    if (shuffle)
        return shuffledChange(startFolder);

    m_shown = false;
    m_waited = false;
    m_cut = false;
    walkTree(startFolder);
    // Shuffle was turned on: the shuffled order answers the change request at once, and the
    // position still names the picture shown last.
    if (m_cut)
        return SourceResult::Shown;
    m_run.modify([](SlideShowState::Data& d) { d.settings.CurScanFolderPos = 0; });
    // A resume position beyond the last picture ends the pass without a change; the next pass
    // shows the first picture at once.
    return m_shown || resumeAt > 0 ? SourceResult::Shown : SourceResult::NothingToShow;
}

void ScanFolderSource::walkTree(const QString& startFolder) {
    m_visited.clear();
    // The program's own files (the wallpaper bitmap, the record of the user's wallpaper) are
    // no pictures of the user's: a start folder inside the data folder shows nothing, and the
    // walk does not enter the data folder, whatever path or link leads there.
    if (isWithin(startFolder, m_run.dataDir()))
        return;
    if (const std::optional<FolderIdentity> own = FolderIdentity::of(m_run.dataDir()))
        m_visited.insert(*own);
    walk(startFolder);
}

void ScanFolderSource::walk(const QString& folder) {
    // Every folder is walked at most once a pass, however many links lead to it: links back
    // up the tree or across it would otherwise repeat pictures or never end.
    const std::optional<FolderIdentity> identity = FolderIdentity::of(folder);
    if (!identity || !m_visited.insert(*identity).second)
        return;
    const std::optional<std::vector<DirEntry>> entries = listFolder(FileName::toPath(folder));
    if (!entries)
        return;
    const PictureTest::Folder tested = PictureTest::folder(folder);

    for (const DirEntry& entry : *entries) {
        const QString path = joinPath(folder, entry.name);
        if (entry.isFolder) {
            // Hidden folders below the start folder (caches, settings) are not walked, as file
            // managers do not show them. Whether to walk subfolders is read at each folder
            // met, so a change takes effect for the folders after it.
            if (!QFileInfo(path).isHidden() && m_run.read([](const SlideShowState::Data& d) {
                    return d.settings.IncludeSubflders != 0;
                }))
                walk(path);
        } else if (const std::optional<PictureMatch> picture =
                       testPicture(tested, path, entry.name)) {
            if (m_collecting)
                collectFile(path, *picture, entry.name, entry.isPlainFile);
            else
                meetFile(*picture, path, entry.name, entry.isPlainFile);
        }
        if (m_cut)
            return;
        m_run.checkStop();
    }
}

std::optional<PictureMatch> ScanFolderSource::testPicture(const PictureTest::Folder& folder,
                                                          const QString& path,
                                                          const QString& name) {
    // The picture types the settings choose now, as for every other picture test.
    const bool allTypes =
        m_run.read([](const SlideShowState::Data& d) { return d.settings.AllPictureTypes != 0; });
    return PictureTest::test(folder, path, name, m_run.services().resolveShortcut, allTypes);
}

bool ScanFolderSource::isPicture(const PictureMatch& picture, bool listedAsFile) const {
    // Until the walk has waited, the listing it just made is proof enough that a plain file is
    // there: a test of its own costs a system call, most of a long walk's time.
    return (listedAsFile && !m_waited && !picture.viaShortcut) ||
           RegularFile::isRegular(picture.path);
}

void ScanFolderSource::meetFile(const PictureMatch& picture, const QString& path,
                                const QString& name, bool listedAsFile) {
    const auto [mode, resumeAt, shuffle, excluded] = m_run.read([&](const SlideShowState::Data& d) {
        return std::tuple(static_cast<SourceMode>(d.settings.UseFileList),
                          d.settings.CurScanFolderPos, d.settings.Shuffle != 0, d.isExcluded(path));
    });
    if (mode == SourceMode::ScanFolder && shuffle) {
        m_cut = true;
        return;
    }
    const std::uint32_t number = m_counter + 1;
    // Pictures before the resume position are passed over without converting anything.
    const bool passedOver = mode == SourceMode::ScanFolder && resumeAt > 0 &&
                            number < static_cast<std::uint32_t>(resumeAt);
    // A picture shown is tested for itself just before, whatever the listing said.
    if (!isPicture(picture, passedOver && listedAsFile))
        return;
    m_counter = number;
    if (passedOver || (mode == SourceMode::ScanFolder && excluded))
        return;
    const QString bitmapName = PictureTest::bitmapName(picture.upperPath);

    switch (mode) {
    case SourceMode::ScanFolder:
        m_run.makeChange(picture.path, bitmapName,
                         [number](SlideShowState::Data& d) {
                             d.settings.CurScanFolderPos = static_cast<std::int32_t>(number);
                             // A picture in order ends the shuffled round: Shuffle turned on again
                             // begins anew.
                             ShuffleRound().storeIn(d.settings, ShuffleRound::Source::ScanFolder);
                         },
                         {PictureKind::FolderWalk, path});
        m_run.tipPicture(name);
        break;
    case SourceMode::FileList:
        showFromFileList(bitmapName);
        break;
    case SourceMode::FtpList:
        showFromUrlList(bitmapName);
        break;
    default:
        return;
    }
    m_shown = true;
    m_waited = true;
    m_run.waitForChange();
}

void ScanFolderSource::collectFile(const QString& path, const PictureMatch& picture,
                                   const QString& name, bool listedAsFile) {
    if (isPicture(picture, listedAsFile))
        m_candidates.offer(path, picture, name, ++m_counter);
}

ShuffleCandidates::Basis ScanFolderSource::basis(const QString& startFolder) {
    return m_run.read([&startFolder](const SlideShowState::Data& d) {
        return ShuffleCandidates::Basis{startFolder, d.settings.IncludeSubflders != 0,
                                        d.settings.AllPictureTypes != 0};
    });
}

SourceResult ScanFolderSource::shuffledChange(const QString& startFolder) {
    for (bool walked = false;;) {
        const ShuffleRound round = m_run.read([](const SlideShowState::Data& d) {
            return ShuffleRound::of(d.settings, ShuffleRound::Source::ScanFolder);
        });
        std::optional<ShuffleCandidates::Candidate> next =
            m_candidates.next(round, basis(startFolder));
        if (!next) {
            // One walk a change at most: what it found is all there is.
            if (walked)
                return SourceResult::NothingToShow;
            collectCandidates(startFolder);
            walked = true;
            continue;
        }
        m_candidates.taken();
        const ShuffleCandidates::Candidate candidate = std::move(*next);
        const auto passOn = [candidate](SlideShowState::Data& d) {
            ShuffleRound moved = ShuffleRound::of(d.settings, ShuffleRound::Source::ScanFolder);
            moved.shown(candidate.key, candidate.walkPath);
            moved.storeIn(d.settings, ShuffleRound::Source::ScanFolder);
        };
        // Gone since the walk found it, or never to be shown again: its turn passes without a
        // change.
        if (!RegularFile::isRegular(candidate.picture.path) ||
            m_run.read(
                [&](const SlideShowState::Data& d) { return d.isExcluded(candidate.walkPath); })) {
            m_run.modify(passOn);
            continue;
        }
        // The walk took its time: the mode or Shuffle may have changed meanwhile.
        if (!stillShuffled())
            return SourceResult::Shown;
        m_run.makeChange(
            candidate.picture.path, PictureTest::bitmapName(candidate.picture.upperPath),
            [candidate, passOn](SlideShowState::Data& d) {
                d.settings.CurScanFolderPos = static_cast<std::int32_t>(candidate.number);
                passOn(d);
            },
            {PictureKind::FolderWalk, candidate.walkPath});
        m_run.tipPicture(candidate.tipName);
        m_run.waitForChange();
        stillShuffled();
        return SourceResult::Shown;
    }
}

void ScanFolderSource::collectCandidates(const QString& startFolder) {
    const ShuffleRound round = m_run.modify([](SlideShowState::Data& d) {
        ShuffleRound current = ShuffleRound::of(d.settings, ShuffleRound::Source::ScanFolder);
        if (!current.begun()) {
            current.begin(current.followingKey());
            current.storeIn(d.settings, ShuffleRound::Source::ScanFolder);
        }
        return current;
    });
    m_candidates.collect(round, basis(startFolder));
    m_counter = 0;
    m_waited = false;
    m_cut = false;
    m_collecting = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_collecting};
    walkTree(startFolder);
    m_candidates.finish(m_counter);
}

bool ScanFolderSource::stillShuffled() {
    return m_run.modify([](SlideShowState::Data& d) {
        if (d.settings.Shuffle == 0) {
            // Turned off: the walk in order goes on after the picture shown last, not with it
            // again as after a restart.
            if (d.settings.CurScanFolderPos > 0)
                ++d.settings.CurScanFolderPos;
            return false;
        }
        return static_cast<SourceMode>(d.settings.UseFileList) == SourceMode::ScanFolder;
    });
}

void ScanFolderSource::showFromFileList(const QString& bitmapName) {
    const std::optional<QString> entry = m_run.currentEntry(ListKind::Files);
    if (!entry) {
        m_run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        return;
    }
    // The entry as stored: no picture test and no shortcut resolution in this branch.
    m_run.makeChange(*entry, bitmapName, WorkerRun::nextEntry(ListKind::Files),
                     {PictureKind::FileList, *entry});
    m_run.tipPicture(PictureTest::lastComponent(*entry, QLatin1Char('/')));
}

void ScanFolderSource::showFromUrlList(const QString& bitmapName) {
    const std::optional<QString> entry = m_run.currentEntry(ListKind::Urls);
    if (!entry) {
        m_run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        return;
    }
    const QString remoteName = PictureTest::lastComponent(*entry, QLatin1Char('/'));
    const QString local =
        remoteName.isEmpty() ? QString() : m_run.download(FolderListing::downloadTarget(*entry));
    const WorkerRun::Advance advance = WorkerRun::nextEntry(ListKind::Urls);
    // A failed download changes nothing (the wallpaper folder is not emptied either), but this
    // picture's turn is used up like any other.
    if (local.isEmpty() || !QFileInfo(local).isFile()) {
        m_run.modify(advance);
        m_run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        return;
    }
    const bool converted =
        m_run.makeChange(local, bitmapName, advance, {PictureKind::UrlList, *entry});
    m_run.tipPicture(converted ? m_run.bitmapPath(bitmapName) : remoteName);
}

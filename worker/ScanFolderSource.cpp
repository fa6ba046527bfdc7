#include "worker/ScanFolderSource.h"

#include "ftp/FolderListing.h"
#include "platform/FileName.h"
#include "platform/FolderIdentity.h"
#include "platform/RegularFile.h"
#include "resources/AppTexts.h"
#include "worker/PictureTest.h"
#include "worker/WallpaperSettings.h"
#include "worker/WorkerRun.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace {

struct DirEntry {
    QString name;
    bool isFolder;
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
        entries.push_back({FileName::fromNative(QByteArray::fromStdString(it->path().filename())),
                           it->is_directory(ignored)});
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

ScanFolderSource::ScanFolderSource(WorkerRun& run, std::uint32_t& counter)
    : m_run(run), m_counter(counter) {}

SourceResult ScanFolderSource::pass(const QString& startFolder) {
    m_shown = false;
    m_visited.clear();
    // The program's own files (the wallpaper bitmap, the record of the user's wallpaper) are
    // no pictures of the user's: a start folder inside the data folder shows nothing, and the
    // walk does not enter the data folder, whatever path or link leads there.
    if (isWithin(startFolder, m_run.dataDir()))
        return SourceResult::NothingToShow;
    if (const std::optional<FolderIdentity> own = FolderIdentity::of(m_run.dataDir()))
        m_visited.insert(*own);
    walk(startFolder);
    return m_shown ? SourceResult::Shown : SourceResult::NothingToShow;
}

void ScanFolderSource::walk(const QString& folder) {
    // Every folder is walked at most once a pass, however many links lead to it: links back
    // up the tree or across it would otherwise repeat pictures or never end.
    const std::optional<FolderIdentity> identity = FolderIdentity::of(folder);
    if (!identity || !m_visited.insert(*identity).second)
        return;
    const std::optional<std::vector<DirEntry>> entries =
        listFolder(std::filesystem::path(FileName::toNative(folder).toStdString()));
    if (!entries)
        return;

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
        } else {
            meetFile(path, entry.name);
        }
        m_run.checkStop();
    }
}

void ScanFolderSource::meetFile(const QString& path, const QString& name) {
    const std::optional<PictureMatch> picture = m_run.testPicture(path);
    if (!picture || !RegularFile::isRegular(picture->path))
        return;
    ++m_counter;
    const QString bitmapName = PictureTest::bitmapName(picture->upperPath);

    const auto [mode, resumeAt] = m_run.read([](const SlideShowState::Data& d) {
        return std::pair(d.settings.UseFileList, d.settings.CurScanFolderPos);
    });
    switch (static_cast<SourceMode>(mode)) {
    case SourceMode::ScanFolder: {
        // Pictures before the resume position are passed over without converting anything.
        if (resumeAt > 0 && m_counter < static_cast<std::uint32_t>(resumeAt))
            return;
        const std::uint32_t number = m_counter;
        m_run.makeChange(picture->path, bitmapName, [number](SlideShowState::Data& d) {
            d.settings.CurScanFolderPos = static_cast<std::int32_t>(number);
        });
        m_run.tipPicture(name);
        break;
    }
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
    m_run.waitForChange();
}

void ScanFolderSource::showFromFileList(const QString& bitmapName) {
    const std::optional<QString> entry = m_run.currentEntry(ListKind::Files);
    if (!entry) {
        m_run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        return;
    }
    // The entry as stored: no picture test and no shortcut resolution in this branch.
    m_run.makeChange(*entry, bitmapName, WorkerRun::nextEntry(ListKind::Files));
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
    const bool converted = m_run.makeChange(local, bitmapName, advance, *entry);
    m_run.tipPicture(converted ? m_run.bitmapPath(bitmapName) : remoteName);
}

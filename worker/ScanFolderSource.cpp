#include "worker/ScanFolderSource.h"

#include "ftp/FolderListing.h"
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
        entries.push_back({QFile::decodeName(QByteArray::fromStdString(it->path().filename())),
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

} // namespace

ScanFolderSource::ScanFolderSource(WorkerRun& run, std::uint32_t& counter)
    : m_run(run), m_counter(counter) {}

SourceResult ScanFolderSource::pass(const QString& startFolder) {
    m_shown = false;
    walk(startFolder);
    return m_shown ? SourceResult::Shown : SourceResult::NothingToShow;
}

void ScanFolderSource::walk(const QString& folder) {
    const std::filesystem::path fsFolder(QFile::encodeName(folder).toStdString());
    std::error_code error;
    const std::string canonical = std::filesystem::canonical(fsFolder, error).string();
    if (error ||
        std::find(m_openFolders.begin(), m_openFolders.end(), canonical) != m_openFolders.end())
        return;
    const std::optional<std::vector<DirEntry>> entries = listFolder(fsFolder);
    if (!entries)
        return;

    m_openFolders.push_back(canonical);
    struct Close {
        std::vector<std::string>& open;
        ~Close() { open.pop_back(); }
    } close{m_openFolders};

    for (const DirEntry& entry : *entries) {
        const QString path = joinPath(folder, entry.name);
        if (entry.isFolder) {
            // Read at each folder met, so a change takes effect for the folders after it.
            if (m_run.read(
                    [](const SlideShowState::Data& d) { return d.settings.IncludeSubflders != 0; }))
                walk(path);
        } else {
            meetFile(path, entry.name);
        }
        m_run.checkStop();
    }
}

void ScanFolderSource::meetFile(const QString& path, const QString& name) {
    const std::optional<PictureMatch> picture =
        PictureTest::test(path, m_run.services().resolveShortcut);
    if (!picture || !QFileInfo(picture->path).isFile())
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
        m_run.tip(QString::fromLatin1(AppTexts::kTipPrefix) + name);
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
    const std::optional<QString> entry =
        m_run.modify([](SlideShowState::Data& d) -> std::optional<QString> {
            if (d.fileList.empty())
                return std::nullopt;
            const std::int32_t position =
                wrapPosition(d.settings.CurFileListPos, d.fileList.size());
            return d.fileList[static_cast<std::size_t>(position)].text();
        });
    if (!entry) {
        m_run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        return;
    }
    // The entry as stored: no picture test and no shortcut resolution in this branch.
    m_run.makeChange(*entry, bitmapName, [](SlideShowState::Data& d) {
        ++d.settings.CurFileListPos;
        wrapPosition(d.settings.CurFileListPos, d.fileList.size());
    });
    m_run.tip(QString::fromLatin1(AppTexts::kTipPrefix) +
              PictureTest::lastComponent(*entry, QLatin1Char('/')));
}

void ScanFolderSource::showFromUrlList(const QString& bitmapName) {
    const std::optional<QString> entry =
        m_run.modify([](SlideShowState::Data& d) -> std::optional<QString> {
            if (d.urlList.empty())
                return std::nullopt;
            const std::int32_t position = wrapPosition(d.settings.CurURLListPos, d.urlList.size());
            return d.urlList[static_cast<std::size_t>(position)].text();
        });
    if (!entry) {
        m_run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        return;
    }
    const QString remoteName = PictureTest::lastComponent(*entry, QLatin1Char('/'));
    const QString local =
        remoteName.isEmpty() ? QString() : m_run.download(FolderListing::downloadTarget(*entry));
    const auto advance = [](SlideShowState::Data& d) {
        ++d.settings.CurURLListPos;
        wrapPosition(d.settings.CurURLListPos, d.urlList.size());
    };
    // A failed download changes nothing (the wallpaper folder is not emptied either), but this
    // picture's turn is used up like any other.
    if (local.isEmpty() || !QFileInfo(local).isFile()) {
        m_run.modify(advance);
        m_run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        return;
    }
    QString bitmap = m_run.wallpaperDir();
    if (!bitmap.endsWith(QLatin1Char('/')))
        bitmap += QLatin1Char('/');
    bitmap += bitmapName;
    const bool converted = m_run.makeChange(local, bitmapName, advance);
    m_run.tip(QString::fromLatin1(AppTexts::kTipPrefix) + (converted ? bitmap : remoteName));
}

#include "worker/ShownAgain.h"

#include "ftp/FolderListing.h"
#include "platform/FileName.h"
#include "platform/RegularFile.h"
#include "worker/PictureTest.h"
#include "worker/WorkerRun.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace ShownAgain {
namespace {

fs::path fsPath(const QString& path) {
    return FileName::toPath(path);
}

} // namespace

std::optional<Found> find(WorkerRun& run, const ShownPicture& picture) {
    if (run.read([&](const SlideShowState::Data& d) { return d.isExcluded(picture.name); }))
        return std::nullopt;
    if (picture.kind == PictureKind::UrlList) {
        const QString remoteName = PictureTest::lastComponent(picture.name, QLatin1Char('/'));
        const QString local = remoteName.isEmpty()
                                  ? QString()
                                  : run.download(FolderListing::downloadTarget(picture.name));
        if (local.isEmpty() || !QFileInfo(local).isFile())
            return std::nullopt;
        return Found{picture, local, PictureTest::remoteBitmapName(remoteName)};
    }
    const std::optional<PictureMatch> match = run.testPicture(picture.name);
    if (!match || !RegularFile::isRegular(match->path))
        return std::nullopt;
    return Found{picture, match->path, PictureTest::bitmapName(match->upperPath)};
}

QString keepDownload(const QString& download, std::size_t index) {
    const QString name = QFileInfo(download).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString kept = QFileInfo(download).path() + QStringLiteral("/shown-%1").arg(index + 1) +
                         (dot >= 0 ? name.mid(dot) : QString());
    const fs::path staging = fsPath(kept + QStringLiteral(".new"));
    std::error_code error;
    fs::remove(staging, error);
    fs::create_hard_link(fsPath(download), staging, error);
    if (error)
        fs::copy_file(fsPath(download), staging, error);
    if (!error)
        fs::rename(staging, fsPath(kept), error);
    if (!error)
        return kept;
    std::error_code ignored;
    fs::remove(staging, ignored);
    return download;
}

} // namespace ShownAgain

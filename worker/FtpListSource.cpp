#include "worker/FtpListSource.h"

#include "ftp/FolderListing.h"
#include "resources/AppTexts.h"
#include "worker/PictureTest.h"
#include "worker/WorkerRun.h"

#include <QFileInfo>
#include <optional>

SourceResult FtpListSource::run(WorkerRun& run) {
    const std::optional<QString> entry = run.currentEntry(ListKind::Urls);
    if (!entry) {
        run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        run.checkStop();
        return SourceResult::NothingToShow;
    }

    const QString remoteName = PictureTest::lastComponent(*entry, QLatin1Char('/'));

    const QString local =
        remoteName.isEmpty() ? QString() : run.download(FolderListing::downloadTarget(*entry));
    if (!local.isEmpty() && QFileInfo(local).isFile()) {
        run.makeChange(local, PictureTest::remoteBitmapName(remoteName),
                       WorkerRun::nextEntry(ListKind::Urls), {PictureKind::UrlList, *entry});
        run.tipPicture(remoteName);
        run.waitForChange();
        return SourceResult::Shown;
    }
    run.checkStop();
    return SourceResult::NothingToShow;
}

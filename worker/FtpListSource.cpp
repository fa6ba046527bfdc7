#include "worker/FtpListSource.h"

#include "ftp/FolderListing.h"
#include "resources/AppTexts.h"
#include "worker/PictureTest.h"
#include "worker/WorkerRun.h"

#include <QFileInfo>
#include <optional>

SourceResult FtpListSource::run(WorkerRun& run) {
    const std::optional<QString> entry =
        run.modify([](SlideShowState::Data& d) -> std::optional<QString> {
            if (d.urlList.empty())
                return std::nullopt;
            const std::int32_t position = wrapPosition(d.settings.CurURLListPos, d.urlList.size());
            return d.urlList[static_cast<std::size_t>(position)].text();
        });
    if (!entry) {
        run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        run.checkStop();
        return SourceResult::NothingToShow;
    }

    const QString remoteName = PictureTest::lastComponent(*entry, QLatin1Char('/'));
    const qsizetype dot = remoteName.lastIndexOf(QLatin1Char('.'));
    // The bitmap keeps the remote name's own letter case; a name without a dot gives ".bmp".
    const QString baseName = dot >= 0 ? remoteName.left(dot) : QString();

    const QString local =
        remoteName.isEmpty() ? QString() : run.download(FolderListing::downloadTarget(*entry));
    if (!local.isEmpty() && QFileInfo(local).isFile()) {
        run.makeChange(local, baseName + QStringLiteral(".bmp"), [](SlideShowState::Data& d) {
            ++d.settings.CurURLListPos;
            wrapPosition(d.settings.CurURLListPos, d.urlList.size());
        });
        run.tip(QString::fromLatin1(AppTexts::kTipPrefix) + remoteName);
        run.waitForChange();
        return SourceResult::Shown;
    }
    run.checkStop();
    return SourceResult::NothingToShow;
}

#include "worker/FileListSource.h"

#include "resources/AppTexts.h"
#include "worker/PictureTest.h"
#include "worker/WorkerRun.h"

#include <QFileInfo>
#include <optional>

SourceResult FileListSource::run(WorkerRun& run) {
    const std::optional<QString> entry =
        run.modify([](SlideShowState::Data& d) -> std::optional<QString> {
            if (d.fileList.empty())
                return std::nullopt;
            const std::int32_t position =
                wrapPosition(d.settings.CurFileListPos, d.fileList.size());
            return d.fileList[static_cast<std::size_t>(position)].text();
        });
    if (!entry) {
        run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        run.checkStop();
        return SourceResult::NothingToShow;
    }

    const std::optional<PictureMatch> picture =
        PictureTest::test(*entry, run.services().resolveShortcut);
    if (picture && QFileInfo(picture->path).isFile()) {
        run.makeChange(picture->path, PictureTest::bitmapName(picture->upperPath),
                       [](SlideShowState::Data& d) {
                           ++d.settings.CurFileListPos;
                           wrapPosition(d.settings.CurFileListPos, d.fileList.size());
                       });
        run.tip(QString::fromLatin1(AppTexts::kTipPrefix) +
                PictureTest::lastComponent(*entry, QLatin1Char('/')));
        run.waitForChange();
        return SourceResult::Shown;
    }
    run.checkStop();
    return SourceResult::NothingToShow;
}

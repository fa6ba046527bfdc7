#include "worker/FileListSource.h"

#include "platform/RegularFile.h"
#include "resources/AppTexts.h"
#include "worker/PictureTest.h"
#include "worker/WorkerRun.h"

#include <QFileInfo>
#include <optional>

SourceResult FileListSource::run(WorkerRun& run) {
    const std::optional<QString> entry = run.currentEntry(ListKind::Files);
    if (!entry) {
        run.tip(QString::fromLatin1(AppTexts::kTipFileNotFound));
        run.checkStop();
        return SourceResult::NothingToShow;
    }

    const std::optional<PictureMatch> picture = run.testPicture(*entry);
    if (picture && RegularFile::isRegular(picture->path)) {
        run.makeChange(picture->path, PictureTest::bitmapName(picture->upperPath),
                       WorkerRun::nextEntry(ListKind::Files), {PictureKind::FileList, *entry});
        run.tipPicture(PictureTest::lastComponent(*entry, QLatin1Char('/')));
        run.waitForChange();
        return SourceResult::Shown;
    }
    run.checkStop();
    return SourceResult::NothingToShow;
}

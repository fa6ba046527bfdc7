#include "wallpaper/PictureConverter.h"

#include "bitmap/BitmapReader.h"
#include "platform/ConverterProcess.h"
#include "platform/FileName.h"
#include "platform/LogCategories.h"

#include <algorithm>
#include <string>
#include <unistd.h>

namespace {

// A converter that names something new at every change would fill the memory of what was told.
constexpr qsizetype kMaxNotices = 16;

// Why the bitmap the converter wrote is not the one asked for, or nothing when it is. The
// converter is not trusted: only a bitmap of the size the layout gives on that screen (or
// within it, where the picture's size decides) is taken, so no reader of it ever holds more
// than a screen.
std::optional<QString> refusal(const ConversionRequest& request) {
    const WallpaperLayout::BitmapBound bound = request.layout.bitmapBound(request.screen.screen);
    BitmapReader bitmap;
    std::optional<std::string> reason = bitmap.open(request.bitmap, std::max(bound.size.width(), 1),
                                                    std::max(bound.size.height(), 1));
    if (!reason && bound.exact && QSize(bitmap.width(), bitmap.height()) != bound.size)
        reason = "it is " + std::to_string(bitmap.width()) + "x" + std::to_string(bitmap.height()) +
                 " pixels, not " + std::to_string(bound.size.width()) + "x" +
                 std::to_string(bound.size.height());
    if (!reason)
        return std::nullopt;
    return QStringLiteral("the converter program's bitmap is refused: %1")
        .arg(QString::fromStdString(*reason));
}

} // namespace

PictureConverter::PictureConverter(ConverterProcess& process) : m_process(process) {}

bool PictureConverter::ConvertPicture(const QString& picturePath, const QString& bitmapPath,
                                      const WallpaperLayout& layout, const ScreenMetrics& screen) {
    ConversionRequest request;
    request.picture = FileName::toNative(picturePath).toStdString();
    request.bitmap = FileName::toNative(bitmapPath).toStdString();
    request.layout = layout;
    request.screen = screen;
    ConverterProcess::Result result;
    // A name is handed over as bytes; one with a zero byte in it names no file.
    if (request.picture.find('\0') != std::string::npos ||
        request.bitmap.find('\0') != std::string::npos)
        result.reason = QStringLiteral("the name holds a zero character");
    else
        result = m_process.convert(request);
    if (result.outcome == ConverterProcess::Result::Outcome::Converted) {
        if (const std::optional<QString> reason = refusal(request)) {
            ::unlink(request.bitmap.c_str());
            result.outcome = ConverterProcess::Result::Outcome::Failed;
            result.reason = *reason;
        }
    }

    for (const QString& notice : std::as_const(result.notices))
        logNotice(notice);
    if (result.outcome == ConverterProcess::Result::Outcome::Failed)
        qCWarning(lcConvert).noquote()
            << QStringLiteral("Cannot convert %1: %2").arg(picturePath, result.reason);
    return result.outcome == ConverterProcess::Result::Outcome::Converted;
}

void PictureConverter::logNotice(const QString& notice) {
    std::lock_guard lock(m_mutex);
    if (m_noticesLogged.contains(notice) || m_noticesLogged.size() > kMaxNotices)
        return;
    m_noticesLogged.insert(notice);
    if (m_noticesLogged.size() <= kMaxNotices)
        qCWarning(lcConvert).noquote() << QStringLiteral("Converter program: %1").arg(notice);
    else
        qCWarning(lcConvert).noquote()
            << QStringLiteral("Converter program: more than %1 different notices; no more are "
                              "logged")
                   .arg(kMaxNotices);
}

void PictureConverter::abort() {
    m_process.abort();
}

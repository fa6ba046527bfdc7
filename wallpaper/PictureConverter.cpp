#include "wallpaper/PictureConverter.h"

#include "platform/ConverterProcess.h"
#include "platform/FileName.h"
#include "platform/LogCategories.h"

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

    for (const QString& notice : std::as_const(result.notices)) {
        std::lock_guard lock(m_mutex);
        if (!m_noticesLogged.contains(notice)) {
            m_noticesLogged.insert(notice);
            qCWarning(lcConvert).noquote() << QStringLiteral("Converter program: %1").arg(notice);
        }
    }
    if (result.outcome == ConverterProcess::Result::Outcome::Failed)
        qCWarning(lcConvert).noquote()
            << QStringLiteral("Cannot convert %1: %2").arg(picturePath, result.reason);
    return result.outcome == ConverterProcess::Result::Outcome::Converted;
}

void PictureConverter::abort() {
    m_process.abort();
}

#include "platform/linux/LayerShellWallpaper.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kProgram = QStringLiteral("swaybg");

} // namespace

LayerShellWallpaper::LayerShellWallpaper(QString waylandDisplay, int timeoutMs)
    : m_waylandDisplay(std::move(waylandDisplay)), m_timeoutMs(timeoutMs) {}

LayerShellWallpaper::~LayerShellWallpaper() = default;

bool LayerShellWallpaper::doProbe() {
    if (m_waylandDisplay.isEmpty())
        return fail(QStringLiteral("WAYLAND_DISPLAY is not set"));
    return !QStandardPaths::findExecutable(kProgram).isEmpty() ||
           fail(QStringLiteral("%1 is not on PATH").arg(kProgram));
}

bool LayerShellWallpaper::replace(std::vector<SwaybgProcess::Picture> pictures) {
    const QString program = QStandardPaths::findExecutable(kProgram);
    if (program.isEmpty())
        return fail(QStringLiteral("%1 is not on PATH").arg(kProgram));
    QString why;
    std::unique_ptr<SwaybgProcess> drawn =
        SwaybgProcess::start(program, SwaybgProcess::arguments(pictures), m_timeoutMs, &why);
    if (!drawn)
        return fail(why);
    // The new one has drawn: the old one can go without a bare screen between them.
    m_swaybg = std::move(drawn);
    m_pictures = std::move(pictures);
    return true;
}

bool LayerShellWallpaper::doShow(const WallpaperValues& values) {
    return replace({{QStringLiteral("*"), values.wallpaper, SwaybgProcess::modeOf(values)}});
}

bool LayerShellWallpaper::doShowEach(const std::vector<ScreenWallpaper>& pictures) {
    std::vector<SwaybgProcess::Picture> set;
    for (const ScreenWallpaper& picture : pictures)
        set.push_back(
            {picture.screen.name, picture.values.wallpaper, SwaybgProcess::modeOf(picture.values)});
    // Outputs not named keep what they show, while its file is there to be read again.
    for (const SwaybgProcess::Picture& shown : m_pictures) {
        const bool named = std::any_of(set.begin(), set.end(), [&](const auto& picture) {
            return picture.output == shown.output;
        });
        if (!named && (shown.path.isEmpty() || QFileInfo(shown.path).isFile()))
            set.insert(shown.output == u"*" ? set.begin() : set.end(), shown);
    }
    return replace(std::move(set));
}

std::optional<WallpaperSnapshot> LayerShellWallpaper::doRead() {
    fail(QStringLiteral("nothing to record: the compositor's own background lies beneath the "
                        "program's pictures and comes back when the program's swaybg ends"));
    return std::nullopt;
}

bool LayerShellWallpaper::doRestore(const WallpaperSnapshot&) {
    m_swaybg.reset();
    m_pictures.clear();
    return true;
}

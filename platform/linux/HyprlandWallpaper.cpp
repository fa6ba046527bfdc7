#include "platform/linux/HyprlandWallpaper.h"

#include "platform/linux/BoundedCommand.h"
#include "platform/linux/WallpaperOptions.h"
#include "platform/linux/WallpaperRecord.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QStandardPaths>

namespace {

const QString kProgram = QStringLiteral("hyprctl");

} // namespace

std::optional<QString> HyprlandWallpaper::hyprpaper(const QStringList& words) {
    const QString program = QStandardPaths::findExecutable(kProgram);
    if (program.isEmpty()) {
        fail(QStringLiteral("%1 is not on PATH").arg(kProgram));
        return std::nullopt;
    }
    QByteArray output;
    const int status = BoundedCommand::run(
        program, QStringList{QStringLiteral("hyprpaper")} + words, m_timeoutMs, &output);
    if (status != 0) {
        fail(status < 0
                 ? QStringLiteral("%1 did not start, was killed or ran past %2 ms")
                       .arg(kProgram)
                       .arg(m_timeoutMs)
                 : QStringLiteral("hyprpaper does not answer on its socket (%1 ended with status "
                                  "%2)")
                       .arg(kProgram)
                       .arg(status));
        return std::nullopt;
    }
    return QString::fromUtf8(output).trimmed();
}

bool HyprlandWallpaper::request(const QStringList& words) {
    const std::optional<QString> answer = hyprpaper(words);
    if (!answer)
        return false;
    return *answer == u"ok" || fail(QStringLiteral("hyprpaper answered \"%1\" to %2")
                                        .arg(answer->left(200), words.join(u' ')));
}

bool HyprlandWallpaper::doProbe() {
    return hyprpaper({QStringLiteral("listloaded")}).has_value();
}

QString HyprlandWallpaper::prefixOf(const WallpaperValues& values) {
    switch (WallpaperOptions::placementOf(values)) {
    case Placement::Tiled:
        return QStringLiteral("tile:");
    case Placement::Zoomed:
        return {};
    default:
        return QStringLiteral("contain:");
    }
}

QString HyprlandWallpaper::pngCopy(const QString& bitmap) {
    const QImage image(bitmap);
    const QString copy =
        QFileInfo(bitmap).absolutePath() + QStringLiteral("/.hyprpaper-%1-%2.png")
                                               .arg(QCoreApplication::applicationPid())
                                               .arg(++m_copies);
    // Fast rather than small: the copy is read once and goes at the next change. The user's
    // alone, like every file of the program's.
    QFile file(copy);
    if (image.isNull() ||
        !file.open(QIODevice::WriteOnly | QIODevice::Truncate,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        !image.save(&file, "PNG", 100)) {
        file.remove();
        fail(QStringLiteral("no PNG copy of %1 could be written for hyprpaper").arg(bitmap));
        return {};
    }
    return copy;
}

bool HyprlandWallpaper::change(const std::vector<Target>& targets) {
    QStringList loaded;
    for (const Target& target : targets) {
        if (loaded.contains(target.path))
            continue;
        if (!request({QStringLiteral("preload"), target.path}))
            return false;
        loaded << target.path;
    }
    for (const Target& target : targets)
        if (!request(
                {QStringLiteral("wallpaper"), target.monitor + u',' + target.prefix + target.path}))
            return false;
    // Only the program's own pictures are unloaded; a failure here leaves the change made.
    for (const QString& previous : std::as_const(m_loaded))
        if (!loaded.contains(previous)) {
            hyprpaper({QStringLiteral("unload"), previous});
            if (QFileInfo(previous).fileName().startsWith(QStringLiteral(".hyprpaper-")))
                QFile::remove(previous);
        }
    m_loaded = loaded;
    return true;
}

bool HyprlandWallpaper::doShow(const WallpaperValues& values) {
    if (values.wallpaper.isEmpty())
        return fail(QStringLiteral("hyprpaper cannot show no picture"));
    const QString copy = pngCopy(values.wallpaper);
    if (copy.isEmpty())
        return false;
    // Monitors given their own picture earlier keep it unless named again.
    std::vector<Target> targets{{QString(), copy, prefixOf(values)}};
    for (const QString& monitor : std::as_const(m_monitors))
        targets.push_back({monitor, copy, prefixOf(values)});
    return change(targets);
}

bool HyprlandWallpaper::doShowEach(const std::vector<ScreenWallpaper>& pictures) {
    std::vector<Target> targets;
    for (const ScreenWallpaper& picture : pictures) {
        // A name with a ',' would split hyprpaper's argument.
        if (picture.screen.name.isEmpty() || picture.screen.name.contains(u','))
            continue;
        const QString copy = pngCopy(picture.values.wallpaper);
        if (copy.isEmpty())
            return false;
        targets.push_back({picture.screen.name, copy, prefixOf(picture.values)});
        if (!m_monitors.contains(picture.screen.name))
            m_monitors << picture.screen.name;
    }
    return !targets.empty() && change(targets);
}

std::optional<WallpaperSnapshot> HyprlandWallpaper::doRead() {
    const std::optional<QString> answer = hyprpaper({QStringLiteral("listactive")});
    if (!answer)
        return std::nullopt;
    // "MONITOR = PATH", a line each.
    QJsonArray monitors;
    WallpaperSnapshot snapshot;
    const QStringList lines = answer->split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QStringLiteral(" = "));
        if (equals <= 0)
            continue;
        const QString path = line.mid(equals + 3).trimmed();
        monitors.append(QJsonObject{{QStringLiteral("monitor"), line.left(equals).trimmed()},
                                    {QStringLiteral("path"), path}});
        if (snapshot.values.wallpaper.isEmpty()) {
            snapshot.values.wallpaper = path;
            WallpaperOptions::describe(Placement::Zoomed, snapshot.values);
        }
    }
    snapshot.detail = WallpaperRecord::write(name(), {{QStringLiteral("monitors"), monitors}});
    return snapshot;
}

bool HyprlandWallpaper::doRestore(const WallpaperSnapshot& snapshot) {
    std::vector<Target> targets;
    if (const std::optional<QJsonObject> record = WallpaperRecord::read(name(), snapshot.detail)) {
        const QJsonArray monitors = record->value(QStringLiteral("monitors")).toArray();
        for (const QJsonValue& value : monitors)
            targets.push_back({value.toObject().value(QStringLiteral("monitor")).toString(),
                               value.toObject().value(QStringLiteral("path")).toString(),
                               {}});
    } else if (!snapshot.values.wallpaper.isEmpty()) {
        targets.push_back({QString(), snapshot.values.wallpaper, prefixOf(snapshot.values)});
    }
    if (targets.empty())
        return fail(QStringLiteral("hyprpaper showed no picture to put back"));
    // The user's pictures may still be loaded: a refused preload is no failure by itself.
    for (const Target& target : targets)
        hyprpaper({QStringLiteral("preload"), target.path});
    for (const Target& target : targets)
        if (!request({QStringLiteral("wallpaper"), target.monitor + u',' + target.path}))
            return false;
    for (const QString& previous : std::as_const(m_loaded)) {
        hyprpaper({QStringLiteral("unload"), previous});
        QFile::remove(previous);
    }
    m_loaded.clear();
    m_monitors.clear();
    return true;
}

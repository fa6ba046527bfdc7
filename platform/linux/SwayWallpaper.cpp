#include "platform/linux/SwayWallpaper.h"

#include "platform/LogCategories.h"
#include "platform/linux/BoundedCommand.h"
#include "platform/linux/WallpaperOptions.h"
#include "platform/linux/WallpaperRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <map>

namespace {

const QString kProgram = QStringLiteral("swaymsg");
const QString kBlack = QStringLiteral("#000000");

// A line's words as sway splits them: at blanks, except inside quotes, which go.
QStringList words(const QString& line) {
    QStringList result;
    QString word;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else if (c == u'\\' && i + 1 < line.size() && line[i + 1] == quote)
                word += line[++i];
            else
                word += c;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                result << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        result << word;
    return result;
}

// The placement a sway background mode stands for, in the program's vocabulary.
Placement placementOfMode(const QString& mode) {
    static const std::map<QString, Placement> modes = {
        {QStringLiteral("tile"), Placement::Tiled},
        {QStringLiteral("center"), Placement::Centred},
        {QStringLiteral("stretch"), Placement::Stretched},
        {QStringLiteral("fit"), Placement::Scaled},
        {QStringLiteral("fill"), Placement::Zoomed}};
    const auto found = modes.find(mode);
    return found == modes.end() ? Placement::None : found->second;
}

bool isColour(const QString& text) {
    static const QRegularExpression colour(QStringLiteral("^#([0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$"));
    return colour.match(text).hasMatch();
}

// An output name or identifier as sway takes it in a command; nothing for one it would read
// otherwise.
std::optional<QString> outputWord(const QString& output) {
    if (output == u"*" || SwayWallpaper::isLiteral(output))
        return output;
    static const QRegularExpression quotable(QStringLiteral(R"(^[\w .:()+-]+$)"));
    if (quotable.match(output).hasMatch())
        return u'"' + output + u'"';
    return std::nullopt;
}

QJsonObject toJson(const SwayWallpaper::Background& background) {
    return {{QStringLiteral("output"), background.output},
            {QStringLiteral("file"), background.file},
            {QStringLiteral("mode"), background.mode},
            {QStringLiteral("colour"), background.colour}};
}

} // namespace

SwayWallpaper::SwayWallpaper(QString dataDir, int timeoutMs)
    : m_dataDir(std::move(dataDir)), m_timeoutMs(timeoutMs) {}

SwayWallpaper::~SwayWallpaper() = default;

bool SwayWallpaper::isLiteral(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const bool plain = (c.unicode() < 0x80 && c.isLetterOrNumber()) || c == u'/' || c == u'.' ||
                           c == u'_' || c == u'+' || c == u'-';
        // Letters beyond ASCII mean nothing to the expansion.
        if (!plain && !(c.unicode() >= 0x80 && c.isLetterOrNumber()))
            return false;
    }
    return true;
}

QStringList SwayWallpaper::command(const QString& output, const WallpaperValues& values,
                                   const QString& path) {
    const QStringList target = {QStringLiteral("output"), output, QStringLiteral("bg")};
    const QString mode = SwaybgProcess::modeOf(values);
    if (mode.isEmpty())
        return target + QStringList{kBlack, QStringLiteral("solid_color")};
    // Black where the picture leaves room, as on the other desktops.
    return target + QStringList{path, mode, kBlack};
}

std::optional<QString> SwayWallpaper::literalPath(const QString& path, const QString& index,
                                                  const QString& folder) {
    if (isLiteral(path))
        return path;
    const QFileInfo picture(path);
    const QString link = (folder.isEmpty() ? picture.absolutePath() : folder) +
                         QStringLiteral("/.sway-%1.").arg(index) +
                         (isLiteral(picture.suffix()) ? picture.suffix() : QStringLiteral("bmp"));
    if (isLiteral(link)) {
        QFile::remove(link);
        if (QFile::link(picture.absoluteFilePath(), link))
            return link;
    }
    qCWarning(lcPlatform).noquote()
        << QStringLiteral("The wallpaper %1 cannot be given to sway: sway would read parts of "
                          "its path as commands, and no link of a safe name could be made")
               .arg(path);
    return std::nullopt;
}

bool SwayWallpaper::doProbe() {
    return !QStandardPaths::findExecutable(kProgram).isEmpty() ||
           fail(QStringLiteral("%1 is not on PATH").arg(kProgram));
}

bool SwayWallpaper::run(const QStringList& arguments, QByteArray* output) {
    const QString program = QStandardPaths::findExecutable(kProgram);
    if (program.isEmpty())
        return fail(QStringLiteral("%1 is not on PATH").arg(kProgram));
    const int status = BoundedCommand::run(program, arguments, m_timeoutMs, output);
    if (status == 0)
        return true;
    return fail(status < 0 ? QStringLiteral("%1 did not start, was killed or ran past %2 ms")
                                 .arg(kProgram)
                                 .arg(m_timeoutMs)
                           : QStringLiteral("%1 ended with status %2").arg(kProgram).arg(status));
}

bool SwayWallpaper::change(const std::vector<SwaybgProcess::Picture>& cover,
                           const QStringList& arguments) {
    std::unique_ptr<SwaybgProcess> next;
    const QString swaybg = QStandardPaths::findExecutable(QStringLiteral("swaybg"));
    QString why = QStringLiteral("swaybg is not on PATH");
    if (!swaybg.isEmpty())
        next = SwaybgProcess::start(swaybg, SwaybgProcess::arguments(cover), m_timeoutMs, &why);
    if (!next && !m_coverWarned) {
        m_coverWarned = true;
        qCWarning(lcWallpaper).noquote()
            << QStringLiteral("sway: the screen may flash grey at each change: %1").arg(why);
    }
    if (!run(arguments))
        return false;
    m_cover = std::move(next);
    return true;
}

bool SwayWallpaper::doShow(const WallpaperValues& values) {
    std::optional<QString> path = values.wallpaper;
    if (WallpaperOptions::placementOf(values) != Placement::None)
        path = literalPath(values.wallpaper, QStringLiteral("0"));
    if (!path)
        return fail(QStringLiteral("no name sway takes literally could be made for %1")
                        .arg(values.wallpaper));
    return change({{QStringLiteral("*"), values.wallpaper, SwaybgProcess::modeOf(values)}},
                  command(QStringLiteral("*"), values, *path));
}

bool SwayWallpaper::doShowEach(const std::vector<ScreenWallpaper>& pictures) {
    // One command list, so that every output changes at once.
    QStringList arguments;
    std::vector<SwaybgProcess::Picture> cover;
    int index = 0;
    for (const ScreenWallpaper& picture : pictures) {
        ++index;
        const std::optional<QString> path =
            literalPath(picture.values.wallpaper, QString::number(index));
        if (!path || !isLiteral(picture.screen.name)) {
            qCWarning(lcPlatform).noquote()
                << QStringLiteral("No wallpaper for the output \"%1\"").arg(picture.screen.name);
            continue;
        }
        if (!arguments.isEmpty())
            arguments << QStringLiteral(";");
        arguments << command(picture.screen.name, picture.values, *path);
        cover.push_back(
            {picture.screen.name, picture.values.wallpaper, SwaybgProcess::modeOf(picture.values)});
    }
    return !arguments.isEmpty() && change(cover, arguments);
}

std::vector<SwayWallpaper::Background> SwayWallpaper::backgroundsOf(const QString& config,
                                                                    const QString& home) {
    std::vector<Background> result;
    std::map<QString, QString, std::greater<>> variables; // longest name first where one is
                                                          // the start of another
    QStringList blocks;
    QString joined;
    const QStringList lines = config.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        QString line = raw.trimmed();
        // A line ending in '\' goes on in the next.
        if (line.endsWith(u'\\')) {
            joined += line.chopped(1) + u' ';
            continue;
        }
        line = (joined + line).trimmed();
        joined.clear();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line == u"}") {
            if (!blocks.isEmpty())
                blocks.removeLast();
            continue;
        }
        if (line.startsWith(QStringLiteral("set "))) {
            const QStringList set = words(line);
            if (set.size() >= 3 && set[1].startsWith(u'$'))
                variables[set[1]] = set.mid(2).join(u' ');
            continue;
        }
        for (const auto& [name, value] : variables)
            line.replace(name, value);
        if (line.endsWith(u'{')) {
            blocks << line.chopped(1).trimmed();
            continue;
        }
        const QStringList command =
            words((blocks.isEmpty() ? QString() : blocks.last() + u' ') + line);
        if (command.size() < 4 || command[0] != u"output")
            continue;
        for (qsizetype i = 2; i + 2 < command.size(); ++i) {
            if (command[i] != u"bg" && command[i] != u"background")
                continue;
            Background background{command[1], {}, {}, {}};
            if (command[i + 2] == u"solid_color") {
                background.colour = command[i + 1];
                background.mode = command[i + 2];
            } else {
                background.file = command[i + 1];
                background.mode = command[i + 2];
                if (i + 3 < command.size() && isColour(command[i + 3]))
                    background.colour = command[i + 3];
                if (background.file.startsWith(QStringLiteral("~/")))
                    background.file = home + background.file.mid(1);
            }
            result.erase(std::remove_if(result.begin(), result.end(),
                                        [&](const Background& known) {
                                            return known.output == background.output;
                                        }),
                         result.end());
            result.push_back(background);
            break;
        }
    }
    return result;
}

std::optional<WallpaperSnapshot> SwayWallpaper::doRead() {
    QByteArray json;
    if (!run({QStringLiteral("-t"), QStringLiteral("get_config")}, &json))
        return std::nullopt;
    const QJsonValue config =
        QJsonDocument::fromJson(json).object().value(QStringLiteral("config"));
    if (!config.isString()) {
        fail(QStringLiteral("sway did not tell its configuration"));
        return std::nullopt;
    }
    const std::vector<Background> backgrounds = backgroundsOf(config.toString(), QDir::homePath());
    WallpaperSnapshot snapshot;
    QJsonArray outputs;
    for (const Background& background : backgrounds)
        outputs.append(toJson(background));
    // The three values tell the background of every output, or of the first one named.
    const auto main = std::find_if(backgrounds.begin(), backgrounds.end(),
                                   [](const Background& b) { return b.output == u"*"; });
    if (main != backgrounds.end() || !backgrounds.empty()) {
        const Background& shown = main != backgrounds.end() ? *main : backgrounds.front();
        snapshot.values.wallpaper = shown.file;
        WallpaperOptions::describe(
            shown.file.isEmpty() ? Placement::None : placementOfMode(shown.mode), snapshot.values);
    } else {
        WallpaperOptions::describe(Placement::None, snapshot.values);
    }
    snapshot.detail = WallpaperRecord::write(name(), {{QStringLiteral("outputs"), outputs}});
    return snapshot;
}

bool SwayWallpaper::doRestore(const WallpaperSnapshot& snapshot) {
    const std::optional<QJsonObject> record = WallpaperRecord::read(name(), snapshot.detail);
    std::vector<Background> backgrounds;
    if (record) {
        const QJsonArray outputs = record->value(QStringLiteral("outputs")).toArray();
        for (const QJsonValue& value : outputs) {
            const QJsonObject entry = value.toObject();
            backgrounds.push_back({entry.value(QStringLiteral("output")).toString(),
                                   entry.value(QStringLiteral("file")).toString(),
                                   entry.value(QStringLiteral("mode")).toString(),
                                   entry.value(QStringLiteral("colour")).toString()});
        }
    } else if (!snapshot.values.wallpaper.isEmpty()) {
        backgrounds.push_back({QStringLiteral("*"),
                               snapshot.values.wallpaper,
                               SwaybgProcess::modeOf(snapshot.values),
                               {}});
    }
    // Every output first, then those of their own: sway lays '*' over every output's own.
    std::stable_partition(backgrounds.begin(), backgrounds.end(),
                          [](const Background& b) { return b.output == u"*"; });
    if (backgrounds.empty() || backgrounds.front().output != u"*")
        backgrounds.insert(backgrounds.begin(),
                           {QStringLiteral("*"), {}, QStringLiteral("solid_color"), kBlack});

    QStringList arguments;
    int index = 0;
    for (const Background& background : backgrounds) {
        const std::optional<QString> output = outputWord(background.output);
        std::optional<QString> file = background.file;
        if (!background.file.isEmpty())
            file =
                literalPath(background.file, QStringLiteral("restore-%1").arg(++index), m_dataDir);
        const bool plain = background.file.isEmpty() || background.mode == u"solid_color";
        const QString colour = isColour(background.colour) ? background.colour : QString();
        if (!output || !file || (!plain && placementOfMode(background.mode) == Placement::None)) {
            qCWarning(lcWallpaper).noquote()
                << QStringLiteral("sway: the background of the output \"%1\" cannot be put back")
                       .arg(background.output);
            continue;
        }
        if (!arguments.isEmpty())
            arguments << QStringLiteral(";");
        arguments << QStringLiteral("output") << *output << QStringLiteral("bg");
        if (plain)
            arguments << (colour.isEmpty() ? kBlack : colour) << QStringLiteral("solid_color");
        else
            arguments << *file << background.mode;
        if (!plain && !colour.isEmpty())
            arguments << colour;
    }
    if (!run(arguments))
        return false;
    m_cover.reset();
    return true;
}

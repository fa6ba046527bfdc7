// glib's headers name a member "signals", which Qt defines as a macro: they come first.
#include <gio/gio.h>

#include "platform/linux/LinuxLockScreen.h"

#include "platform/FileName.h"
#include "platform/LogCategories.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <unistd.h>

namespace {

constexpr const char* kBackground = "org.gnome.desktop.background";
constexpr const char* kScreensaver = "org.gnome.desktop.screensaver";
constexpr const char* kGnomeKeys[] = {"picture-uri", "picture-options"};

// kscreenlockerrc's groups and keys, as KDE writes them.
const QString kGreeter = QStringLiteral("[Greeter]");
const QString kImageGroup = QStringLiteral("[Greeter][Wallpaper][org.kde.image][General]");
const QString kPluginKey = QStringLiteral("WallpaperPlugin");
const QString kImageKey = QStringLiteral("Image");

GSettings* openSchema(const char* name, GSettingsBackend* backend) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, name, TRUE) : nullptr;
    if (!schema)
        return nullptr;
    GSettings* settings = g_settings_new_full(schema, backend, nullptr);
    g_settings_schema_unref(schema);
    return settings;
}

QString stringOf(GSettings* settings, const char* key) {
    gchar* text = g_settings_get_string(settings, key);
    const QString value = QString::fromUtf8(text);
    g_free(text);
    return value;
}

// Replaces `to` whole by a link to `from`, or a copy where no link can be made.
bool placeFile(const QString& from, const QString& to) {
    const QString staging = to + QStringLiteral(".new");
    QFile::remove(staging);
    if (::link(FileName::toNative(from).constData(), FileName::toNative(staging).constData()) !=
            0 &&
        !QFile::copy(from, staging))
        return false;
    if (::rename(FileName::toNative(staging).constData(), FileName::toNative(to).constData()) == 0)
        return true;
    QFile::remove(staging);
    return false;
}

// A KDE configuration file as lines, with groups as KDE writes them ("[A][B]").
struct KdeConfig {
    QStringList lines;

    static KdeConfig load(const QString& path) {
        QFile file(path);
        KdeConfig config;
        if (file.open(QIODevice::ReadOnly))
            config.lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        return config;
    }

    qsizetype groupAt(const QString& group) const { return lines.indexOf(group); }
    // The line of `key` in the group, or -1.
    qsizetype keyAt(const QString& group, const QString& key) const {
        for (qsizetype i = groupAt(group) + 1; i > 0 && i < lines.size(); ++i) {
            if (lines[i].startsWith(QLatin1Char('[')))
                break;
            if (lines[i].startsWith(key + QLatin1Char('=')))
                return i;
        }
        return -1;
    }
    std::optional<QString> value(const QString& group, const QString& key) const {
        const qsizetype at = keyAt(group, key);
        if (at < 0)
            return std::nullopt;
        return lines[at].mid(key.size() + 1);
    }
    // Sets the key, or removes it for no value.
    void set(const QString& group, const QString& key, const std::optional<QString>& value) {
        const qsizetype at = keyAt(group, key);
        if (at >= 0 && !value)
            lines.removeAt(at);
        else if (at >= 0)
            lines[at] = key + QLatin1Char('=') + *value;
        else if (value && groupAt(group) >= 0)
            lines.insert(groupAt(group) + 1, key + QLatin1Char('=') + *value);
        else if (value)
            lines << QString() << group << key + QLatin1Char('=') + *value;
    }
};

} // namespace

LinuxLockScreen::LinuxLockScreen(Desktop desktop, QString stateDir, QString configDir,
                                 GSettingsBackend* backend)
    : m_desktop(desktop), m_stateDir(std::move(stateDir)), m_configDir(std::move(configDir)),
      m_backend(backend ? static_cast<GSettingsBackend*>(g_object_ref(backend)) : nullptr) {}

LinuxLockScreen::~LinuxLockScreen() {
    if (m_backend)
        g_object_unref(m_backend);
}

LinuxLockScreen::Desktop LinuxLockScreen::desktopOf(const QString& wallpaperBackend) {
    if (wallpaperBackend == QLatin1String("gnome"))
        return Desktop::Gnome;
    if (wallpaperBackend == QLatin1String("plasma"))
        return Desktop::Plasma;
    return Desktop::Other;
}

QString LinuxLockScreen::lockerConfig() const {
    return m_configDir + QStringLiteral("/kscreenlockerrc");
}

std::optional<QString> LinuxLockScreen::read() {
    QJsonObject record;
    if (m_desktop == Desktop::Gnome) {
        GSettings* settings = openSchema(kScreensaver, m_backend);
        if (!settings)
            return std::nullopt;
        // A key the user never set is recorded as absent, so that restore resets it.
        for (const char* key : kGnomeKeys)
            if (GVariant* value = g_settings_get_user_value(settings, key)) {
                record[QLatin1String(key)] =
                    QString::fromUtf8(g_variant_get_string(value, nullptr));
                g_variant_unref(value);
            }
        g_object_unref(settings);
    } else if (m_desktop == Desktop::Plasma) {
        record = plasmaRecord();
    } else {
        return std::nullopt;
    }
    return QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
}

void LinuxLockScreen::show(const std::vector<ScreenBitmap>& screens) {
    if (screens.empty())
        return;
    placeFiles(screens);
    if (m_desktop == Desktop::Gnome) {
        GSettings* background = openSchema(kBackground, m_backend);
        GSettings* screensaver = openSchema(kScreensaver, m_backend);
        for (const char* key : kGnomeKeys)
            if (background && screensaver &&
                !g_settings_set_string(screensaver, key,
                                       stringOf(background, key).toUtf8().constData()))
                qCWarning(lcPlatform) << "The lock screen does not take its" << key;
        for (GSettings* settings : {background, screensaver})
            if (settings)
                g_object_unref(settings);
        g_settings_sync();
    } else if (m_desktop == Desktop::Plasma) {
        const QJsonObject ours{
            {kPluginKey, QStringLiteral("org.kde.image")},
            {kImageKey,
             QUrl::fromLocalFile(m_stateDir + QStringLiteral("/current.bmp")).toString()}};
        // The file names the same picture at every change: written again only when something
        // else changed it.
        if (plasmaRecord() != ours)
            writePlasma(ours);
    }
}

QJsonObject LinuxLockScreen::plasmaRecord() const {
    const KdeConfig config = KdeConfig::load(lockerConfig());
    QJsonObject record;
    if (const auto plugin = config.value(kGreeter, kPluginKey))
        record[kPluginKey] = *plugin;
    if (const auto image = config.value(kImageGroup, kImageKey))
        record[kImageKey] = *image;
    return record;
}

void LinuxLockScreen::placeFiles(const std::vector<ScreenBitmap>& screens) const {
    QDir().mkpath(m_stateDir);
    const auto place = [](const QString& from, const QString& to) {
        if (!placeFile(from, to))
            qCWarning(lcPlatform).noquote() << "Cannot make the lock-screen picture" << to;
    };
    place(screens.front().bitmap, m_stateDir + QStringLiteral("/current.bmp"));
    for (const ScreenBitmap& screen : screens) {
        QString name = screen.screen.name;
        name.replace(QLatin1Char('/'), QLatin1Char('_'));
        if (!name.isEmpty() && !name.startsWith(QLatin1Char('.')))
            place(screen.bitmap, m_stateDir + QStringLiteral("/current-%1.bmp").arg(name));
    }
}

bool LinuxLockScreen::restore(const QString& recordText) {
    const QJsonObject record = QJsonDocument::fromJson(recordText.toUtf8()).object();
    if (m_desktop == Desktop::Gnome) {
        GSettings* settings = openSchema(kScreensaver, m_backend);
        if (!settings)
            return false;
        for (const char* key : kGnomeKeys) {
            const QJsonValue value = record.value(QLatin1String(key));
            if (value.isString())
                g_settings_set_string(settings, key, value.toString().toUtf8().constData());
            else
                g_settings_reset(settings, key);
        }
        g_object_unref(settings);
        g_settings_sync();
        return true;
    }
    return m_desktop != Desktop::Plasma || writePlasma(record);
}

bool LinuxLockScreen::writePlasma(const QJsonObject& record) const {
    KdeConfig config = KdeConfig::load(lockerConfig());
    const auto valueOf = [&](const QString& key) -> std::optional<QString> {
        return record.value(key).isString() ? std::optional(record.value(key).toString())
                                            : std::nullopt;
    };
    config.set(kGreeter, kPluginKey, valueOf(kPluginKey));
    config.set(kImageGroup, kImageKey, valueOf(kImageKey));
    QDir().mkpath(m_configDir);
    // The screen locker's own settings: whole or not at all, also on a full disk.
    QString error;
    if (!RegularFile::replace(lockerConfig(), config.lines.join(QLatin1Char('\n')).toUtf8(), {},
                              &error)) {
        qCWarning(lcPlatform).noquote() << "Cannot write" << lockerConfig() << error;
        return false;
    }
    return true;
}

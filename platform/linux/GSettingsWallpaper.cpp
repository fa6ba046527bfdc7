// glib's headers name a member "signals", which Qt defines as a macro: they come first.
#include <gio/gio.h>

#include "platform/linux/GSettingsWallpaper.h"

#include "platform/linux/WallpaperOptions.h"
#include "platform/linux/WallpaperRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QUrl>

#include <filesystem>
#include <memory>

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using SettingsPtr = std::unique_ptr<GSettings, GObjectUnref>;

struct VariantUnref {
    void operator()(GVariant* value) const { g_variant_unref(value); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

const char* schemaOf(GSettingsWallpaper::Flavour flavour) {
    switch (flavour) {
    case GSettingsWallpaper::Flavour::Cinnamon:
        return "org.cinnamon.desktop.background";
    case GSettingsWallpaper::Flavour::Mate:
        return "org.mate.background";
    default:
        return "org.gnome.desktop.background";
    }
}

const char* kOptionsKey = "picture-options";

const std::pair<Placement, const char*> kOptionNames[] = {
    {Placement::None, "none"},        {Placement::Tiled, "wallpaper"},
    {Placement::Centred, "centered"}, {Placement::Stretched, "stretched"},
    {Placement::Scaled, "scaled"},    {Placement::Zoomed, "zoom"},
    {Placement::Spanned, "spanned"},
};

GSettingsSchema* lookUp(const char* schema) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return source ? g_settings_schema_source_lookup(source, schema, TRUE) : nullptr;
}

bool hasKey(GSettings* settings, const char* key) {
    GSettingsSchema* schema = nullptr;
    g_object_get(settings, "settings-schema", &schema, nullptr);
    const bool has = schema && g_settings_schema_has_key(schema, key);
    if (schema)
        g_settings_schema_unref(schema);
    return has;
}

// Writes a text value if the key accepts it (an enum key accepts only its own names); empty
// when written, else why not.
QString setString(GSettings* settings, const char* key, const QString& text) {
    GSettingsSchema* schema = nullptr;
    g_object_get(settings, "settings-schema", &schema, nullptr);
    if (!schema || !g_settings_schema_has_key(schema, key)) {
        if (schema)
            g_settings_schema_unref(schema);
        return QStringLiteral("the schema has no key %1").arg(QLatin1String(key));
    }
    GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
    GVariant* value = g_variant_ref_sink(g_variant_new_string(text.toUtf8().constData()));
    QString error;
    if (!g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey),
                              G_VARIANT_TYPE_STRING) ||
        !g_settings_schema_key_range_check(schemaKey, value))
        error = QStringLiteral("key %1 does not take \"%2\"").arg(QLatin1String(key), text);
    else if (!g_settings_is_writable(settings, key))
        error = QStringLiteral("key %1 is locked").arg(QLatin1String(key));
    else if (!g_settings_set_value(settings, key, value))
        error = QStringLiteral("key %1 cannot be written").arg(QLatin1String(key));
    g_variant_unref(value);
    g_settings_schema_key_unref(schemaKey);
    g_settings_schema_unref(schema);
    return error;
}

QString getString(GSettings* settings, const char* key) {
    gchar* text = g_settings_get_string(settings, key);
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

// The user's own value of a key, or nothing when the user never set it.
std::optional<QString> userString(GSettings* settings, const char* key) {
    const VariantPtr value(g_settings_get_user_value(settings, key));
    if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING))
        return std::nullopt;
    return QString::fromUtf8(g_variant_get_string(value.get(), nullptr));
}

} // namespace

GSettingsWallpaper::GSettingsWallpaper(Flavour flavour, GSettingsBackend* backend)
    : m_flavour(flavour),
      m_backend(backend ? static_cast<GSettingsBackend*>(g_object_ref(backend)) : nullptr) {}

GSettingsWallpaper::~GSettingsWallpaper() {
    if (m_backend)
        g_object_unref(m_backend);
}

QString GSettingsWallpaper::name() const {
    switch (m_flavour) {
    case Flavour::Cinnamon:
        return QStringLiteral("cinnamon");
    case Flavour::Mate:
        return QStringLiteral("mate");
    default:
        return QStringLiteral("gnome");
    }
}

GSettings* GSettingsWallpaper::open() {
    const char* schemaName = schemaOf(m_flavour);
    GSettingsSchema* schema = lookUp(schemaName);
    if (!schema) {
        fail(QStringLiteral("settings schema %1 is not installed").arg(QLatin1String(schemaName)));
        return nullptr;
    }
    GSettings* settings = nullptr;
    if (g_settings_schema_has_key(schema, kOptionsKey))
        settings = g_settings_new_full(schema, m_backend, nullptr);
    g_settings_schema_unref(schema);
    if (!settings || pictureKeys(settings).isEmpty()) {
        if (settings)
            g_object_unref(settings);
        fail(QStringLiteral("settings schema %1 lacks the picture keys")
                 .arg(QLatin1String(schemaName)));
        return nullptr;
    }
    return settings;
}

QStringList GSettingsWallpaper::pictureKeys(GSettings* settings) const {
    const QStringList wanted =
        m_flavour == Flavour::Mate
            ? QStringList{QStringLiteral("picture-filename")}
            : QStringList{QStringLiteral("picture-uri"), QStringLiteral("picture-uri-dark")};
    QStringList keys;
    for (const QString& key : wanted)
        if (hasKey(settings, key.toLatin1().constData()))
            keys << key;
    // Without its main key the schema is not one this backend understands.
    if (keys.isEmpty() || keys.first() != wanted.first())
        return {};
    return keys;
}

QString GSettingsWallpaper::pictureValue(const QString& path) const {
    if (m_flavour == Flavour::Mate || !path.startsWith(QLatin1Char('/')))
        return path; // MATE keeps paths; anything not a path is a URI already
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

bool GSettingsWallpaper::doProbe() {
    const SettingsPtr settings(open());
    return settings != nullptr;
}

bool GSettingsWallpaper::doShow(const WallpaperValues& values) {
    return showValues(values, true);
}

bool GSettingsWallpaper::showValues(const WallpaperValues& values, bool reloadSameName) {
    const SettingsPtr settings(open());
    if (!settings)
        return false;
    const Placement placement = WallpaperOptions::placementOf(values);
    const char* option = "centered";
    for (const auto& [candidate, optionName] : kOptionNames)
        if (candidate == placement)
            option = optionName;
    const QStringList keys = pictureKeys(settings.get());

    // Everything below reaches the desktop as one change at apply: it never sees the new
    // picture with the old placement, or the one without the other.
    g_settings_delay(settings.get());
    bool ok = true;
    const QString optionError = setString(settings.get(), kOptionsKey, QString::fromLatin1(option));
    if (placement != Placement::None) {
        if (!optionError.isEmpty())
            ok = fail(optionError);
        QString path = values.wallpaper;
        if (reloadSameName &&
            getString(settings.get(), keys.first().toLatin1().constData()) == pictureValue(path))
            path = secondName(path);
        const QString picture = pictureValue(path);
        for (const QString& key : keys)
            if (const QString error =
                    setString(settings.get(), key.toLatin1().constData(), picture);
                !error.isEmpty())
                ok = fail(error);
    } else if (!optionError.isEmpty()) {
        // MATE has no "none": there an empty picture name shows no picture.
        for (const QString& key : keys)
            if (const QString error = setString(settings.get(), key.toLatin1().constData(), {});
                !error.isEmpty())
                ok = fail(error);
    }
    return finish(settings.get(), ok);
}

QString GSettingsWallpaper::secondName(const QString& path) {
    // A desktop keeps what it loaded for a picture name, and a settings store need not even
    // pass on a name written again unchanged (the keyfile store does not), so the same name
    // again may well show the old picture. Passing through an empty name reloads it, but shows
    // an empty background meanwhile. A name the desktop has not shown is loaded afresh by
    // every desktop, so the same file is shown under a second name beside it: a hard link
    // (a copy where the file system has none). Repeats alternate between the two names, since
    // the worker empties the folder before each change, which also removes the second name.
    const QFileInfo file(path);
    const QString second = file.absolutePath() + QStringLiteral("/.") + file.fileName();
    const std::filesystem::path from = std::filesystem::path(QFile::encodeName(path).constData());
    const std::filesystem::path to = std::filesystem::path(QFile::encodeName(second).constData());
    std::error_code error;
    std::filesystem::remove(to, error);
    std::filesystem::create_hard_link(from, to, error);
    if (!error || std::filesystem::copy_file(from, to, error))
        return second;
    // Not possible (no such file, a folder not ours): the same name again is the best left.
    return path;
}

bool GSettingsWallpaper::finish(GSettings* settings, bool ok) {
    if (!ok) {
        // Nothing of a change that cannot be made whole reaches the desktop.
        g_settings_revert(settings);
        return false;
    }
    g_settings_apply(settings);
    g_settings_sync();
    return true;
}

std::optional<WallpaperSnapshot> GSettingsWallpaper::doRead() {
    const SettingsPtr settings(open());
    if (!settings)
        return std::nullopt;
    QStringList keys = pictureKeys(settings.get());
    keys << QString::fromLatin1(kOptionsKey);

    QJsonObject userValues;
    for (const QString& key : std::as_const(keys)) {
        const std::optional<QString> value = userString(settings.get(), key.toLatin1().constData());
        userValues.insert(key, value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null));
    }

    WallpaperSnapshot snapshot;
    const QString picture = getString(settings.get(), keys.first().toLatin1().constData());
    const QUrl url(picture);
    snapshot.values.wallpaper =
        m_flavour != Flavour::Mate && url.isLocalFile() ? url.toLocalFile() : picture;
    const QString option = getString(settings.get(), kOptionsKey);
    Placement placement = Placement::Centred;
    for (const auto& [candidate, optionName] : kOptionNames)
        if (option == QLatin1String(optionName))
            placement = candidate;
    WallpaperOptions::describe(placement, snapshot.values);
    snapshot.detail = WallpaperRecord::write(name(), {{QStringLiteral("keys"), userValues}});
    return snapshot;
}

bool GSettingsWallpaper::doRestore(const WallpaperSnapshot& snapshot) {
    const std::optional<QJsonObject> record = WallpaperRecord::read(name(), snapshot.detail);
    if (!record)
        return showValues(snapshot.values, false);
    const SettingsPtr settings(open());
    if (!settings)
        return false;
    const QJsonObject keys = record->value(QStringLiteral("keys")).toObject();
    g_settings_delay(settings.get());
    bool ok = true;
    // The placement first: the order the desktop would see if the store split the change.
    QStringList order = keys.keys();
    order.removeAll(QString::fromLatin1(kOptionsKey));
    if (keys.contains(QString::fromLatin1(kOptionsKey)))
        order.prepend(QString::fromLatin1(kOptionsKey));
    for (const QString& keyName : std::as_const(order)) {
        const QByteArray key = keyName.toLatin1();
        if (!hasKey(settings.get(), key.constData()))
            continue;
        const QJsonValue value = keys.value(keyName);
        if (!value.isString())
            g_settings_reset(settings.get(), key.constData());
        else if (const QString error = setString(settings.get(), key.constData(), value.toString());
                 !error.isEmpty())
            ok = fail(error);
    }
    return finish(settings.get(), ok);
}

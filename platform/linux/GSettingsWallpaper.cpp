// glib's headers name a member "signals", which Qt defines as a macro: they come first.
#include <gio/gio.h>

#include "platform/linux/GSettingsWallpaper.h"

#include "platform/linux/WallpaperOptions.h"
#include "platform/linux/WallpaperRecord.h"

#include <QJsonObject>
#include <QUrl>

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

// Writes a text value if the key accepts it (an enum key accepts only its own names).
bool setString(GSettings* settings, const char* key, const QString& text) {
    GSettingsSchema* schema = nullptr;
    g_object_get(settings, "settings-schema", &schema, nullptr);
    if (!schema)
        return false;
    GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
    GVariant* value = g_variant_ref_sink(g_variant_new_string(text.toUtf8().constData()));
    const bool fits = g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey),
                                           G_VARIANT_TYPE_STRING) &&
                      g_settings_schema_key_range_check(schemaKey, value);
    const bool written = fits && g_settings_set_value(settings, key, value);
    g_variant_unref(value);
    g_settings_schema_key_unref(schemaKey);
    g_settings_schema_unref(schema);
    return written;
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

GSettings* GSettingsWallpaper::open() const {
    GSettingsSchema* schema = lookUp(schemaOf(m_flavour));
    if (!schema)
        return nullptr;
    GSettings* settings = nullptr;
    if (g_settings_schema_has_key(schema, kOptionsKey))
        settings = g_settings_new_full(schema, m_backend, nullptr);
    g_settings_schema_unref(schema);
    if (settings && pictureKeys(settings).isEmpty()) {
        g_object_unref(settings);
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
    const SettingsPtr settings(open());
    if (!settings)
        return false;
    const Placement placement = WallpaperOptions::placementOf(values);
    const char* option = "centered";
    for (const auto& [candidate, optionName] : kOptionNames)
        if (candidate == placement)
            option = optionName;

    bool ok = true;
    if (placement != Placement::None) {
        const QString picture = pictureValue(values.wallpaper);
        for (const QString& key : pictureKeys(settings.get())) {
            const QByteArray keyName = key.toLatin1();
            // A desktop does not reload a picture whose name is set again unchanged: passing
            // through an empty name makes it load the file's new content.
            if (getString(settings.get(), keyName.constData()) == picture) {
                setString(settings.get(), keyName.constData(), QString());
                g_settings_sync();
            }
            ok = setString(settings.get(), keyName.constData(), picture) && ok;
        }
    }
    if (!setString(settings.get(), kOptionsKey, QString::fromLatin1(option))) {
        // MATE has no "none": there an empty picture name shows no picture.
        if (placement != Placement::None)
            ok = false;
        else
            for (const QString& key : pictureKeys(settings.get()))
                ok = setString(settings.get(), key.toLatin1().constData(), QString()) && ok;
    }
    g_settings_sync();
    return ok;
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
        return doShow(snapshot.values);
    const SettingsPtr settings(open());
    if (!settings)
        return false;
    const QJsonObject keys = record->value(QStringLiteral("keys")).toObject();
    bool ok = true;
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        const QByteArray key = it.key().toLatin1();
        if (!hasKey(settings.get(), key.constData()))
            continue;
        if (it.value().isString())
            ok = setString(settings.get(), key.constData(), it.value().toString()) && ok;
        else
            g_settings_reset(settings.get(), key.constData());
    }
    g_settings_sync();
    return ok;
}

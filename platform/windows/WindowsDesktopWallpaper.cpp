#include "platform/windows/WindowsDesktopWallpaper.h"

#include "platform/windows/ComApartment.h"
#include "platform/windows/WindowsPath.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <windows.h>

#include <shobjidl.h>
#include <wrl/client.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t* const kDesktopKey = L"Control Panel\\Desktop";
// "Wallpaper", "WallpaperStyle", "TileWallpaper", in the order they are written.
const std::array<const wchar_t*, 3> kNames = {L"Wallpaper", L"WallpaperStyle", L"TileWallpaper"};
constexpr std::array<DWORD, 3> kTextTypes = {REG_SZ, REG_SZ, REG_SZ};
const QString kBackend = QStringLiteral("windows");

QString systemText(DWORD code) {
    wchar_t* text = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString message = text ? QString::fromWCharArray(text).trimmed() : QString();
    ::LocalFree(text);
    return QStringLiteral("%1 (error %2)").arg(message).arg(code);
}

// HKCU\Control Panel\Desktop, open for one call.
class DesktopKey {
public:
    explicit DesktopKey(REGSAM access)
        : m_status(::RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, access, nullptr,
                                     &m_key, nullptr)) {}
    ~DesktopKey() {
        if (m_status == ERROR_SUCCESS)
            ::RegCloseKey(m_key);
    }
    DesktopKey(const DesktopKey&) = delete;
    DesktopKey& operator=(const DesktopKey&) = delete;

    bool ok() const { return m_status == ERROR_SUCCESS; }
    QString error() const {
        return QStringLiteral("HKCU\\Control Panel\\Desktop cannot be opened: %1")
            .arg(systemText(static_cast<DWORD>(m_status)));
    }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
    LSTATUS m_status;
};

// One value as read: its type (REG_NONE when absent) and its content as text (a number in
// decimal).
struct RegistryValue {
    DWORD type = REG_NONE;
    QString text;
};

std::optional<RegistryValue> query(HKEY key, const wchar_t* name, QString& error) {
    std::vector<BYTE> data;
    DWORD type = REG_NONE;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    // The value may grow between the two calls.
    for (int attempt = 0; attempt < 3 && status == ERROR_SUCCESS; ++attempt) {
        data.assign(size + 2 * sizeof(wchar_t), 0);
        size = static_cast<DWORD>(data.size() - 2 * sizeof(wchar_t));
        status = ::RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
        if (status != ERROR_MORE_DATA)
            break;
        status = ERROR_SUCCESS;
    }
    if (status == ERROR_FILE_NOT_FOUND)
        return RegistryValue{};
    if (status != ERROR_SUCCESS) {
        error = QStringLiteral("%1 cannot be read: %2")
                    .arg(QString::fromWCharArray(name), systemText(static_cast<DWORD>(status)));
        return std::nullopt;
    }
    RegistryValue value{type, {}};
    if (type == REG_DWORD && size >= sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        value.text = QString::number(static_cast<std::int32_t>(number));
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        value.text = QString::fromWCharArray(reinterpret_cast<const wchar_t*>(data.data()));
        if (type == REG_EXPAND_SZ) {
            std::vector<wchar_t> expanded(32768, L'\0');
            if (::ExpandEnvironmentStringsW(value.text.toStdWString().c_str(), expanded.data(),
                                            static_cast<DWORD>(expanded.size())) > 0)
                value.text = QString::fromWCharArray(expanded.data());
        }
    } else {
        // A type the desktop does not read is put back as text.
        value.type = REG_SZ;
    }
    return value;
}

LSTATUS write(HKEY key, const wchar_t* name, DWORD type, const QString& text) {
    if (type == REG_NONE) {
        const LSTATUS status = ::RegDeleteValueW(key, name);
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    if (type == REG_DWORD) {
        const DWORD number = static_cast<DWORD>(text.trimmed().toInt());
        return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                sizeof number);
    }
    const std::wstring wide = text.toStdWString();
    return ::RegSetValueExW(key, name, 0, type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ,
                            reinterpret_cast<const BYTE*>(wide.c_str()),
                            static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

// The types of a record this backend wrote, or text for all three.
std::array<DWORD, 3> typesOf(const QString& detail) {
    const QJsonObject record = QJsonDocument::fromJson(detail.toUtf8()).object();
    const QJsonArray types = record.value(QStringLiteral("types")).toArray();
    if (record.value(QStringLiteral("backend")) != kBackend || types.size() != 3)
        return kTextTypes;
    std::array<DWORD, 3> result{};
    for (int i = 0; i < 3; ++i) {
        const int type = types.at(i).toInt(-1);
        result[i] = type == REG_NONE || type == REG_DWORD || type == REG_EXPAND_SZ
                        ? static_cast<DWORD>(type)
                        : REG_SZ;
    }
    return result;
}

// A screen as IDesktopWallpaper names and places it.
struct Monitor {
    std::wstring id;
    QRect rect;
};

std::vector<Monitor> monitorsOf(IDesktopWallpaper& desktop) {
    std::vector<Monitor> monitors;
    UINT count = 0;
    if (FAILED(desktop.GetMonitorDevicePathCount(&count)))
        return monitors;
    for (UINT i = 0; i < count; ++i) {
        LPWSTR id = nullptr;
        RECT rect{};
        if (SUCCEEDED(desktop.GetMonitorDevicePathAt(i, &id)) && id &&
            SUCCEEDED(desktop.GetMonitorRECT(id, &rect)))
            monitors.push_back(
                {id, QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1))});
        ::CoTaskMemFree(id);
    }
    return monitors;
}

// The monitor where `screen` lies: the same rectangle, else the same top left corner, else
// the only one.
const Monitor* monitorOf(const std::vector<Monitor>& monitors, const ScreenMetrics& screen) {
    for (const Monitor& monitor : monitors)
        if (monitor.rect == screen.placeOnDesktop() || monitor.rect == screen.geometry())
            return &monitor;
    for (const Monitor& monitor : monitors)
        if (monitor.rect.topLeft() == screen.origin)
            return &monitor;
    return monitors.size() == 1 ? &monitors.front() : nullptr;
}

ComPtr<IDesktopWallpaper> desktopWallpaper(HRESULT* result = nullptr) {
    ComPtr<IDesktopWallpaper> desktop;
    const HRESULT created =
        ::CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktop));
    if (result)
        *result = created;
    return SUCCEEDED(created) ? desktop : nullptr;
}

} // namespace

WindowsDesktopWallpaper::WindowsDesktopWallpaper() {
    const ComApartment com;
    if (const ComPtr<IDesktopWallpaper> desktop = com.ok() ? desktopWallpaper() : nullptr) {
        UINT count = 0;
        m_eachScreen = SUCCEEDED(desktop->GetMonitorDevicePathCount(&count)) && count > 0;
    }
}

std::optional<QString> WindowsDesktopWallpaper::systemWallpaper() {
    std::vector<wchar_t> path(32768, L'\0');
    if (!::SystemParametersInfoW(SPI_GETDESKWALLPAPER, static_cast<UINT>(path.size()), path.data(),
                                 0))
        return std::nullopt;
    return WindowsPath::fromNative(path.data());
}

bool WindowsDesktopWallpaper::doProbe() {
    const DesktopKey key(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key.ok())
        return fail(key.error());
    if (!systemWallpaper())
        return fail(QStringLiteral("the system does not report its wallpaper: %1")
                        .arg(systemText(::GetLastError())));
    return true;
}

bool WindowsDesktopWallpaper::writeValues(const WallpaperValues& values,
                                          const unsigned long types[3]) {
    const DesktopKey key(KEY_SET_VALUE);
    if (!key.ok())
        return fail(key.error());
    const std::array<QString, 3> texts = {QDir::toNativeSeparators(values.wallpaper),
                                          QString::number(values.wallpaperStyle),
                                          values.tileWallpaper};
    bool written = true;
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (const LSTATUS status = write(key.get(), kNames[i], types[i], texts[i]);
            status != ERROR_SUCCESS)
            written = fail(QStringLiteral("%1 cannot be written: %2")
                               .arg(QString::fromWCharArray(kNames[i]),
                                    systemText(static_cast<DWORD>(status))));
    }
    return written;
}

bool WindowsDesktopWallpaper::setSystemWallpaper(const QString& path) {
    // The values are in the registry already: the call shows the picture as they say, keeps
    // it in the user's profile and tells running programs.
    std::wstring native = WindowsPath::native(path);
    if (!::SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, native.data(),
                                 SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE))
        return fail(QStringLiteral("the system refused the wallpaper: %1")
                        .arg(systemText(::GetLastError())));
    return true;
}

bool WindowsDesktopWallpaper::doShow(const WallpaperValues& values) {
    // The registry failing does not keep the picture from being shown.
    const bool written = writeValues(values, kTextTypes.data());
    return setSystemWallpaper(values.wallpaper) && written;
}

bool WindowsDesktopWallpaper::doShowEach(const std::vector<ScreenWallpaper>& pictures) {
    if (!m_eachScreen)
        return fail(QStringLiteral("this system takes no picture per screen"));
    const ComApartment com;
    HRESULT result = com.result();
    const ComPtr<IDesktopWallpaper> desktop = com.ok() ? desktopWallpaper(&result) : nullptr;
    if (!desktop)
        return fail(QStringLiteral("the desktop's wallpaper service is not available (%1)")
                        .arg(hresultText(result)));
    const std::vector<Monitor> monitors = monitorsOf(*desktop.Get());
    // One placement for all screens: the service keeps no other.
    const bool tiled = pictures.front().values.tileWallpaper == QLatin1String("1");
    desktop->SetPosition(tiled ? DWPOS_TILE : DWPOS_CENTER);
    bool shown = true;
    for (const ScreenWallpaper& picture : pictures) {
        const Monitor* monitor = monitorOf(monitors, picture.screen);
        if (!monitor) {
            shown = fail(QStringLiteral("no screen lies at %1, %2")
                             .arg(picture.screen.origin.x())
                             .arg(picture.screen.origin.y()));
            continue;
        }
        result = desktop->SetWallpaper(monitor->id.c_str(),
                                       WindowsPath::native(picture.values.wallpaper).c_str());
        if (FAILED(result))
            shown = fail(QStringLiteral("the desktop refused \"%1\" (%2)")
                             .arg(picture.values.wallpaper, hresultText(result)));
    }
    return shown;
}

std::optional<WallpaperSnapshot> WindowsDesktopWallpaper::doRead() {
    const DesktopKey key(KEY_QUERY_VALUE);
    if (!key.ok()) {
        fail(key.error());
        return std::nullopt;
    }
    std::array<RegistryValue, 3> read;
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        QString error;
        std::optional<RegistryValue> value = query(key.get(), kNames[i], error);
        if (!value) {
            fail(error);
            return std::nullopt;
        }
        read[i] = *value;
    }
    const std::optional<QString> shown = systemWallpaper();
    WallpaperSnapshot snapshot;
    snapshot.values.wallpaper = read[0].type == REG_NONE ? shown.value_or(QString())
                                                         : QDir::fromNativeSeparators(read[0].text);
    snapshot.values.wallpaperStyle = read[1].text.trimmed().toInt();
    if (read[2].type != REG_NONE)
        snapshot.values.tileWallpaper = read[2].text;
    // The types, so that the restore writes each value back as it was (or removes it).
    QJsonObject record{{QStringLiteral("backend"), kBackend},
                       {QStringLiteral("types"),
                        QJsonArray{static_cast<int>(read[0].type), static_cast<int>(read[1].type),
                                   static_cast<int>(read[2].type)}}};
    if (shown)
        record.insert(QStringLiteral("shown"), *shown);
    snapshot.detail = QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
    return snapshot;
}

bool WindowsDesktopWallpaper::doRestore(const WallpaperSnapshot& snapshot) {
    const std::array<DWORD, 3> types = typesOf(snapshot.detail);
    const bool written = writeValues(snapshot.values, types.data());
    // An empty path takes the picture away.
    const bool shown = setSystemWallpaper(snapshot.values.wallpaper);
    if (types[0] == REG_NONE) {
        // The call stores the path; the user had none stored.
        const DesktopKey key(KEY_SET_VALUE);
        if (key.ok())
            write(key.get(), kNames[0], REG_NONE, {});
    }
    return shown && written;
}

#include "platform/windows/StartupShortcut.h"

#include "platform/LogCategories.h"
#include "platform/windows/ComApartment.h"
#include "platform/windows/WindowsPath.h"
#include "resources/AppTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

// Writes the shortcut to `path`; the reason when it could not.
QString writeShortcut(const QString& path, const QString& target) {
    const ComApartment com;
    if (!com.ok())
        return QStringLiteral("the component library is not available (%1)")
            .arg(hresultText(com.result()));
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    HRESULT result =
        ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    if (SUCCEEDED(result))
        result = link->SetPath(WindowsPath::native(target).c_str());
    if (SUCCEEDED(result))
        result = link->SetDescription(
            QString::fromLatin1(AppTexts::kAutostartDescription).toStdWString().c_str());
    if (SUCCEEDED(result))
        result = link.As(&file);
    if (SUCCEEDED(result))
        result = file->Save(WindowsPath::native(path).c_str(), TRUE);
    return SUCCEEDED(result) ? QString()
                             : QStringLiteral("the shell refused (%1)").arg(hresultText(result));
}

} // namespace

StartupShortcut::StartupShortcut(const QString& startupDir) : m_dir(startupDir) {}

QString StartupShortcut::shortcutPath() const {
    return m_dir + QLatin1Char('/') + QString::fromLatin1(AppTexts::kAppName) +
           QStringLiteral(".lnk");
}

void StartupShortcut::enable(const QString& programPath) {
    if (!QDir().mkpath(m_dir)) {
        qCWarning(lcPlatform).noquote() << "could not make the Startup folder" << m_dir;
        return;
    }
    // Written beside it and moved over the old one, so that a failed write never leaves a
    // broken shortcut in its place.
    const QString path = shortcutPath();
    const QString partial = path + QStringLiteral(".new");
    QString error = writeShortcut(partial, QFileInfo(programPath).absoluteFilePath());
    if (error.isEmpty() &&
        !::MoveFileExW(WindowsPath::native(partial).c_str(), WindowsPath::native(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = QStringLiteral("it could not replace the old one (error %1)").arg(::GetLastError());
    if (!error.isEmpty()) {
        QFile::remove(partial);
        qCWarning(lcPlatform).noquote() << "could not write" << path << ":" << error;
    }
}

void StartupShortcut::disable() {
    const QString path = shortcutPath();
    QFile file(path);
    if (file.exists() && !file.remove())
        qCWarning(lcPlatform).noquote() << "could not remove" << path << ":" << file.errorString();
}

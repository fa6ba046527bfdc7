// The Startup folder's shortcut under Wine's shell: made, read back through IShellLinkW as the
// log-on would read it, replaced and removed.
#include "platform/windows/StartupShortcut.h"
#include "platform/windows/ShellLinkResolver.h"
#include "platform/windows/WindowsPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

namespace {

QString descriptionOf(const QString& shortcut) {
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    Microsoft::WRL::ComPtr<IPersistFile> file;
    wchar_t text[INFOTIPSIZE] = L"";
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(&link))) &&
        SUCCEEDED(link.As(&file)) &&
        SUCCEEDED(file->Load(WindowsPath::native(shortcut).c_str(), STGM_READ)))
        link->GetDescription(text, INFOTIPSIZE);
    return QString::fromWCharArray(text);
}

TEST(StartupShortcutTest, EnableMakesOneShortcutToTheProgramAndDisableRemovesIt) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    QTemporaryDir dir;
    const QString startup = dir.filePath(QStringLiteral("Startup"));
    const QString program = dir.filePath(QStringLiteral("tessaron.exe"));
    QFile(program).open(QIODevice::WriteOnly);
    StartupShortcut autostart(startup);
    EXPECT_EQ(autostart.shortcutPath(), startup + QStringLiteral("/Tessaron.lnk"));

    autostart.enable(program);
    autostart.enable(program);
    EXPECT_EQ(QDir(startup).entryList(QDir::Files), QStringList{QStringLiteral("Tessaron.lnk")});
    EXPECT_EQ(ShellLinkResolver().resolveShortcut(autostart.shortcutPath()), program);
    EXPECT_EQ(descriptionOf(autostart.shortcutPath()), QStringLiteral("Descriptor"));

    autostart.disable();
    EXPECT_FALSE(QFile::exists(autostart.shortcutPath()));
    autostart.disable(); // nothing to remove: quiet
    ::CoUninitialize();
}

} // namespace

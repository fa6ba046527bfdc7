#include "platform/windows/ShellLinkResolver.h"

#include "platform/windows/ComApartment.h"
#include "platform/windows/WindowsPath.h"

#include <QFileInfo>
#include <QSet>

#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// Longer chains than this are taken for loops the name check did not catch.
constexpr int kMaxHops = 16;
// How long Resolve may look at the target before it gives up (milliseconds, in the flags'
// high word where SLR_NO_UI is set).
constexpr DWORD kResolveTimeoutMs = 3000;

bool isShortcutName(const QString& path) {
    return path.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive);
}

} // namespace

std::optional<QString> ShellLinkResolver::targetOf(const QString& path) {
    const ComApartment com;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (!com.ok() ||
        FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&file)) ||
        FAILED(file->Load(WindowsPath::native(path).c_str(), STGM_READ | STGM_SHARE_DENY_NONE)))
        return std::nullopt;
    // Checks the target without a dialog, a search, link tracking or rewriting the file.
    const DWORD flags = SLR_NO_UI | SLR_NOSEARCH | SLR_NOTRACK | SLR_NOUPDATE | SLR_NOLINKINFO |
                        (kResolveTimeoutMs << 16);
    if (FAILED(link->Resolve(nullptr, flags)))
        return QString();
    std::vector<wchar_t> target(32768, L'\0');
    if (link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, SLGP_UNCPRIORITY) !=
        S_OK)
        return QString();
    return WindowsPath::fromNative(target.data());
}

QString ShellLinkResolver::resolveShortcut(const QString& path) const {
    if (path.isEmpty())
        return {};
    QString current = QFileInfo(path).absoluteFilePath();
    QSet<QString> seen;
    for (int hop = 0; hop < kMaxHops; ++hop) {
        seen.insert(current.toCaseFolded());
        const std::optional<QString> target = targetOf(current);
        if (!target || target->isEmpty())
            return {};
        current = QFileInfo(*target).absoluteFilePath();
        if (seen.contains(current.toCaseFolded()))
            return {};
        if (!isShortcutName(current))
            return QFileInfo::exists(current) ? current : QString();
    }
    return {};
}

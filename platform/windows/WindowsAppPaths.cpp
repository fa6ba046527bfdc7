#include "platform/AppPaths.h"

#include "platform/windows/KnownFolder.h"
#include "platform/windows/UserSid.h"
#include "platform/windows/WindowsPath.h"

#include <QDir>
#include <QFileInfo>

#include <aclapi.h>
#include <memory>
#include <sddl.h>
#include <windows.h>

namespace {

// Whether the user may create and replace files in `folder`: a program installed under
// Program Files is not, one unpacked into the user's own folders is.
bool userCanWrite(const QString& folder) {
    const QString probe =
        folder + QStringLiteral("/.tessaron-write-probe-") + QString::number(GetCurrentProcessId());
    const HANDLE file =
        CreateFileW(WindowsPath::native(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

} // namespace

AppPaths AppPaths::detect(const QString& programPath) {
    AppPaths paths;
    const QFileInfo program(programPath);
    paths.programPath = program.absoluteFilePath();
    paths.appName = program.completeBaseName();
    paths.converterPath = program.absolutePath() + QStringLiteral("/tessaron-convert.exe");

    const QString company = QStringLiteral("/Halvik/") + paths.appName;
    paths.dataDir = knownFolder(FOLDERID_LocalAppData) + company;
    paths.wallpaperDir = paths.dataDir + QStringLiteral("/Wallpaper");
    paths.autostartDir = knownFolder(FOLDERID_Startup);

    // The lists lie beside the program file when that folder is the user's to write, else in
    // the user's roaming application data.
    const QString besideStem = program.absolutePath() + QLatin1Char('/') + paths.appName;
    const QString stem =
        userCanWrite(program.absolutePath())
            ? besideStem
            : knownFolder(FOLDERID_RoamingAppData) + company + QLatin1Char('/') + paths.appName;
    paths.fileListPath = stem + QStringLiteral(".txt");
    paths.urlListPath = stem + QStringLiteral("_Url.txt");
    paths.excludedListPath = stem + QStringLiteral("_Never.txt");

    for (const QString& candidate : runtimeDirCandidates(paths.appName)) {
        if (ensurePrivateDir(candidate)) {
            paths.runtimeDir = candidate;
            break;
        }
    }
    const QString pictures = knownFolder(FOLDERID_Pictures);
    paths.defaultStartPath =
        !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
    return paths;
}

QStringList AppPaths::runtimeDirCandidates(const QString& appName) {
    return {QDir::tempPath() + QLatin1Char('/') + appName, knownFolder(FOLDERID_LocalAppData) +
                                                               QStringLiteral("/Halvik/") +
                                                               appName + QStringLiteral("/Temp")};
}

bool ensurePrivateDir(const QString& path) {
    if (path.isEmpty())
        return false;
    const QString sid = userSid();
    if (sid.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Made with a protected access list that lets in the user alone.
    const std::wstring rules = QStringLiteral("D:P(A;OICI;FA;;;%1)").arg(sid).toStdWString();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(rules.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const std::wstring native = WindowsPath::native(path);
    const bool made = CreateDirectoryW(native.c_str(), &attributes);
    LocalFree(descriptor);
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    // A folder that was there already must be a real folder, not a link planted there, and
    // the user's own.
    const DWORD kind = GetFileAttributesW(native.c_str());
    if (kind == INVALID_FILE_ATTRIBUTES || (kind & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (kind & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR found = nullptr;
    if (GetNamedSecurityInfoW(native.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &found) != ERROR_SUCCESS)
        return false;
    LPWSTR ownerText = nullptr;
    const bool own =
        ConvertSidToStringSidW(owner, &ownerText) && QString::fromWCharArray(ownerText) == sid;
    LocalFree(ownerText);
    LocalFree(found);
    return own;
}

#include "tests/worker/WorkerRig.h"

#include "platform/RegularFile.h"

#include "tests/support/Waiting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace {

// One recorder for all rigs alive at once; messages still reach the usual output.
std::mutex logMutex;
QStringList logged;
int recorders = 0;
QtMessageHandler previousHandler = nullptr;

void recordLog(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QString category = QString::fromLatin1(context.category);
    if (category.startsWith(QLatin1String("tessaron."))) {
        std::lock_guard lock(logMutex);
        logged.append(category + QStringLiteral(": ") + message);
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

WorkerRig::WorkerRig() {
    if (recorders++ == 0) {
        {
            std::lock_guard lock(logMutex);
            logged.clear();
        }
        previousHandler = qInstallMessageHandler(recordLog);
    }
    WallpaperSettings s = WallpaperSettings::defaults(root());
    s.StartPath = root();
    m_state.setSettings(s);
    m_state.setLists({}, {});
    m_tipChannel.open([this](const QString& text) {
        std::lock_guard lock(m_mutex);
        m_tips.append(text);
    });
    m_services.convert = [this](const QString& picture, const QString& bitmap,
                                const WallpaperLayout& layout, const ScreenMetrics& screen) {
        {
            std::unique_lock lock(m_mutex);
            m_converted.append(picture);
            m_convertedFor.append(screen.name);
            m_convertedLayouts.push_back(layout);
            const std::uint64_t aborts = m_aborts;
            m_gateChanged.wait(lock, [&] {
                return m_gateOpen || !picture.startsWith(m_gateFolder) || m_aborts != aborts;
            });
            if (m_aborts != aborts)
                return false;
        }
        if (!RegularFile::isRegular(picture) || picture.contains(QLatin1String("broken")))
            return false;
        QFile out(bitmap);
        return out.open(QIODevice::WriteOnly) && out.write("BM " + picture.toUtf8()) > 0;
    };
    // Ends the conversions held at the gate, as the converter program is killed.
    m_services.abortConversion = [this] {
        {
            std::lock_guard lock(m_mutex);
            ++m_aborts;
        }
        m_gateChanged.notify_all();
    };
    m_services.apply = [this](const QString& bitmap, std::int32_t) {
        std::lock_guard lock(m_mutex);
        m_applied.append(bitmap);
    };
    m_services.screens = [this] {
        std::lock_guard lock(m_mutex);
        return m_screens;
    };
    m_services.applyEach = [this](const std::vector<ScreenBitmap>& bitmaps, std::int32_t) {
        QStringList shown;
        for (const ScreenBitmap& bitmap : bitmaps)
            shown.append(bitmap.screen.name + u'=' + QFileInfo(bitmap.bitmap).fileName());
        std::lock_guard lock(m_mutex);
        m_applied.append(shown.join(u' '));
    };
    m_services.resolveShortcut = [](const QString& path) {
        const QFileInfo info(path);
        return info.isSymLink() ? info.canonicalFilePath() : path;
    };
}

WorkerRig::~WorkerRig() {
    openConvertGate();
    m_worker.reset();
    m_tipChannel.close();
    if (--recorders == 0)
        qInstallMessageHandler(previousHandler);
}

QString WorkerRig::makeFile(const QString& relative) {
    const QString path = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("picture");
    return path;
}

QString WorkerRig::makeFolder(const QString& relative) {
    const QString path = m_dir.filePath(relative);
    QDir().mkpath(path);
    return path;
}

QString WorkerRig::makeLink(const QString& relative, const QString& target) {
    const QString path = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::link(target, path);
    return path;
}

void WorkerRig::setSettings(const std::function<void(WallpaperSettings&)>& edit) {
    m_state.modify([&](SlideShowState::Data& d) { edit(d.settings); });
}

static EntryList toEntries(const QStringList& entries) {
    EntryList list;
    for (const QString& text : entries)
        list.push_back(*ListEntry::fromText(text));
    return list;
}

void WorkerRig::setFileList(const QStringList& entries) {
    m_state.modify([&](SlideShowState::Data& d) { d.fileList = toEntries(entries); });
}

void WorkerRig::setUrlList(const QStringList& entries) {
    m_state.modify([&](SlideShowState::Data& d) { d.urlList = toEntries(entries); });
}

void WorkerRig::setScreens(const std::vector<ScreenMetrics>& screens, bool spanning) {
    {
        std::lock_guard lock(m_mutex);
        m_screens = screens;
    }
    if (!spanning)
        return;
    m_services.applyEach = nullptr;
    m_services.compose = [](const std::vector<ScreenBitmap>& bitmaps, std::int32_t,
                            const QString& out) {
        QFile file(out);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        for (const ScreenBitmap& bitmap : bitmaps) {
            QFile part(bitmap.bitmap);
            if (!part.open(QIODevice::ReadOnly))
                return false;
            file.write(bitmap.screen.name.toUtf8() + ": " + part.readAll() + "\n");
        }
        return true;
    };
    m_services.applySpanned = [this](const QString& bitmap) {
        std::lock_guard lock(m_mutex);
        m_applied.append(bitmap);
    };
}

SlideShowWorker& WorkerRig::worker() {
    if (!m_worker)
        m_worker = std::make_unique<SlideShowWorker>(m_state, m_tipChannel, m_services,
                                                     wallpaperDir(), dataDir());
    return *m_worker;
}

QStringList WorkerRig::applied() const {
    std::lock_guard lock(m_mutex);
    return m_applied;
}

QStringList WorkerRig::appliedNames() const {
    QStringList names;
    for (const QString& path : applied())
        names.append(QFileInfo(path).fileName());
    return names;
}

QStringList WorkerRig::converted() const {
    std::lock_guard lock(m_mutex);
    return m_converted;
}

QStringList WorkerRig::wallpaperFiles() const {
    return QDir(wallpaperDir()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

QStringList WorkerRig::logLines() const {
    std::lock_guard lock(logMutex);
    return logged;
}

QStringList WorkerRig::tips() const {
    std::lock_guard lock(m_mutex);
    return m_tips;
}

QString WorkerRig::lastTip() const {
    const QStringList all = tips();
    return all.isEmpty() ? QString() : all.last();
}

QStringList WorkerRig::convertedFor() const {
    std::lock_guard lock(m_mutex);
    return m_convertedFor;
}

std::vector<WallpaperLayout> WorkerRig::convertedLayouts() const {
    std::lock_guard lock(m_mutex);
    return m_convertedLayouts;
}

int WorkerRig::convertCalls() const {
    return static_cast<int>(converted().size());
}

bool WorkerRig::waitForApplied(int count) {
    return waitUntil([&] { return applied().size() >= count; });
}

bool WorkerRig::waitForTips(int count) {
    return waitUntil([&] { return tips().size() >= count; });
}

bool WorkerRig::waitForConvertCalls(int count) {
    return waitUntil([&] { return convertCalls() >= count; });
}

void WorkerRig::closeConvertGate(const QString& folder) {
    std::lock_guard lock(m_mutex);
    m_gateOpen = false;
    m_gateFolder = folder;
}

void WorkerRig::openConvertGate() {
    {
        std::lock_guard lock(m_mutex);
        m_gateOpen = true;
    }
    m_gateChanged.notify_all();
}

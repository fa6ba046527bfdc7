#include "app/PictureActions.h"

#include "app/Favourites.h"
#include "app/ListFile.h"
#include "platform/DesktopShell.h"
#include "platform/LogCategories.h"
#include "platform/RegularFile.h"
#include "resources/AppTexts.h"
#include "worker/PictureTest.h"
#include "worker/SlideShowState.h"

#include <QFileInfo>
#include <algorithm>

namespace {

QString text(const char* message) {
    return QString::fromLatin1(message);
}

QString joinedNames(const std::vector<ShownPicture>& pictures) {
    QStringList names;
    for (const ShownPicture& picture : pictures)
        if (!names.contains(picture.displayName()))
            names << picture.displayName();
    return names.join(QStringLiteral(", "));
}

} // namespace

PictureActions::PictureActions(Services services) : m_services(std::move(services)) {}

std::vector<ShownPicture> PictureActions::currentPictures() const {
    const std::vector<ShownPicture> all = m_services.state.read([](const SlideShowState::Data& d) {
        const PictureHistory::Change* shown = d.history.shown();
        return shown ? shown->pictures : std::vector<ShownPicture>();
    });
    std::vector<ShownPicture> different;
    for (const ShownPicture& picture : all)
        if (std::none_of(different.begin(), different.end(), [&](const ShownPicture& seen) {
                return seen.kind == picture.kind && seen.name == picture.name;
            }))
            different.push_back(picture);
    return different;
}

std::vector<PictureActions::Recent> PictureActions::recent() const {
    return m_services.state.read([](const SlideShowState::Data& d) {
        std::vector<Recent> recent;
        const auto& changes = d.history.changes();
        for (auto it = changes.rbegin(); it != changes.rend() && recent.size() < kRecentCount; ++it)
            recent.push_back({it->id, joinedNames(it->pictures)});
        return recent;
    });
}

std::size_t PictureActions::historyBack() const {
    return m_services.state.read([](const SlideShowState::Data& d) { return d.history.back(); });
}

QString PictureActions::favouritesFolder() const {
    return Favourites::folderFor(m_services.state.settings().FavouritesFolder);
}

bool PictureActions::isShowable(const ShownPicture& picture) const {
    if (m_services.state.read(
            [&](const SlideShowState::Data& d) { return d.isExcluded(picture.name); }))
        return false;
    QString ignored;
    // A URL-list picture is downloaded again; whether that works shows only then.
    return !picture.isLocalFile() || !fileOf(picture, ignored).isEmpty();
}

QString PictureActions::previous() {
    const auto [older, any] = m_services.state.read([](const SlideShowState::Data& d) {
        std::vector<PictureHistory::Change> before;
        const auto& changes = d.history.changes();
        const std::size_t shown = changes.size() - d.history.back();
        for (std::size_t i = shown > 0 ? shown - 1 : 0; i-- > 0;)
            before.push_back(changes[i]);
        return std::pair(before, !changes.empty());
    });
    for (const PictureHistory::Change& change : older) {
        if (std::any_of(change.pictures.begin(), change.pictures.end(),
                        [this](const ShownPicture& p) { return isShowable(p); }))
            return showAgain(change.id);
    }
    return text(any ? AppTexts::kNoEarlierPicture : AppTexts::kNoPictureYet);
}

QString PictureActions::showAgain(std::uint64_t id) {
    const bool known = m_services.state.modify([id](SlideShowState::Data& d) {
        const auto& changes = d.history.changes();
        if (std::none_of(changes.begin(), changes.end(),
                         [id](const PictureHistory::Change& c) { return c.id == id; }))
            return false;
        d.history.want(id);
        return true;
    });
    if (!known)
        return text(AppTexts::kNoSuchChange);
    m_services.changeNow();
    return {};
}

std::optional<ShownPicture> PictureActions::current(std::size_t picture, QString& whyNot) const {
    const std::vector<ShownPicture> pictures = currentPictures();
    if (picture < pictures.size())
        return pictures[picture];
    whyNot = text(AppTexts::kNoPictureYet);
    return std::nullopt;
}

QString PictureActions::fileOf(const ShownPicture& picture, QString& whyNot) const {
    QString file;
    if (!picture.isLocalFile()) {
        file = RegularFile::isRegular(picture.file) ? picture.file : QString();
        if (file.isEmpty())
            whyNot = text(AppTexts::kDownloadGone);
        return file;
    }
    if (const auto match = PictureTest::test(picture.name, m_services.resolveShortcut, true);
        match && RegularFile::isRegular(match->path))
        file = match->path;
    if (file.isEmpty())
        whyNot = text(AppTexts::kPictureGone).arg(picture.name);
    return file;
}

QString PictureActions::open(std::size_t index) {
    QString whyNot;
    if (const auto picture = current(index, whyNot))
        if (const QString file = fileOf(*picture, whyNot); !file.isEmpty())
            m_services.shell.openFile(file);
    return whyNot;
}

QString PictureActions::showInFolder(std::size_t index) {
    QString whyNot;
    const auto picture = current(index, whyNot);
    if (picture && !picture->isLocalFile())
        return text(AppTexts::kOnServerNoFolder);
    if (picture)
        if (const QString file = fileOf(*picture, whyNot); !file.isEmpty())
            m_services.shell.showInFolder(file);
    return whyNot;
}

QString PictureActions::favourite(std::size_t index) {
    QString whyNot;
    const auto picture = current(index, whyNot);
    const QString file = picture ? fileOf(*picture, whyNot) : QString();
    if (file.isEmpty())
        return whyNot;
    // A download is named after the server's name for it, not after its local copy.
    const QString name =
        picture->isLocalFile() ? QFileInfo(file).fileName() : picture->displayName();
    const QString folder = favouritesFolder();
    const Favourites::Added added = Favourites::add(file, name, folder);
    return added.error.isEmpty() ? QString()
                                 : text(AppTexts::kFavouriteFailed).arg(folder, added.error);
}

QString PictureActions::trash(std::size_t index) {
    QString whyNot;
    const auto picture = current(index, whyNot);
    if (!picture)
        return whyNot;
    if (!picture->isLocalFile())
        return text(AppTexts::kOnServerNoTrash);
    const QFileInfo entry(picture->name);
    if (!entry.exists() && !entry.isSymLink())
        return text(AppTexts::kPictureGone).arg(picture->name);
    if (!m_services.shell.moveToTrash(picture->name, &whyNot))
        return text(AppTexts::kTrashFailed).arg(picture->name, whyNot);
    if (picture->kind == PictureKind::FileList)
        removeFromFileList(picture->name);
    m_services.changeNow();
    return {};
}

void PictureActions::removeFromFileList(const QString& entry) {
    const EntryList list = m_services.state.modify([&entry](SlideShowState::Data& d) {
        // The entries before the position move up with it, so the same entry comes next.
        std::int32_t& position = d.settings.CurFileListPos;
        for (std::size_t i = d.fileList.size(); i-- > 0;) {
            if (d.fileList[i].text() != entry)
                continue;
            d.fileList.erase(d.fileList.begin() + static_cast<std::ptrdiff_t>(i));
            if (static_cast<std::int32_t>(i) < position)
                --position;
        }
        wrapPosition(position, d.fileList.size());
        return d.fileList;
    });
    if (!ListFile::save(m_services.fileListPath, list))
        qCWarning(lcApp).noquote() << text(AppTexts::kListNotSaved).arg(m_services.fileListPath);
    if (m_services.listsChanged)
        m_services.listsChanged();
}

QString PictureActions::neverAgain(std::size_t index) {
    QString whyNot;
    const auto picture = current(index, whyNot);
    if (!picture)
        return whyNot;
    const std::optional<ListEntry> entry = ListEntry::fromText(picture->name);
    if (!entry)
        return text(AppTexts::kTooLongToExclude).arg(picture->name);
    const EntryList list = m_services.state.modify([&](SlideShowState::Data& d) {
        if (!d.isExcluded(picture->name)) {
            d.excludedList.push_back(*entry);
            d.excludedChanged();
        }
        return d.excludedList;
    });
    // Kept at once: the user said so, whatever becomes of the program.
    if (!ListFile::save(m_services.excludedListPath, list))
        qCWarning(lcApp).noquote()
            << text(AppTexts::kListNotSaved).arg(m_services.excludedListPath);
    if (m_services.listsChanged)
        m_services.listsChanged();
    m_services.changeNow();
    return {};
}

#include "ui/PropertiesDialog.h"

#include "ftp/FolderListing.h"
#include "resources/AppTexts.h"
#include "resources/DialogUnits.h"
#include "resources/PropertiesDialogTemplate.h"
#include "transport/ServerAddress.h"
#include "ui/ColourButton.h"
#include "ui/DialogControls.h"
#include "ui/DialogNumber.h"
#include "ui/FileDropList.h"
#include "ui/ListEditor.h"
#include "worker/SlideShowState.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace T = PropertiesDialogTemplate;

namespace {

QString latin(const char* text) {
    return QString::fromLatin1(text);
}

// A dialog of our own that has no main window's state to work on still needs lists to show.
SlideShowState& fallbackState() {
    static SlideShowState state;
    return state;
}

} // namespace

PropertiesDialog::PropertiesDialog(const WallpaperSettings& record, Services services,
                                   QWidget* parent)
    : QDialog(parent), m_record(record), m_services(std::move(services)) {
    if (!m_services.state)
        m_services.state = &fallbackState();
    if (!m_services.showMessage)
        m_services.showMessage = [this](QMessageBox::Icon icon, const QString& caption,
                                        const QString& text) {
            QMessageBox box(icon, caption, text, QMessageBox::Ok, this);
            box.exec();
        };
    if (!m_services.chooseFolder)
        m_services.chooseFolder = [this](const QString& instruction, const QString& start) {
            return QFileDialog::getExistingDirectory(this, instruction, start,
                                                     QFileDialog::ShowDirsOnly);
        };
    if (!m_services.chooseFile)
        m_services.chooseFile = [this](const QString& start, const QStringList& filters) {
            QString selected = filters.value(0);
            return QFileDialog::getOpenFileName(this, QString(), start, filters.join(u";;"),
                                                &selected);
        };
    if (!m_services.chooseColour)
        m_services.chooseColour = [this](const QColor& current) {
            return QColorDialog::getColor(current, this);
        };
    if (!m_services.usableScreenBottom)
        m_services.usableScreenBottom = [this] {
            const QRect area = screen()->availableGeometry();
            return area.y() + area.height();
        };
    if (!m_services.mainWindowExists)
        m_services.mainWindowExists = [this] { return static_cast<bool>(m_services.apply); };
    if (m_services.appName.isEmpty())
        m_services.appName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();

    setWindowTitle(QString::fromUtf8(T::kDialog.caption));
    setFont(DialogControls::templateFont(T::kDialog));
    const DialogUnits units = DialogUnits::forFont(font());
    m_controls = std::make_unique<DialogControls>(T::kDialog, *this, units);

    // The dialog opens centred in the work area at its template size.
    const QSize size(units.x(T::kDialog.width), units.y(T::kDialog.height));
    const QRect area = screen()->availableGeometry();
    setFixedSize(size);
    move(area.center() - QPoint(size.width() / 2, size.height() / 2));

    m_layoutGroup = new QButtonGroup(this);
    for (std::size_t i = 0; i < T::kLayoutRadios.size(); ++i)
        m_layoutGroup->addButton(qobject_cast<QAbstractButton*>(control(T::kLayoutRadios[i])),
                                 static_cast<int>(i));
    m_sourceGroup = new QButtonGroup(this);
    for (std::size_t i = 0; i < T::kSourceRadios.size(); ++i)
        m_sourceGroup->addButton(qobject_cast<QAbstractButton*>(control(T::kSourceRadios[i])),
                                 static_cast<int>(i));

    const auto info = [this](const QString& caption, const QString& text) {
        message(QMessageBox::NoIcon, caption, text);
    };
    const auto warn = [this](const QString& caption, const QString& text) {
        message(QMessageBox::Warning, caption, text);
    };
    m_fileEditor = std::make_unique<ListEditor>(*m_services.state, ListEditor::Which::Files,
                                                *fileListView(), info, warn);
    m_urlEditor = std::make_unique<ListEditor>(*m_services.state, ListEditor::Which::Urls,
                                               *urlListView(), info, warn);
    m_excludedEditor = std::make_unique<ListEditor>(*m_services.state, ListEditor::Which::Excluded,
                                                    *excludedListView(), info, warn);
    edit(T::IdFavouritesFolder)->setPlaceholderText(m_services.defaultFavourites);

    fillForm();
    refillLists();
    connectCommands();
}

PropertiesDialog::~PropertiesDialog() {
    *m_alive = false;
}

QWidget* PropertiesDialog::control(int id) const {
    return m_controls->widget(id);
}

FileDropList* PropertiesDialog::fileListView() const {
    return m_controls->get<FileDropList>(T::IdFileList);
}

FileDropList* PropertiesDialog::urlListView() const {
    return m_controls->get<FileDropList>(T::IdUrlList);
}

FileDropList* PropertiesDialog::excludedListView() const {
    return m_controls->get<FileDropList>(T::IdExcludedList);
}

void PropertiesDialog::refillLists() {
    m_fileEditor->fill();
    m_urlEditor->fill();
    m_excludedEditor->fill();
}

QLineEdit* PropertiesDialog::edit(int id) const {
    return m_controls->get<QLineEdit>(id);
}

void PropertiesDialog::connectCommands() {
    const auto button = [this](int id) { return m_controls->get<QAbstractButton>(id); };
    const auto enableApply = [this] { setApplyEnabled(true); };

    for (int id : {T::IdStartPath, T::IdMinute, T::IdHour, T::IdSeconds, T::IdChangeCommand,
                   T::IdFavouritesFolder})
        connect(edit(id), &QLineEdit::textChanged, this, enableApply);
    for (int id :
         {T::IdRunSlideShowCtrl, T::IdPauseWhenLocked, T::IdPauseOnBattery, T::IdAllPictureTypes,
          T::IdEachScreen, T::IdShuffle, T::IdSmartCrop, T::IdNeverEnlarge, T::IdShowOnLockScreen})
        connect(button(id), &QAbstractButton::clicked, this, enableApply);
    for (int id : T::kLayoutRadios)
        connect(button(id), &QAbstractButton::clicked, this, enableApply);
    connect(button(T::IdFitColor), &QAbstractButton::clicked, this,
            &PropertiesDialog::chooseFitColour);
    for (int id : T::kSourceRadios)
        connect(button(id), &QAbstractButton::clicked, this, [this] {
            readForm();
            layoutForMode();
        });
    connect(button(T::IdAutoRun), &QAbstractButton::clicked, this, [this] {
        readForm();
        setApplyEnabled(true);
    });

    connect(button(T::IdBrowse), &QAbstractButton::clicked, this, &PropertiesDialog::browse);
    connect(button(T::IdApply), &QAbstractButton::clicked, this, &PropertiesDialog::applyNow);
    connect(button(T::IdOk), &QAbstractButton::clicked, this, [this] {
        if (readForm())
            accept();
    });
    connect(button(T::IdCancel), &QAbstractButton::clicked, this, &QDialog::reject);

    connect(button(T::IdAdd), &QAbstractButton::clicked, this, &PropertiesDialog::addFile);
    connect(button(T::IdDelete), &QAbstractButton::clicked, this,
            [this] { m_fileEditor->removeFocused(); });
    connect(button(T::IdMoveUp), &QAbstractButton::clicked, this,
            [this] { m_fileEditor->moveFocusedUp(); });
    connect(button(T::IdMoveDown), &QAbstractButton::clicked, this,
            [this] { m_fileEditor->moveFocusedDown(); });
    connect(button(T::IdShowNow), &QAbstractButton::clicked, this, &PropertiesDialog::showNow);
    connect(fileListView(), &FileDropList::itemAreaDoubleClicked, this, &PropertiesDialog::showNow);
    connect(fileListView(), &FileDropList::filesDropped, this, &PropertiesDialog::dropFiles);

    connect(button(T::IdDeleteUrl), &QAbstractButton::clicked, this,
            [this] { m_urlEditor->removeFocused(); });
    connect(button(T::IdMoveUrlUp), &QAbstractButton::clicked, this,
            [this] { m_urlEditor->moveFocusedUp(); });
    connect(button(T::IdMoveUrlDown), &QAbstractButton::clicked, this,
            [this] { m_urlEditor->moveFocusedDown(); });
    connect(button(T::IdShowUrlNow), &QAbstractButton::clicked, this,
            &PropertiesDialog::showUrlNow);
    connect(button(T::IdGetList), &QAbstractButton::clicked, this, &PropertiesDialog::getList);
    connect(button(T::IdRemoveExcluded), &QAbstractButton::clicked, this,
            [this] { m_excludedEditor->removeFocused(); });

    // Whether the server's form encrypts the password, shown beside it as the server is typed.
    const auto showPasswordHint = [this](const QString& server) {
        const auto scheme = ServerAddress::schemeOf(server);
        const bool encrypted =
            scheme && ServerAddress{.scheme = *scheme, .host = {}, .port = 0}.isSecure();
        m_controls->get<QLabel>(T::IdPasswordHint)
            ->setText(latin(encrypted ? AppTexts::kPasswordEncrypted : AppTexts::kPasswordInClear));
    };
    connect(edit(T::IdFtpServer), &QLineEdit::textChanged, this, showPasswordHint);
    showPasswordHint(edit(T::IdFtpServer)->text());
}

void PropertiesDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // Laid out once the window is up: the layout may ask questions of its own.
    QTimer::singleShot(0, this, [this] {
        if (!m_cancelled)
            layoutForMode();
    });
}

void PropertiesDialog::setApplyEnabled(bool enabled) {
    control(T::IdApply)->setEnabled(enabled);
}

void PropertiesDialog::message(QMessageBox::Icon icon, const QString& caption,
                               const QString& text) {
    // While the dialog is being ended from outside, nothing new is asked.
    if (m_cancelled)
        return;
    m_services.showMessage(icon, caption, text);
}

bool PropertiesDialog::readNumber(int id, std::uint32_t& field, std::uint32_t low,
                                  std::uint32_t high) {
    QLineEdit* field_edit = edit(id);
    const std::optional<std::uint32_t> value = readDialogNumber(field_edit->text());
    QString failure;
    if (!value) {
        failure = latin(AppTexts::kPositiveIntegerMessage);
    } else {
        field = *value;
        if (*value < low || *value > high)
            failure = latin(AppTexts::kRangeMessage).arg(low).arg(high);
    }
    if (failure.isEmpty())
        return true;
    message(QMessageBox::Warning, m_services.appName, failure);
    field_edit->setFocus();
    field_edit->selectAll();
    return false;
}

bool PropertiesDialog::readForm() {
    const auto ticked = [this](int id) {
        return m_controls->get<QAbstractButton>(id)->isChecked() ? 1 : 0;
    };
    m_record.AutoRun = ticked(T::IdAutoRun);
    m_record.StartPath = edit(T::IdStartPath)->text();
    m_record.IncludeSubflders = ticked(T::IdIncludeSubfolders);
    if (!readNumber(T::IdMinute, m_record.Minute, 0, 60))
        return false;
    if (!readNumber(T::IdHour, m_record.Hour, 0, 24))
        return false;
    if (!readNumber(T::IdSeconds, m_record.Seconds, 0, 3600))
        return false;
    m_record.Layout = m_layoutGroup->checkedId();
    m_record.RunSlideShowCtrl = ticked(T::IdRunSlideShowCtrl);
    m_record.UseFileList = m_sourceGroup->checkedId();
    m_record.FtpServer = edit(T::IdFtpServer)->text();
    m_record.FtpPassword = edit(T::IdFtpPassword)->text();
    m_record.FtpLogin = edit(T::IdFtpLogin)->text();
    m_record.FtpFolder = edit(T::IdFtpFolder)->text();
    m_record.PauseWhenLocked = ticked(T::IdPauseWhenLocked);
    m_record.PauseOnBattery = ticked(T::IdPauseOnBattery);
    m_record.AllPictureTypes = ticked(T::IdAllPictureTypes);
    m_record.EachScreen = ticked(T::IdEachScreen);
    m_record.Shuffle = ticked(T::IdShuffle);
    m_record.ChangeCommand = edit(T::IdChangeCommand)->text();
    m_record.FavouritesFolder = edit(T::IdFavouritesFolder)->text();
    m_record.ShowOnLockScreen = ticked(T::IdShowOnLockScreen);
    m_record.FitColor = m_controls->get<ColourButton>(T::IdFitColor)->colour().name();
    m_record.NeverEnlarge = ticked(T::IdNeverEnlarge);
    m_record.SmartCrop = ticked(T::IdSmartCrop);
    return true;
}

void PropertiesDialog::fillForm() {
    const auto tick = [this](int id, std::int32_t flag) {
        m_controls->get<QAbstractButton>(id)->setChecked(flag != 0);
    };
    // An index outside the group selects no button.
    const auto select = [](QButtonGroup* group, std::int32_t index) {
        if (QAbstractButton* button = group->button(index)) {
            button->setChecked(true);
            return;
        }
        group->setExclusive(false);
        for (QAbstractButton* button : group->buttons())
            button->setChecked(false);
        group->setExclusive(true);
    };
    tick(T::IdAutoRun, m_record.AutoRun);
    edit(T::IdStartPath)->setText(m_record.StartPath);
    tick(T::IdIncludeSubfolders, m_record.IncludeSubflders);
    edit(T::IdMinute)->setText(QString::number(m_record.Minute));
    edit(T::IdHour)->setText(QString::number(m_record.Hour));
    edit(T::IdSeconds)->setText(QString::number(m_record.Seconds));
    select(m_layoutGroup, m_record.Layout);
    tick(T::IdRunSlideShowCtrl, m_record.RunSlideShowCtrl);
    select(m_sourceGroup, m_record.UseFileList);
    edit(T::IdFtpServer)->setText(m_record.FtpServer);
    edit(T::IdFtpPassword)->setText(m_record.FtpPassword);
    edit(T::IdFtpLogin)->setText(m_record.FtpLogin);
    edit(T::IdFtpFolder)->setText(m_record.FtpFolder);
    tick(T::IdPauseWhenLocked, m_record.PauseWhenLocked);
    tick(T::IdPauseOnBattery, m_record.PauseOnBattery);
    tick(T::IdAllPictureTypes, m_record.AllPictureTypes);
    tick(T::IdEachScreen, m_record.EachScreen);
    tick(T::IdShuffle, m_record.Shuffle);
    edit(T::IdChangeCommand)->setText(m_record.ChangeCommand);
    edit(T::IdFavouritesFolder)->setText(m_record.FavouritesFolder);
    tick(T::IdShowOnLockScreen, m_record.ShowOnLockScreen);
    // As the conversion reads it: what is not "#rrggbb" is black.
    m_controls->get<ColourButton>(T::IdFitColor)
        ->setColour(QColor::fromRgb(static_cast<QRgb>(m_record.wallpaperLayout().fitColor)));
    tick(T::IdNeverEnlarge, m_record.NeverEnlarge);
    tick(T::IdSmartCrop, m_record.SmartCrop);
}

void PropertiesDialog::hideModeControls() {
    for (int id : T::kModeControls)
        control(id)->hide();
}

void PropertiesDialog::layoutForMode() {
    setApplyEnabled(true);
    hideModeControls();
    readForm(); // on failure the source keeps the value read last

    const std::int32_t source = m_record.UseFileList;
    if (source < 0 || source >= static_cast<std::int32_t>(T::kModeGroups.size()))
        return;
    const T::ModeGroup& group = T::kModeGroups[static_cast<std::size_t>(source)];
    for (int id : group.controls)
        control(id)->show();

    const QRect window = geometry();
    const int buttonHeight = control(T::IdOk)->height();
    const QRect anchor = control(group.anchor)->geometry();
    const int height = anchor.y() + anchor.height() + 3 * buttonHeight;
    int top = window.y();
    // Near the bottom of the screen the two taller groups move the dialog up.
    if (source != static_cast<std::int32_t>(SourceMode::ScanFolder)) {
        const int bottom = m_services.usableScreenBottom();
        if (top + height > bottom)
            top = bottom - height;
    }
    setFixedSize(window.width(), height);
    setGeometry(window.x(), top, window.width(), height);

    for (int id : {T::IdOk, T::IdCancel, T::IdApply}) {
        QWidget* button = control(id);
        button->move(button->x(), height - (2 * buttonHeight + 10));
    }
    QWidget* line = control(T::IdButtonLine);
    line->setGeometry(line->x(), height - (2 * buttonHeight + 20), line->width(), 3);

    if (source == static_cast<std::int32_t>(SourceMode::FileList))
        emptyFileListRule();
}

void PropertiesDialog::emptyFileListRule() {
    if (fileListCount() > 0)
        return;
    message(QMessageBox::NoIcon, latin(AppTexts::kEmptyFileListCaption),
            latin(AppTexts::kEmptyFileList));
    if (m_cancelled)
        return;
    addFile();
    if (m_cancelled || fileListCount() > 0)
        return;
    message(QMessageBox::NoIcon, latin(AppTexts::kEmptyFileListCaption),
            latin(AppTexts::kFileListModeRefused));
    if (m_cancelled)
        return;
    m_record.UseFileList = static_cast<std::int32_t>(SourceMode::ScanFolder);
    fillForm();
    layoutForMode();
}

int PropertiesDialog::fileListCount() const {
    return m_fileEditor->count();
}

void PropertiesDialog::browse() {
    const QString folder =
        m_services.chooseFolder(latin(AppTexts::kBrowseInstruction), m_record.StartPath);
    if (folder.isEmpty())
        return;
    m_record.StartPath = folder;
    fillForm();
}

void PropertiesDialog::applyNow() {
    if (!m_services.mainWindowExists() || !m_services.apply)
        return;
    if (!readForm())
        return;
    m_services.apply(m_record);
    setApplyEnabled(false);
}

QStringList PropertiesDialog::addFileFilters(bool allPictureTypes) {
    const QString text =
        allPictureTypes ? latin(AppTexts::kAllPictureTypesFilter) + latin(AppTexts::kAddFileFilters)
                        : latin(AppTexts::kAddFileFilters);
    const QStringList parts = text.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(u';', Qt::SkipEmptyParts))
            patterns.append(pattern.trimmed());
        filters.append(parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return filters;
}

void PropertiesDialog::addFile() {
    const bool allTypes = m_controls->get<QAbstractButton>(T::IdAllPictureTypes)->isChecked();
    const QString path = m_services.chooseFile(m_lastAddFolder, addFileFilters(allTypes));
    if (path.isEmpty())
        return;
    appendPath(path);
}

void PropertiesDialog::dropFiles(const QStringList& paths) {
    for (const QString& path : paths)
        appendPath(path);
}

bool PropertiesDialog::appendPath(const QString& path) {
    if (!m_fileEditor->append(path))
        return false;
    const qsizetype slash = path.lastIndexOf(u'/');
    m_lastAddFolder = slash < 0 ? QString() : path.left(slash);
    return true;
}

void PropertiesDialog::showNow() {
    const int row = fileListView()->focusedRow();
    if (row < 0 || !m_services.mainWindowExists())
        return;
    m_services.state->modify([row](SlideShowState::Data& d) {
        d.settings.CurFileListPos = row;
        d.chosenByHand(ListKind::Files) = true;
    });
    if (m_services.changeNow)
        m_services.changeNow();
}

void PropertiesDialog::showUrlNow() {
    const int row = urlListView()->focusedRow();
    if (row < 0 || !m_services.mainWindowExists())
        return;
    m_services.state->modify([row](SlideShowState::Data& d) {
        d.settings.CurURLListPos = row;
        d.chosenByHand(ListKind::Urls) = true;
    });
    if (m_services.changeNow)
        m_services.changeNow();
}

void PropertiesDialog::getList() {
    if (m_listing)
        return;
    readForm(); // the four server fields come last and keep their values on a failure
    const FtpAccount account{m_record.FtpServer, m_record.FtpLogin, m_record.FtpPassword,
                             m_record.FtpFolder};
    m_listing = true;
    control(T::IdGetList)->setEnabled(false);
    if (!m_services.listFolder) {
        finishGetList(account, FolderListingResult{});
        return;
    }
    // The listing may end after the dialog has closed: the live list is still replaced, as it
    // would have been with the dialog open, but nothing of the dialog is touched.
    std::shared_ptr<bool> alive = m_alive;
    SlideShowState* state = m_services.state;
    m_services.listFolder(account, m_record.AllPictureTypes != 0,
                          [this, alive, state, account](const FolderListingResult& r) {
                              if (*alive)
                                  finishGetList(account, r);
                              else if (r.outcome == FolderListingResult::Outcome::Listed)
                                  ListEditor::storeAll(*state, ListEditor::Which::Urls, r.urls);
                          });
}

void PropertiesDialog::finishGetList(const FtpAccount& account, const FolderListingResult& r) {
    const QString server = FolderListing::serverUrl(account.server);
    const auto fatal = [this](const char* text) {
        message(QMessageBox::Critical, latin(AppTexts::kNoSessionCaption), latin(text));
    };
    switch (r.outcome) {
    case FolderListingResult::Outcome::SessionFailed:
        fatal(AppTexts::kNoSession);
        break;
    case FolderListingResult::Outcome::ListingFailed:
        fatal(AppTexts::kListingFailed);
        break;
    case FolderListingResult::Outcome::CertificateRejected:
        fatal(AppTexts::kCertificateRejected);
        break;
    case FolderListingResult::Outcome::HostKeyUnknown:
        fatal(AppTexts::kHostKeyUnknown);
        break;
    case FolderListingResult::Outcome::HostKeyMismatch:
        fatal(AppTexts::kHostKeyMismatch);
        break;
    case FolderListingResult::Outcome::HostKeyRevoked:
        fatal(AppTexts::kHostKeyRevoked);
        break;
    case FolderListingResult::Outcome::FolderNotFound:
        setWindowTitle(server);
        message(QMessageBox::Warning, latin(AppTexts::kFolderNotFoundCaption),
                latin(AppTexts::kFolderNotFound));
        break;
    case FolderListingResult::Outcome::Listed: {
        setWindowTitle(server + u'/' + account.folder);
        const int refused = m_urlEditor->replaceAll(r.urls);
        if (r.cut)
            message(QMessageBox::Warning, latin(AppTexts::kTooLongCaption),
                    latin(AppTexts::kListCut).arg(r.urls.size()));
        if (refused > 0)
            message(QMessageBox::Warning, latin(AppTexts::kTooLongCaption),
                    latin(AppTexts::kUrlsTooLong).arg(refused));
        break;
    }
    }
    m_listing = false;
    control(T::IdGetList)->setEnabled(true);
}

void PropertiesDialog::chooseFitColour() {
    auto* button = m_controls->get<ColourButton>(T::IdFitColor);
    const QColor chosen = m_services.chooseColour(button->colour());
    if (!chosen.isValid())
        return;
    button->setColour(chosen);
    setApplyEnabled(true);
}

void PropertiesDialog::cancelFromOutside() {
    m_cancelled = true;
    // Message boxes and choosers of the dialog end first; their callers then see m_cancelled.
    for (QDialog* child : findChildren<QDialog*>())
        if (child->isVisible())
            child->reject();
    reject();
}

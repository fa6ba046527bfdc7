#pragma once

#include "ftp/FolderListingResult.h"
#include "transport/FtpAccount.h"
#include "worker/WallpaperSettings.h"

#include <QColor>
#include <QDialog>
#include <QMessageBox>
#include <functional>
#include <memory>

class DialogControls;
class FileDropList;
class ListEditor;
class QButtonGroup;
class QLineEdit;
class QPushButton;
class SlideShowState;

// The settings window. It edits a copy of the settings (the form is read into it and filled from
// it); the two list editors change the main window's lists at once through the shared state,
// and Cancel undoes none of their edits. One of three source groups is shown at a time and the
// dialog's height follows it.
class PropertiesDialog : public QDialog {
    Q_OBJECT

public:
    using ListingDone = std::function<void(const FolderListingResult&)>;

    // What the dialog uses from around it. Empty seams take the desktop's own dialogs.
    struct Services {
        SlideShowState* state = nullptr; // the main window's lists and positions
        // The main window's apply operation; empty when there is no main window.
        std::function<void(const WallpaperSettings&)> apply{};
        // Whether the main window still exists (Apply and Show now do nothing otherwise).
        std::function<bool()> mainWindowExists{};
        // Signals a change at once and restarts the interval count.
        std::function<void()> changeNow{};
        // Lists a server folder off the user-interface thread and calls `done` on it; the flag
        // takes the names of every picture type the program shows ("AllPictureTypes").
        std::function<void(const FtpAccount&, bool allPictureTypes, ListingDone done)> listFolder{};
        // Seams: a message box; the folder chooser (empty when cancelled); the file chooser
        // (start folder, filters with the first preselected; empty when cancelled); the bottom
        // edge of the usable screen area.
        std::function<void(QMessageBox::Icon, const QString& caption, const QString& text)>
            showMessage{};
        std::function<QString(const QString& instruction, const QString& start)> chooseFolder{};
        std::function<QString(const QString& startFolder, const QStringList& filters)> chooseFile{};
        // The colour chooser for "FitColor", opened at the current colour; an invalid colour
        // when cancelled.
        std::function<QColor(const QColor& current)> chooseColour{};
        std::function<int()> usableScreenBottom{};
        QString appName;             // caption of the form's messages; the program file's base name
        QString defaultFavourites{}; // the Favourites folder when the setting names none
    };

    PropertiesDialog(const WallpaperSettings& record, Services services, QWidget* parent = nullptr);
    ~PropertiesDialog() override;

    const WallpaperSettings& record() const { return m_record; }
    WallpaperSettings& record() { return m_record; }

    // Copies the controls into the record in the record's order; stops at the first invalid
    // number (message, focus and selection on that field) and reports failure.
    bool readForm();
    // Copies the record into the controls; no validation.
    void fillForm();
    void hideModeControls();
    // Shows the group of the record's source and fits the dialog's height to it.
    void layoutForMode();

    // The commands, callable from tests as the buttons call them.
    void browse();
    void applyNow();
    void addFile();
    void dropFiles(const QStringList& paths);
    void showNow();
    void showUrlNow();
    void getList();
    // Shows the main window's lists anew (they changed from outside the dialog).
    void refillLists();
    void chooseFitColour();
    // Ends the dialog as cancelled, also from inside one of its own message boxes.
    void cancelFromOutside();

    QWidget* control(int id) const;
    FileDropList* fileListView() const;
    FileDropList* urlListView() const;
    FileDropList* excludedListView() const;
    QString lastAddFolder() const { return m_lastAddFolder; }
    bool getListRunning() const { return m_listing; }

    // The Add chooser's filter string translated to the toolkit's "Description (patterns)"
    // filters, in order; `allPictureTypes` puts a filter for every picture type first.
    static QStringList addFileFilters(bool allPictureTypes = false);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void connectCommands();
    void setApplyEnabled(bool enabled);
    bool readNumber(int id, std::uint32_t& field, std::uint32_t low, std::uint32_t high);
    void message(QMessageBox::Icon icon, const QString& caption, const QString& text);
    void emptyFileListRule();
    bool appendPath(const QString& path);
    void finishGetList(const FtpAccount& account, const FolderListingResult& result);
    int fileListCount() const;
    QLineEdit* edit(int id) const;

    WallpaperSettings m_record;
    Services m_services;
    std::unique_ptr<DialogControls> m_controls;
    std::unique_ptr<ListEditor> m_fileEditor;
    std::unique_ptr<ListEditor> m_urlEditor;
    std::unique_ptr<ListEditor> m_excludedEditor;
    QButtonGroup* m_layoutGroup = nullptr;
    QButtonGroup* m_sourceGroup = nullptr;
    QString m_lastAddFolder;
    bool m_shownOnce = false;
    bool m_listing = false;
    bool m_cancelled = false;
    // Guards the callbacks of a listing that ends after the dialog is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

#pragma once

#include "resources/PropertiesDialogTemplate.h"
#include "tests/support/QtTestApp.h"
#include "ui/FileDropList.h"
#include "ui/PropertiesDialog.h"
#include "worker/SlideShowState.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// A Properties dialog on a private shared state, with every message box and chooser answered
// by the test.
class PropertiesDialogFixture : public ::testing::Test {
protected:
    struct Message {
        QMessageBox::Icon icon;
        QString caption;
        QString text;
    };

    PropertiesDialogFixture() { ensureQtApplication(); }

    static WallpaperSettings baseSettings() {
        WallpaperSettings s;
        s.StartPath = QStringLiteral("/pictures");
        s.Minute = 10;
        s.Hour = 1;
        s.Seconds = 30;
        s.Layout = 2;
        s.AutoRun = 1;
        s.FtpServer = QStringLiteral("ftp.example");
        return s;
    }

    void setFiles(const QStringList& texts) {
        m_state.modify([&](SlideShowState::Data& d) {
            d.fileList.clear();
            for (const QString& t : texts)
                d.fileList.push_back(*ListEntry::fromText(t));
        });
    }
    void setUrls(const QStringList& texts) {
        m_state.modify([&](SlideShowState::Data& d) {
            d.urlList.clear();
            for (const QString& t : texts)
                d.urlList.push_back(*ListEntry::fromText(t));
        });
    }
    QStringList files() const { return texts(m_state.fileList()); }
    QStringList urls() const { return texts(m_state.urlList()); }
    static QStringList texts(const EntryList& list) {
        QStringList out;
        for (const ListEntry& e : list)
            out.append(e.text());
        return out;
    }
    static QStringList rows(const FileDropList* view) {
        QStringList out;
        for (int i = 0; i < view->topLevelItemCount(); ++i)
            out.append(view->rowText(i));
        return out;
    }

    PropertiesDialog& open(const WallpaperSettings& settings = baseSettings()) {
        PropertiesDialog::Services services;
        services.state = &m_state;
        services.apply = [this](const WallpaperSettings& r) { m_applied.push_back(r); };
        services.changeNow = [this] { ++m_changeNowCount; };
        services.listFolder = m_listFolder;
        services.showMessage = [this](QMessageBox::Icon icon, const QString& caption,
                                      const QString& text) {
            m_messages.push_back({icon, caption, text});
        };
        services.chooseFolder = [this](const QString& instruction, const QString&) {
            m_folderInstruction = instruction;
            return answer(m_folderAnswers);
        };
        services.chooseFile = [this](const QString& start, const QStringList& filters) {
            m_fileChooserStarts.push_back(start);
            m_lastFilters = filters;
            return answer(m_fileAnswers);
        };
        services.chooseColour = [this](const QColor&) {
            if (m_colourAnswers.empty())
                return QColor();
            const QColor chosen = m_colourAnswers.front();
            m_colourAnswers.pop_front();
            return chosen;
        };
        services.usableScreenBottom = [this] { return m_screenBottom; };
        services.appName = QStringLiteral("tessaron");
        m_dialog = std::make_unique<PropertiesDialog>(settings, std::move(services));
        return *m_dialog;
    }

    QLineEdit* edit(int id) const { return qobject_cast<QLineEdit*>(m_dialog->control(id)); }
    QAbstractButton* button(int id) const {
        return qobject_cast<QAbstractButton*>(m_dialog->control(id));
    }
    bool applyEnabled() const {
        return m_dialog->control(PropertiesDialogTemplate::IdApply)->isEnabled();
    }

    static QString answer(std::deque<QString>& answers) {
        if (answers.empty())
            return QString();
        QString a = answers.front();
        answers.pop_front();
        return a;
    }

    SlideShowState m_state;
    std::vector<Message> m_messages;
    std::vector<WallpaperSettings> m_applied;
    int m_changeNowCount = 0;
    std::deque<QString> m_folderAnswers;
    std::deque<QString> m_fileAnswers;
    std::deque<QColor> m_colourAnswers; // none: the colour chooser is cancelled
    std::vector<QString> m_fileChooserStarts;
    QStringList m_lastFilters;
    QString m_folderInstruction;
    int m_screenBottom = 100000;
    std::function<void(const FtpAccount&, bool, PropertiesDialog::ListingDone)> m_listFolder;
    std::unique_ptr<PropertiesDialog> m_dialog;
};

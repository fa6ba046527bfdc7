#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>
#include <memory>

class DialogControls;
class HyperlinkLabel;

// The About box: the program's icon, name and version, buttons that open the maker's web page
// and a new mail to the maker, a clickable picture for the maker's site, and "Close".
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    using Opener = std::function<void(const QUrl&)>;

    // `opener` opens an address with the desktop; empty takes the desktop's own. Its failures
    // are ignored: the box stays open either way.
    explicit AboutDialog(Opener opener = {}, QWidget* parent = nullptr);
    ~AboutDialog() override;

    // "Tessaron version 2.300", a line break and a second line.
    static QString versionText();

    QWidget* control(int id) const;
    HyperlinkLabel* linkPicture() const;
    QUrl webAddress() const { return m_webAddress; }
    QUrl mailAddress() const { return m_mailAddress; }

private:
    std::unique_ptr<DialogControls> m_controls;
    QUrl m_webAddress;
    QUrl m_mailAddress;
    Opener m_opener;
};

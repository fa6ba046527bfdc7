#pragma once

#include <QObject>
#include <vector>

class PictureActions;
class QAction;
class QMenu;

// The tray menu's entries for the history and the picture on the screen: "Previous picture",
// "Recent pictures" (the last changes by name, newest first) and a submenu named after each
// picture on the screen, with what can be done with it. The entries are the menu's own
// actions of those commands; refresh() brings them in line with the history.
class PictureMenu : public QObject {
    Q_OBJECT

public:
    PictureMenu(QMenu& menu, PictureActions& actions, QObject* parent = nullptr);

    void refresh();

private:
    QAction* action(int command) const;
    // A submenu for the picture `index` on the screen.
    QMenu* pictureMenu(std::size_t index, bool onServer);
    // Runs an action; what does not apply is logged, as the menu has no place to say it.
    void run(const QString& whyNot);

    QMenu& m_menu;
    PictureActions& m_actions;
    QMenu* m_recent = nullptr;
    std::vector<QAction*> m_pictures; // the submenus' entries in the tray menu
};

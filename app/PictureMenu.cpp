#include "app/PictureMenu.h"

#include "app/PictureActions.h"
#include "platform/FileName.h"
#include "platform/LogCategories.h"
#include "resources/TrayMenuTemplate.h"

#include <QAction>
#include <QMenu>

namespace T = TrayMenuTemplate;

PictureMenu::PictureMenu(QMenu& menu, PictureActions& actions, QObject* parent)
    : QObject(parent), m_menu(menu), m_actions(actions), m_recent(new QMenu(&menu)) {
    connect(action(T::Previous), &QAction::triggered, this, [this] { run(m_actions.previous()); });
    action(T::RecentPictures)->setMenu(m_recent);
    refresh();
}

QAction* PictureMenu::action(int command) const {
    for (QAction* candidate : m_menu.actions())
        if (candidate->data().toInt() == command)
            return candidate;
    return nullptr;
}

void PictureMenu::run(const QString& whyNot) {
    if (!whyNot.isEmpty())
        qCInfo(lcApp).noquote() << whyNot;
}

void PictureMenu::refresh() {
    m_recent->clear();
    for (const PictureActions::Recent& recent : m_actions.recent()) {
        QAction* entry = m_recent->addAction(FileName::withRawBytesAs(recent.name));
        connect(entry, &QAction::triggered, this,
                [this, id = recent.id] { run(m_actions.showAgain(id)); });
    }
    action(T::RecentPictures)->setEnabled(!m_recent->isEmpty());

    // The template's entry stands for the first picture; those of the others follow it.
    for (std::size_t i = 1; i < m_pictures.size(); ++i)
        delete m_pictures[i];
    QAction* first = action(T::CurrentPicture);
    if (QMenu* old = first->menu())
        old->deleteLater();
    first->setMenu(nullptr);
    m_pictures = {first};
    const std::vector<ShownPicture> pictures = m_actions.currentPictures();
    first->setVisible(!pictures.empty());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        QAction* entry = first;
        if (i > 0) {
            entry = new QAction(&m_menu);
            const QList<QAction*> all = m_menu.actions();
            const qsizetype next = all.indexOf(m_pictures.back()) + 1;
            m_menu.insertAction(next < all.size() ? all[next] : nullptr, entry);
            m_pictures.push_back(entry);
        }
        entry->setText(FileName::withRawBytesAs(pictures[i].displayName()));
        entry->setMenu(pictureMenu(i, !pictures[i].isLocalFile()));
    }
}

QMenu* PictureMenu::pictureMenu(std::size_t index, bool onServer) {
    auto* menu = new QMenu(&m_menu);
    for (const T::Item& item : T::kPictureItems) {
        // A server's picture has no folder of its own and nothing to put in the trash.
        if (onServer && (item.command == T::ShowInFolder || item.command == T::MoveToTrash))
            continue;
        QAction* entry = menu->addAction(QString::fromUtf8(item.text));
        entry->setData(static_cast<int>(item.command));
        connect(entry, &QAction::triggered, this, [this, index, command = item.command] {
            switch (command) {
            case T::OpenPicture:
                return run(m_actions.open(index));
            case T::ShowInFolder:
                return run(m_actions.showInFolder(index));
            case T::CopyToFavourites:
                return run(m_actions.favourite(index));
            case T::MoveToTrash:
                return run(m_actions.trash(index));
            default:
                return run(m_actions.neverAgain(index));
            }
        });
    }
    return menu;
}

#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class FileDropList;
class SlideShowState;

// Edits one of the main window's two lists together with the view that shows it: row i of the
// view is always entry i of the list. Every edit changes the shared list at once, under the
// shared state's lock; nothing is kept to undo.
class ListEditor {
public:
    // The exclusion list may be emptied; the two others keep their last entry.
    enum class Which { Files, Urls, Excluded };
    // Shows a message to the user: caption, text.
    using Notify = std::function<void(const QString& caption, const QString& text)>;

    ListEditor(SlideShowState& state, Which which, FileDropList& view, Notify notifyInfo,
               Notify notifyWarning);

    // Fills the view with the list's entries.
    void fill();
    // Appends a path to the list and the view; a path that does not fit a list entry is
    // refused with a message. True when appended.
    bool append(const QString& path);
    // Removes the focused entry; the last entry of a list is never removed.
    void removeFocused();
    void moveFocusedUp();
    void moveFocusedDown();
    // Replaces every entry at once. Addresses that do not fit a list entry are left out and
    // counted; returns that count.
    int replaceAll(const QStringList& texts);

    // The same replacement on the shared list alone (no view); returns the texts stored.
    static QStringList storeAll(SlideShowState& state, Which which, const QStringList& texts);

    int count() const;

private:
    void swapWithNext(int row);

    SlideShowState& m_state;
    Which m_which;
    FileDropList& m_view;
    Notify m_notifyInfo;
    Notify m_notifyWarning;
};

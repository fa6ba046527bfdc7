#pragma once

#include "worker/ListEntry.h"
#include "worker/PictureHistory.h"
#include "worker/WallpaperSettings.h"

#include <QSet>
#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

using EntryList = std::vector<ListEntry>;

// The two lists a source can show from: the file list (CurFileListPos) and the URL list
// (CurURLListPos).
enum class ListKind { Files, Urls };

// The state that the user-interface thread and the slide-show worker share: the settings
// record, the two lists and the three positions inside the record. Every access holds one
// mutex, so no thread ever sees a string or a list half replaced, and a position is read and
// advanced together with the list it indexes. Nothing slow is done under the lock: callers copy
// what they need and work on the copy.
class SlideShowState {
public:
    struct Data {
        WallpaperSettings settings;
        EntryList fileList;
        EntryList urlList;
        bool listsLoaded = false;
        // The picture on the desktop now, as its source names it (a path, or an FTP address);
        // empty until the first change.
        QString currentPicture;

        const EntryList& list(ListKind kind) const {
            return kind == ListKind::Files ? fileList : urlList;
        }
        std::int32_t& position(ListKind kind) {
            return kind == ListKind::Files ? settings.CurFileListPos : settings.CurURLListPos;
        }
        // Set with the position by "Show now": the entry there is shown out of the shuffled
        // round's turn. Otherwise, with Shuffle on, the round alone says which entry comes
        // next, as the list may have been edited since the position was set.
        bool& chosenByHand(ListKind kind) {
            return kind == ListKind::Files ? fileChosenByHand : urlChosenByHand;
        }
        bool fileChosenByHand = false;
        bool urlChosenByHand = false;

        // The changes shown, and which of them is on the screen now.
        PictureHistory history;
        // "Never show again": the names the sources pass over, as each source names its
        // pictures (the path the folder walk meets, a list entry's text). After every edit of
        // the list, excludedChanged() brings the set of names in line with it.
        EntryList excludedList;
        QSet<QString> excludedNames;
        void excludedChanged();
        bool isExcluded(const QString& name) const { return excludedNames.contains(name); }
    };

    explicit SlideShowState(const WallpaperSettings& settings = {});

    // Runs f(const Data&) under the lock and returns its result.
    template <class F> auto read(F&& f) const {
        std::lock_guard lock(m_mutex);
        return f(static_cast<const Data&>(m_data));
    }

    // Runs f(Data&) under the lock, then tells the change listener (outside the lock).
    template <class F> auto modify(F&& f) {
        struct Notify {
            SlideShowState* state;
            ~Notify() { state->notifyChanged(); }
        } notify{this};
        std::lock_guard lock(m_mutex);
        ++m_revision;
        return f(m_data);
    }

    WallpaperSettings settings() const;
    void setSettings(const WallpaperSettings& settings);
    EntryList fileList() const;
    EntryList urlList() const;
    // Replaces both lists at once and marks them loaded.
    void setLists(EntryList fileList, EntryList urlList);
    bool listsLoaded() const;

    // Counts every modification; a waiter compares it to see whether anything changed.
    std::uint64_t revision() const;
    // Called after every modification, on the modifying thread, without the lock held.
    void setChangeListener(std::function<void()> listener);

private:
    void notifyChanged();

    mutable std::mutex m_mutex;
    Data m_data;
    std::uint64_t m_revision = 0;
    std::mutex m_listenerMutex;
    std::function<void()> m_listener;
};

// Wraps a position against a list: 0 when the position is not below the count.
std::int32_t wrapPosition(std::int32_t& position, std::size_t count);

// The text of the list's current entry, its position wrapped first (with Shuffle on, moved to
// the round's next entry unless it was chosen by hand) and moved past the entries never to be
// shown again; nothing when the list is empty or holds only those.
std::optional<QString> currentEntry(SlideShowState::Data& data, ListKind kind);
// Moves the list's position on to the next entry, back to 0 after the last; with Shuffle on, to
// the next entry of the list's round (ShuffleRound), beginning a new round after the last.
void advancePosition(SlideShowState::Data& data, ListKind kind);

#pragma once

#include "worker/ShownPicture.h"

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// The last changes the slide show made, oldest first, each with the picture of every screen,
// and which of them is on the screen now. Going back shows an older change again without
// moving any source: a change request while back in the history shows the next newer one, and
// only once the newest is shown again does the source give a new picture.
class PictureHistory {
public:
    static constexpr std::size_t kMaxChanges = 100;

    struct Change {
        std::uint64_t id = 0; // unique within the history, growing with each change
        std::vector<ShownPicture> pictures;
        bool operator==(const Change&) const = default;
    };

    // A change that a source made: the newest, and the one shown. The oldest goes beyond
    // kMaxChanges.
    void record(std::vector<ShownPicture> pictures);
    // The change shown now; nothing before the first.
    const Change* shown() const;
    // How many changes are newer than the one shown.
    std::size_t back() const;
    const std::deque<Change>& changes() const { return m_changes; }

    // Asks for the change `id` at the next change request (going back, a recent picture).
    void want(std::uint64_t id) { m_wanted = id; }
    // Whether a change request would show a change of the history rather than a new picture.
    bool hasNext() const;
    // For a change request: the change wanted, else the next newer one while back in the
    // history, which is then the one shown; nothing when it is the source's turn.
    std::optional<Change> takeNext();
    // The shown change's pictures as they were shown again (their downloaded copies).
    void reshown(std::uint64_t id, std::vector<ShownPicture> pictures);

    // The file form: a header line, then a line a picture: the change's id, the source, the
    // screen and the name, the texts percent-encoded. Lines that do not read are left out.
    QByteArray encode() const;
    static PictureHistory decode(const QByteArray& bytes);

private:
    std::optional<std::size_t> indexOf(std::uint64_t id) const;

    std::deque<Change> m_changes;
    std::uint64_t m_shownId = 0;
    std::optional<std::uint64_t> m_wanted;
};

#pragma once

#include "worker/ShuffleOrder.h"
#include "worker/WallpaperSettings.h"

#include <QString>
#include <cstdint>
#include <optional>

// One source's round of a shuffled order (ShuffleOrder), as the profile keeps it: the key of
// the round's order and the name of the picture shown last in it. The pictures still to come
// are those placed after that one; the round is over when none is, and the next one begins
// under the next key with every picture there is then. So no picture comes twice in a round,
// pictures added during a round come in it only if their place is still ahead and in the next
// one for sure, and pictures removed are simply not met.
class ShuffleRound {
public:
    enum class Source { ScanFolder, FileList, UrlList };

    static ShuffleRound of(const WallpaperSettings& settings, Source source);
    void storeIn(WallpaperSettings& settings, Source source) const;

    // Whether a round has begun at all (it has a key).
    bool begun() const { return m_key != 0; }
    std::uint32_t key() const { return m_key; }
    ShuffleOrder order() const { return ShuffleOrder(m_key); }
    // The name of the picture shown last in the round; empty at its start.
    const QString& last() const { return m_last; }
    // The place of the picture shown last, in this round's order; nothing at its start.
    std::optional<ShuffleOrder::Place> lastPlace() const;

    // Begins a round under `key` with nothing shown yet.
    void begin(std::uint32_t key);
    // The picture `name` of the round under `key` has been shown (or its turn is used up); a
    // key other than the current one begins that round with it.
    void shown(std::uint32_t key, const QString& name);

    // The key of the round after this one: the next key, or a random one before the first.
    std::uint32_t followingKey() const;

private:
    std::uint32_t m_key = 0;
    QString m_last;
};

// The index of a list's next entry in `round`: the first entry of the lowest place still to
// come (an entry listed twice comes once); the list's size when the round is over.
template <class List> std::size_t nextInRound(const ShuffleRound& round, const List& entries) {
    const ShuffleOrder order = round.order();
    const std::optional<ShuffleOrder::Place> after = round.lastPlace();
    std::size_t best = entries.size();
    ShuffleOrder::Place bestPlace;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ShuffleOrder::Place place = order.place(entries[i].text());
        if ((!after || *after < place) && (best == entries.size() || place < bestPlace)) {
            best = i;
            bestPlace = std::move(place);
        }
    }
    return best;
}

#pragma once

#include "worker/PictureTest.h"
#include "worker/ShuffleOrder.h"
#include "worker/ShuffleRound.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The next pictures of the folder walk's shuffled round, found by one walk of the tree: at most
// kKept of the round's pictures still to come, lowest places first; or, when none is left, as
// many of the next round's. Only these are kept, never the whole tree, and the walk is repeated
// only when they are used up, so most changes walk nothing and none walks more than once.
// They hold only while the round goes on from where they were found and the settings that
// decide what a picture is are those of that walk; anything else makes them void, and a new
// walk finds the next ones. A picture added meanwhile is met by a later walk of the round if
// its place is still ahead, and by the next round's walks in any case.
class ShuffleCandidates {
public:
    // How many pictures of a round one walk keeps.
    static constexpr std::size_t kKept = 64;

    struct Candidate {
        std::uint32_t key = 0; // of the round it belongs to
        QString walkPath;      // the path the walk met, which places it in the round
        PictureMatch picture;
        QString tipName;
        std::uint32_t number = 0; // its number in walk order, at that walk
    };
    // What the walk's picture test and folder choice depended on, and where it began.
    struct Basis {
        QString startFolder;
        bool includeSubfolders = true;
        bool allPictureTypes = false;
        bool operator==(const Basis&) const = default;
    };

    // A walk begins to collect for `round` (which has begun).
    void collect(const ShuffleRound& round, const Basis& basis);
    // A picture the walk met, numbered in walk order.
    void offer(const QString& walkPath, const PictureMatch& picture, const QString& tipName,
               std::uint32_t number);
    // The walk has met every picture; `count` of them.
    void finish(std::uint32_t count);

    // The round's next picture, when the candidates hold for `round` and `basis`; else they
    // are dropped and nothing is returned.
    std::optional<Candidate> next(const ShuffleRound& round, const Basis& basis);
    // The candidate next() returned has been shown, or passed over; the round goes on after it.
    void taken();

private:
    struct Collector {
        ShuffleOrder order{0};
        std::optional<ShuffleOrder::Place> after;
        // A max-heap of the lowest places offered, at most kKept.
        std::vector<std::pair<ShuffleOrder::Place, Candidate>> kept;

        void offer(const QString& walkPath, const PictureMatch& picture, const QString& tipName,
                   std::uint32_t number);
        std::vector<Candidate> sorted();
    };

    void drop();

    // While a walk collects: this round's pictures still to come, and the first ones of the
    // next round under two keys, the second for when the first would begin with the picture
    // shown last.
    std::vector<Collector> m_collectors;
    // The round's next pictures in order, from the front.
    std::vector<Candidate> m_next;
    std::size_t m_front = 0;
    // The round's key and picture shown last that the front follows.
    std::uint32_t m_afterKey = 0;
    QString m_afterLast;
    Basis m_basis;
};

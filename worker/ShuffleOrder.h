#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

// The order of one round of a shuffled slide show. Every picture gets a place from a keyed
// 64-bit hash of its name (its path in the folder walk, or a list entry's text), and the round
// shows the pictures from the lowest place up. The order needs no table, a picture's place does
// not move when others are added or removed, and one name (the picture shown last) says how far
// a round has got. Another key gives an unrelated order.
class ShuffleOrder {
public:
    struct Place {
        std::uint64_t hash = 0;
        QString name; // breaks the rare tie of two hashes, so that no two names share a place

        bool operator<(const Place& other) const {
            return hash != other.hash ? hash < other.hash : name < other.name;
        }
    };

    explicit ShuffleOrder(std::uint32_t key);

    std::uint32_t key() const { return m_key; }
    Place place(const QString& name) const;

    // A fresh random key, in 1 .. 2^31 - 2 (the profile keeps it as a positive 32-bit value).
    static std::uint32_t randomKey();
    // The key after `key`: the keys run through every value of that range before one comes
    // again, so a test that fixes one key knows every later round.
    static std::uint32_t nextKey(std::uint32_t key);

private:
    std::uint32_t m_key;
    std::uint64_t m_start;
};

#include "worker/ShuffleCandidates.h"

#include <algorithm>

namespace {

bool lowerPlace(const std::pair<ShuffleOrder::Place, ShuffleCandidates::Candidate>& a,
                const std::pair<ShuffleOrder::Place, ShuffleCandidates::Candidate>& b) {
    return a.first < b.first;
}

} // namespace

void ShuffleCandidates::Collector::offer(const QString& walkPath, const PictureMatch& picture,
                                         const QString& tipName, std::uint32_t number) {
    ShuffleOrder::Place place = order.place(walkPath);
    if ((after && !(*after < place)) || (kept.size() == kKept && !(place < kept.front().first)))
        return;
    if (kept.size() == kKept) {
        std::pop_heap(kept.begin(), kept.end(), lowerPlace);
        kept.pop_back();
    }
    kept.emplace_back(std::move(place), Candidate{order.key(), walkPath, picture, tipName, number});
    std::push_heap(kept.begin(), kept.end(), lowerPlace);
}

std::vector<ShuffleCandidates::Candidate> ShuffleCandidates::Collector::sorted() {
    std::sort_heap(kept.begin(), kept.end(), lowerPlace);
    std::vector<Candidate> candidates;
    for (auto& [place, candidate] : kept)
        candidates.push_back(std::move(candidate));
    kept.clear();
    return candidates;
}

void ShuffleCandidates::collect(const ShuffleRound& round, const Basis& basis) {
    drop();
    m_basis = basis;
    m_afterKey = round.key();
    m_afterLast = round.last();
    const std::uint32_t following = ShuffleOrder::nextKey(round.key());
    m_collectors.resize(3);
    m_collectors[0].order = round.order();
    m_collectors[0].after = round.lastPlace();
    m_collectors[1].order = ShuffleOrder(following);
    m_collectors[2].order = ShuffleOrder(ShuffleOrder::nextKey(following));
}

void ShuffleCandidates::offer(const QString& walkPath, const PictureMatch& picture,
                              const QString& tipName, std::uint32_t number) {
    if (m_collectors.empty())
        return;
    m_collectors[0].offer(walkPath, picture, tipName, number);
    // Once the round has a picture still to come, the next round's are not needed.
    if (!m_collectors[0].kept.empty()) {
        m_collectors.resize(1);
        return;
    }
    for (std::size_t i = 1; i < m_collectors.size(); ++i)
        m_collectors[i].offer(walkPath, picture, tipName, number);
}

void ShuffleCandidates::finish(std::uint32_t count) {
    if (m_collectors.empty())
        return;
    m_next = m_collectors[0].sorted();
    // The next round is taken only from a walk made after this one's last picture, so that
    // every picture there is at its start is in it.
    if (m_next.empty()) {
        // It does not begin with the picture shown last when another can begin it.
        m_next = m_collectors[1].sorted();
        if (count > 1 && !m_next.empty() && m_next.front().walkPath == m_afterLast)
            m_next = m_collectors[2].sorted();
    }
    m_collectors.clear();
}

std::optional<ShuffleCandidates::Candidate> ShuffleCandidates::next(const ShuffleRound& round,
                                                                    const Basis& basis) {
    if (m_front >= m_next.size() || round.key() != m_afterKey || round.last() != m_afterLast ||
        basis != m_basis) {
        drop();
        return std::nullopt;
    }
    return m_next[m_front];
}

void ShuffleCandidates::taken() {
    if (m_front >= m_next.size())
        return;
    m_afterKey = m_next[m_front].key;
    m_afterLast = m_next[m_front].walkPath;
    ++m_front;
}

void ShuffleCandidates::drop() {
    m_next.clear();
    m_front = 0;
    m_collectors.clear();
}

#include "worker/PictureHistory.h"

#include "platform/FileName.h"

#include <QList>

namespace {

constexpr const char* kHeader = "Tessaron history 1";

QByteArray encoded(const QByteArray& bytes) {
    // Empty texts still take a field.
    return bytes.isEmpty() ? QByteArray("-") : bytes.toPercentEncoding();
}

QByteArray decoded(const QByteArray& field) {
    return field == "-" ? QByteArray() : QByteArray::fromPercentEncoding(field);
}

} // namespace

void PictureHistory::record(std::vector<ShownPicture> pictures) {
    const std::uint64_t id = m_changes.empty() ? 1 : m_changes.back().id + 1;
    m_changes.push_back({id, std::move(pictures)});
    while (m_changes.size() > kMaxChanges)
        m_changes.pop_front();
    m_shownId = id;
}

std::optional<std::size_t> PictureHistory::indexOf(std::uint64_t id) const {
    for (std::size_t i = 0; i < m_changes.size(); ++i)
        if (m_changes[i].id == id)
            return i;
    return std::nullopt;
}

const PictureHistory::Change* PictureHistory::shown() const {
    const std::optional<std::size_t> index = indexOf(m_shownId);
    return index ? &m_changes[*index] : nullptr;
}

std::size_t PictureHistory::back() const {
    const std::optional<std::size_t> index = indexOf(m_shownId);
    return index ? m_changes.size() - 1 - *index : 0;
}

bool PictureHistory::hasNext() const {
    return (m_wanted && indexOf(*m_wanted)) || back() > 0;
}

std::optional<PictureHistory::Change> PictureHistory::takeNext() {
    std::optional<std::size_t> index = m_wanted ? indexOf(*m_wanted) : std::nullopt;
    m_wanted.reset();
    if (!index && back() > 0)
        index = *indexOf(m_shownId) + 1;
    if (!index)
        return std::nullopt;
    m_shownId = m_changes[*index].id;
    return m_changes[*index];
}

void PictureHistory::reshown(std::uint64_t id, std::vector<ShownPicture> pictures) {
    if (const std::optional<std::size_t> index = indexOf(id))
        m_changes[*index].pictures = std::move(pictures);
}

QByteArray PictureHistory::encode() const {
    QByteArray bytes = QByteArray(kHeader) + '\n';
    for (const Change& change : m_changes)
        for (const ShownPicture& picture : change.pictures)
            bytes += QByteArray::number(change.id) + ' ' +
                     QByteArray::number(static_cast<int>(picture.kind)) + ' ' +
                     encoded(picture.screen.toUtf8()) + ' ' +
                     encoded(FileName::toNative(picture.name)) + '\n';
    return bytes;
}

PictureHistory PictureHistory::decode(const QByteArray& bytes) {
    PictureHistory history;
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.value(0) != kHeader)
        return history;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        bool idRead = false, kindRead = false;
        const std::uint64_t id = fields.value(0).toULongLong(&idRead);
        const int kind = fields.value(1).toInt(&kindRead);
        const QByteArray name = decoded(fields.value(3));
        if (fields.size() != 4 || !idRead || !kindRead || kind < 0 || kind > 2 || name.isEmpty())
            continue;
        // Ids grow: a line out of order is no part of a change kept in order.
        if (!history.m_changes.empty() && id < history.m_changes.back().id)
            continue;
        if (history.m_changes.empty() || history.m_changes.back().id != id)
            history.m_changes.push_back({id, {}});
        history.m_changes.back().pictures.push_back({static_cast<PictureKind>(kind),
                                                     FileName::fromNative(name),
                                                     QString::fromUtf8(decoded(fields.value(2))),
                                                     {},
                                                     {},
                                                     {}});
    }
    while (history.m_changes.size() > kMaxChanges)
        history.m_changes.pop_front();
    if (!history.m_changes.empty())
        history.m_shownId = history.m_changes.back().id;
    return history;
}

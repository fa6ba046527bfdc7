#include "worker/ShuffleRound.h"

namespace {

struct Fields {
    std::int32_t WallpaperSettings::*key;
    QString WallpaperSettings::*last;
};

Fields fieldsOf(ShuffleRound::Source source) {
    using W = WallpaperSettings;
    switch (source) {
    case ShuffleRound::Source::ScanFolder:
        return {&W::ShuffleScanSeed, &W::ShuffleScanLast};
    case ShuffleRound::Source::FileList:
        return {&W::ShuffleFileSeed, &W::ShuffleFileLast};
    case ShuffleRound::Source::UrlList:
        break;
    }
    return {&W::ShuffleURLSeed, &W::ShuffleURLLast};
}

} // namespace

ShuffleRound ShuffleRound::of(const WallpaperSettings& settings, Source source) {
    const Fields fields = fieldsOf(source);
    ShuffleRound round;
    // A key a hand-edited profile made zero or negative means no round yet.
    const std::int32_t key = settings.*fields.key;
    round.m_key = key > 0 ? static_cast<std::uint32_t>(key) : 0;
    round.m_last = settings.*fields.last;
    return round;
}

void ShuffleRound::storeIn(WallpaperSettings& settings, Source source) const {
    const Fields fields = fieldsOf(source);
    settings.*fields.key = static_cast<std::int32_t>(m_key);
    settings.*fields.last = m_last;
}

std::optional<ShuffleOrder::Place> ShuffleRound::lastPlace() const {
    if (m_last.isEmpty())
        return std::nullopt;
    return order().place(m_last);
}

void ShuffleRound::begin(std::uint32_t key) {
    m_key = key;
    m_last.clear();
}

void ShuffleRound::shown(std::uint32_t key, const QString& name) {
    m_key = key;
    m_last = name;
}

std::uint32_t ShuffleRound::followingKey() const {
    return m_key != 0 ? ShuffleOrder::nextKey(m_key) : ShuffleOrder::randomKey();
}

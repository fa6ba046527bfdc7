#include "worker/SlideShowState.h"

#include "worker/ShuffleRound.h"

#include <algorithm>

namespace {

ShuffleRound::Source roundSource(ListKind kind) {
    return kind == ListKind::Files ? ShuffleRound::Source::FileList : ShuffleRound::Source::UrlList;
}

bool inList(std::int32_t position, std::size_t count) {
    return position >= 0 && static_cast<std::size_t>(position) < count;
}

// Keys a new round tries before it accepts the entry just shown as its first.
constexpr int kFirstEntryTries = 8;

// With Shuffle on: the position moves to the round's next entry; after the round's last, the
// next round begins, over the list as it is now, and not with the entry `shown` when another
// can begin it.
void settleOnRound(SlideShowState::Data& data, ListKind kind, const QString& shown) {
    const EntryList& list = data.list(kind);
    const std::size_t none = list.size();
    ShuffleRound round = ShuffleRound::of(data.settings, roundSource(kind));
    std::size_t next = round.begun() ? nextInRound(round, list) : none;
    for (int tries = 1; next == none && !list.empty(); ++tries) {
        round.begin(round.followingKey());
        next = nextInRound(round, list);
        if (tries < kFirstEntryTries && list[next].text() == shown &&
            std::any_of(list.begin(), list.end(),
                        [&](const ListEntry& entry) { return entry.text() != shown; }))
            next = none;
    }
    round.storeIn(data.settings, roundSource(kind));
    data.position(kind) = next == none ? 0 : static_cast<std::int32_t>(next);
}

} // namespace

SlideShowState::SlideShowState(const WallpaperSettings& settings) {
    m_data.settings = settings;
}

WallpaperSettings SlideShowState::settings() const {
    return read([](const Data& d) { return d.settings; });
}

void SlideShowState::setSettings(const WallpaperSettings& settings) {
    modify([&](Data& d) { d.settings = settings; });
}

EntryList SlideShowState::fileList() const {
    return read([](const Data& d) { return d.fileList; });
}

EntryList SlideShowState::urlList() const {
    return read([](const Data& d) { return d.urlList; });
}

void SlideShowState::setLists(EntryList fileList, EntryList urlList) {
    modify([&](Data& d) {
        d.fileList = std::move(fileList);
        d.urlList = std::move(urlList);
        d.listsLoaded = true;
    });
}

bool SlideShowState::listsLoaded() const {
    return read([](const Data& d) { return d.listsLoaded; });
}

std::uint64_t SlideShowState::revision() const {
    std::lock_guard lock(m_mutex);
    return m_revision;
}

void SlideShowState::setChangeListener(std::function<void()> listener) {
    std::lock_guard lock(m_listenerMutex);
    m_listener = std::move(listener);
}

void SlideShowState::notifyChanged() {
    std::lock_guard lock(m_listenerMutex);
    if (m_listener)
        m_listener();
}

std::int32_t wrapPosition(std::int32_t& position, std::size_t count) {
    // A negative position from a hand-edited profile would index before the list: wrap it too.
    if (position < 0 || static_cast<std::size_t>(position) >= count)
        position = 0;
    return position;
}

void SlideShowState::Data::excludedChanged() {
    excludedNames.clear();
    for (const ListEntry& entry : excludedList)
        excludedNames.insert(entry.text());
}

std::optional<QString> currentEntry(SlideShowState::Data& data, ListKind kind) {
    const EntryList& list = data.list(kind);
    std::int32_t& position = data.position(kind);
    // An entry never to be shown again uses up its turn, in order as in a shuffled round.
    for (std::size_t tries = 0; tries < list.size(); ++tries) {
        // The round, not the position, says which entry comes next: the list may have been
        // edited since the position was set (here or in the files while the program was not
        // running), and with Shuffle just turned on the round begins at once. Only "Show now"
        // has its way.
        if (data.settings.Shuffle != 0 &&
            (!data.chosenByHand(kind) || !inList(position, list.size())))
            settleOnRound(data, kind, ShuffleRound::of(data.settings, roundSource(kind)).last());
        const QString text =
            list[static_cast<std::size_t>(wrapPosition(position, list.size()))].text();
        if (!data.isExcluded(text))
            return text;
        advancePosition(data, kind);
    }
    return std::nullopt;
}

void advancePosition(SlideShowState::Data& data, ListKind kind) {
    std::int32_t& position = data.position(kind);
    data.chosenByHand(kind) = false;
    if (data.settings.Shuffle != 0) {
        const EntryList& list = data.list(kind);
        const QString shown = inList(position, list.size())
                                  ? list[static_cast<std::size_t>(position)].text()
                                  : QString();
        ShuffleRound round = ShuffleRound::of(data.settings, roundSource(kind));
        // The round goes on past the entry shown only when it was the round's next one: an
        // entry chosen with "Show now" leaves the round where it was.
        if (!shown.isEmpty() && round.begun() &&
            nextInRound(round, list) == static_cast<std::size_t>(position)) {
            round.shown(round.key(), shown);
            round.storeIn(data.settings, roundSource(kind));
        }
        settleOnRound(data, kind, shown);
        return;
    }
    // A move in order ends the shuffled round: Shuffle turned on again begins a new one.
    ShuffleRound().storeIn(data.settings, roundSource(kind));
    const std::size_t count = data.list(kind).size();
    // Only a position inside the list moves on: one from a hand-edited profile could overflow.
    if (position >= 0 && static_cast<std::size_t>(position) < count)
        ++position;
    wrapPosition(position, count);
}

#include "worker/SlideShowState.h"

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

std::optional<QString> currentEntry(SlideShowState::Data& data, ListKind kind) {
    const EntryList& list = data.list(kind);
    if (list.empty())
        return std::nullopt;
    return list[static_cast<std::size_t>(wrapPosition(data.position(kind), list.size()))].text();
}

void advancePosition(SlideShowState::Data& data, ListKind kind) {
    std::int32_t& position = data.position(kind);
    const std::size_t count = data.list(kind).size();
    // Only a position inside the list moves on: one from a hand-edited profile could overflow.
    if (position >= 0 && static_cast<std::size_t>(position) < count)
        ++position;
    wrapPosition(position, count);
}

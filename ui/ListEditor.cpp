#include "ui/ListEditor.h"

#include "resources/AppTexts.h"
#include "ui/FileDropList.h"
#include "worker/SlideShowState.h"

#include <optional>

namespace {

// The list of `data` that `which` names (a const one of const data).
template <class Data> auto& listOf(Data& data, ListEditor::Which which) {
    switch (which) {
    case ListEditor::Which::Files:
        return data.fileList;
    case ListEditor::Which::Urls:
        return data.urlList;
    default:
        return data.excludedList;
    }
}

} // namespace

ListEditor::ListEditor(SlideShowState& state, Which which, FileDropList& view, Notify notifyInfo,
                       Notify notifyWarning)
    : m_state(state), m_which(which), m_view(view), m_notifyInfo(std::move(notifyInfo)),
      m_notifyWarning(std::move(notifyWarning)) {}

void ListEditor::fill() {
    const QStringList texts = m_state.read([this](const SlideShowState::Data& d) {
        QStringList out;
        for (const ListEntry& entry : listOf(d, m_which))
            out.append(entry.text());
        return out;
    });
    m_view.clear();
    for (const QString& text : texts)
        m_view.appendRow(text);
}

bool ListEditor::append(const QString& path) {
    const std::optional<ListEntry> entry = ListEntry::fromText(path);
    if (!entry) {
        m_notifyWarning(QString::fromLatin1(AppTexts::kTooLongCaption),
                        QString::fromLatin1(AppTexts::kPathTooLong).arg(path));
        return false;
    }
    m_state.modify([&](SlideShowState::Data& d) { listOf(d, m_which).push_back(*entry); });
    m_view.appendRow(path);
    return true;
}

void ListEditor::removeFocused() {
    const int row = m_view.focusedRow();
    if (row < 0)
        return;
    enum class Outcome { Removed, LastEntry, Gone };
    const Outcome outcome = m_state.modify([&](SlideShowState::Data& d) {
        EntryList& list = listOf(d, m_which);
        if (list.size() <= 1 && m_which != Which::Excluded)
            return Outcome::LastEntry;
        if (static_cast<std::size_t>(row) >= list.size())
            return Outcome::Gone;
        list.erase(list.begin() + row);
        d.excludedChanged();
        return Outcome::Removed;
    });
    if (outcome == Outcome::LastEntry) {
        m_notifyInfo(QString::fromLatin1(AppTexts::kLastFileCaption),
                     QString::fromLatin1(AppTexts::kLastFile));
        return;
    }
    if (outcome == Outcome::Removed)
        delete m_view.takeTopLevelItem(row);
}

void ListEditor::moveFocusedUp() {
    const int row = m_view.focusedRow();
    if (row <= 0)
        return;
    swapWithNext(row - 1);
    m_view.focusRow(row - 1);
}

void ListEditor::moveFocusedDown() {
    const int row = m_view.focusedRow();
    if (row < 0 || row + 1 >= m_view.topLevelItemCount())
        return;
    swapWithNext(row);
    m_view.focusRow(row + 1);
}

void ListEditor::swapWithNext(int row) {
    // Whole entries are exchanged, so both stay valid blocks.
    const auto texts = m_state.modify([&](SlideShowState::Data& d) {
        EntryList& list = listOf(d, m_which);
        const auto i = static_cast<std::size_t>(row);
        if (i + 1 >= list.size())
            return std::optional<std::pair<QString, QString>>();
        std::swap(list[i], list[i + 1]);
        return std::optional(std::pair(list[i].text(), list[i + 1].text()));
    });
    if (!texts)
        return;
    m_view.setRowText(row, texts->first);
    m_view.setRowText(row + 1, texts->second);
}

int ListEditor::replaceAll(const QStringList& texts) {
    const QStringList shown = storeAll(m_state, m_which, texts);
    m_view.clear();
    for (const QString& text : shown)
        m_view.appendRow(text);
    return static_cast<int>(texts.size() - shown.size());
}

QStringList ListEditor::storeAll(SlideShowState& state, Which which, const QStringList& texts) {
    EntryList entries;
    entries.reserve(static_cast<std::size_t>(texts.size()));
    QStringList stored;
    for (const QString& text : texts) {
        if (const std::optional<ListEntry> entry = ListEntry::fromText(text)) {
            entries.push_back(*entry);
            stored.append(text);
        }
    }
    state.modify([&](SlideShowState::Data& d) { listOf(d, which) = std::move(entries); });
    return stored;
}

int ListEditor::count() const {
    return m_state.read([this](const SlideShowState::Data& d) {
        return static_cast<int>(listOf(d, m_which).size());
    });
}

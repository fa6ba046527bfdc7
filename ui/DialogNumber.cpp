#include "ui/DialogNumber.h"

#include <limits>

std::optional<std::uint32_t> readDialogNumber(const QString& fullText) {
    const QString text = fullText.left(31);
    const auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && text[i] == u'+')
        ++i;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    bool anyDigit = false;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        anyDigit = true;
        value = std::min<std::uint64_t>(kMax, value * 10 + (text[i].unicode() - u'0'));
        ++i;
    }
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i != text.size() || !anyDigit)
        return std::nullopt;
    if (value == 0 && !text.startsWith(u'0'))
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

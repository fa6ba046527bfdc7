#include "platform/PrintableText.h"

#include <QMessageLogContext>
#include <mutex>

namespace PrintableText {

namespace {

// FileName's stand-ins for the bytes of a name that are not UTF-8.
constexpr char16_t kRawByteFirst = 0xDC80;
constexpr char16_t kRawByteLast = 0xDCFF;

bool needsEscape(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

void appendEscape(QString& out, char16_t c) {
    switch (c) {
    case u'\n':
        out += QLatin1String("\\n");
        return;
    case u'\r':
        out += QLatin1String("\\r");
        return;
    case u'\t':
        out += QLatin1String("\\t");
        return;
    case 0x1b:
        out += QLatin1String("\\e");
        return;
    default:
        break;
    }
    if (c < 0x80)
        out += QStringLiteral("\\x%1").arg(static_cast<uint>(c), 2, 16, QLatin1Char('0'));
    else if (c >= kRawByteFirst && c <= kRawByteLast)
        out += QStringLiteral("\\x%1").arg(static_cast<uint>(c - 0xDC00), 2, 16, QLatin1Char('0'));
    else
        out += QStringLiteral("\\u{%1}").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0'));
}

QtMessageHandler g_next = nullptr;

void escapeAndPassOn(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    g_next(type, context, escaped(message));
}

} // namespace

QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate() || needsEscape(c.unicode())) {
            appendEscape(out, c.unicode());
        } else {
            out += c;
        }
    }
    return out;
}

void escapeLogMessages() {
    static std::once_flag once;
    std::call_once(once, [] { g_next = qInstallMessageHandler(&escapeAndPassOn); });
}

} // namespace PrintableText

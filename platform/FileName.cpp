#include "platform/FileName.h"

#include <type_traits>

namespace {

constexpr char16_t kRawByteBase = 0xDC00;

// Length of the valid UTF-8 sequence at `p` (1 to 4), or 0 when the bytes there are not one.
int validSequence(const unsigned char* p, qsizetype left) {
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    int length = 0;
    char32_t minimum = 0;
    char32_t code = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = c & 0x07;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not valid UTF-8.
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// A stand-in for a byte is a lone low surrogate: the same unit after a high surrogate is the
// second half of a character beyond U+FFFF (U+1F480 to U+1F4FF among them, such as U+1F4F7).
bool isRawByte(const QString& name, qsizetype i) {
    const char16_t unit = name.at(i).unicode();
    return unit >= kRawByteBase + 0x80 && unit <= kRawByteBase + 0xFF &&
           (i == 0 || !name.at(i - 1).isHighSurrogate());
}

} // namespace

namespace FileName {

QString fromNative(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    QString name;
    name.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int length = validSequence(data + i, bytes.size() - i);
        if (length == 0) {
            name.append(QChar(static_cast<char16_t>(kRawByteBase + data[i])));
            ++i;
            continue;
        }
        name.append(QString::fromUtf8(bytes.constData() + i, length));
        i += length;
    }
    return name;
}

QByteArray toNative(const QString& name) {
    if (!hasRawBytes(name))
        return name.toUtf8();
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !isRawByte(name, i))
            continue;
        bytes.append(QStringView(name).mid(start, i - start).toUtf8());
        if (i < name.size())
            bytes.append(static_cast<char>(name.at(i).unicode() - kRawByteBase));
        start = i + 1;
    }
    return bytes;
}

QString withRawBytesAs(const QString& name, QChar replacement) {
    QString shown = name;
    for (qsizetype i = 0; i < name.size(); ++i)
        if (isRawByte(name, i))
            shown[i] = replacement;
    return shown;
}

bool hasRawBytes(const QString& name) {
    for (qsizetype i = 0; i < name.size(); ++i)
        if (isRawByte(name, i))
            return true;
    return false;
}

namespace {
// In a template, so that only the branch of this system's name type is compiled.
template <typename Native> QString fromNativeString(const Native& native) {
    if constexpr (std::is_same_v<Native, std::wstring>)
        return QString::fromStdWString(native);
    else
        return FileName::fromNative(QByteArray::fromStdString(native));
}
} // namespace

std::filesystem::path toPath(const QString& name) {
    if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>)
        return std::filesystem::path(name.toStdWString());
    else
        return std::filesystem::path(toNative(name).toStdString());
}

QString fromPath(const std::filesystem::path& path) {
    return fromNativeString(path.native());
}

} // namespace FileName

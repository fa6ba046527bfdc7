#include "transport/ServerAddress.h"

#include <array>
#include <utility>

namespace {

struct SchemeText {
    ServerAddress::Scheme scheme;
    const char* name;
    int port;
};

constexpr std::array<SchemeText, 5> kSchemes{{
    {ServerAddress::Scheme::Ftp, "ftp", 21},
    {ServerAddress::Scheme::Ftps, "ftps", 21},
    {ServerAddress::Scheme::Sftp, "sftp", 22},
    {ServerAddress::Scheme::Http, "http", 80},
    {ServerAddress::Scheme::Https, "https", 443},
}};

bool isHostNameCharacter(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.') ||
           c == QLatin1Char('_');
}

bool isIpv6Character(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')) ||
           c == QLatin1Char(':') || c == QLatin1Char('.');
}

std::optional<int> parsePort(const QString& text) {
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text)
        if (!c.isDigit() || c.unicode() > 0x7f)
            return std::nullopt;
    const int port = text.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

// "host", "host:port", "[v6]" or "[v6]:port"; a bare IPv6 address (several colons) is a host.
bool parseHostAndPort(const QString& text, ServerAddress& address) {
    QString host;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return false;
            const std::optional<int> port = parsePort(rest.mid(1));
            if (!port)
                return false;
            address.port = *port;
        }
    } else if (text.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        host = text.left(colon);
        const std::optional<int> port = parsePort(text.mid(colon + 1));
        if (!port)
            return false;
        address.port = *port;
    } else {
        host = text;
    }
    if (host.isEmpty())
        return false;

    const bool ipv6 = host.contains(QLatin1Char(':'));
    for (const QChar c : host)
        if (ipv6 ? !isIpv6Character(c) : !isHostNameCharacter(c))
            return false;
    address.host = ipv6 ? "[" + host.toLatin1() + "]" : host.toUtf8();
    return true;
}

const SchemeText& textOf(ServerAddress::Scheme scheme) {
    for (const SchemeText& text : kSchemes)
        if (text.scheme == scheme)
            return text;
    return kSchemes[0];
}

// The length of "<scheme>://" at the start of `text`, with the scheme; 0 when there is none.
std::pair<qsizetype, ServerAddress::Scheme> schemePrefix(const QString& text) {
    for (const SchemeText& scheme : kSchemes) {
        const QString prefix = QLatin1String(scheme.name) + QLatin1String("://");
        if (text.startsWith(prefix, Qt::CaseInsensitive))
            return {prefix.size(), scheme.scheme};
    }
    return {0, ServerAddress::Scheme::Ftp};
}

} // namespace

std::optional<ServerAddress> ServerAddress::parse(const QString& server) {
    ServerAddress address;
    const auto [length, scheme] = schemePrefix(server);
    address.scheme = scheme;
    address.port = defaultPort(scheme);
    if (!parseHostAndPort(server.mid(length), address))
        return std::nullopt;
    return address;
}

std::optional<ServerAddress::Scheme> ServerAddress::schemeOf(const QString& text) {
    const auto [length, scheme] = schemePrefix(text);
    if (length == 0)
        return std::nullopt;
    return scheme;
}

std::optional<std::pair<ServerAddress, QString>> ServerAddress::splitUrl(const QString& url) {
    const auto [length, scheme] = schemePrefix(url);
    if (length == 0)
        return std::nullopt;
    const qsizetype slash = url.indexOf(QLatin1Char('/'), length);
    const QString authority = url.mid(length, slash < 0 ? -1 : slash - length);
    ServerAddress address;
    address.scheme = scheme;
    address.port = defaultPort(scheme);
    if (!parseHostAndPort(authority, address))
        return std::nullopt;
    return std::make_pair(address, slash < 0 ? QString() : url.mid(slash));
}

int ServerAddress::defaultPort(Scheme scheme) {
    return textOf(scheme).port;
}

const char* ServerAddress::schemeName(Scheme scheme) {
    return textOf(scheme).name;
}

bool ServerAddress::isSecure() const {
    return scheme == Scheme::Ftps || scheme == Scheme::Sftp || scheme == Scheme::Https;
}

bool ServerAddress::sameOrigin(const ServerAddress& other) const {
    return scheme == other.scheme && port == other.port &&
           host.compare(other.host, Qt::CaseInsensitive) == 0;
}

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Where the pictures are: what the server field of the settings names (and the scheme, host and
// port of a URL-list entry that carries its own scheme). Text without a scheme is plain FTP,
// the program's original form.
struct ServerAddress {
    enum class Scheme {
        Ftp,   // "host[:port]" (or "ftp://"): plain FTP, active data connections
        Ftps,  // "ftps://": FTP with explicit TLS (AUTH TLS) on both connections
        Sftp,  // "sftp://"
        Http,  // "http://": web folders
        Https, // "https://"
    };

    Scheme scheme = Scheme::Ftp;
    // Bracketed when it is an IPv6 address, as a URL writes it.
    QByteArray host;
    int port = 21;

    // The server field: "host", "host:port", "[v6]", "[v6]:port", optionally after one of the
    // schemes above (any letter case). Anything that could change the meaning of an address
    // built from it (a path, a user part, a blank, a control character, another scheme) is
    // refused.
    static std::optional<ServerAddress> parse(const QString& server);

    // The scheme that `text` starts with ("sftp://..."), if it is one of ours.
    static std::optional<Scheme> schemeOf(const QString& text);
    // The address part of `url` (scheme, host, port) and the rest from the first "/" after
    // the host on (a path, maybe with a query); nothing when the address is not acceptable.
    static std::optional<std::pair<ServerAddress, QString>> splitUrl(const QString& url);

    static int defaultPort(Scheme scheme);
    // "ftp", "ftps", "sftp", "http" or "https".
    static const char* schemeName(Scheme scheme);

    // True when the password travels encrypted (TLS or SSH).
    bool isSecure() const;
    bool isWeb() const { return scheme == Scheme::Http || scheme == Scheme::Https; }
    // The same server: the same scheme, host (letter case does not count) and port (a port
    // left out is the scheme's own).
    bool sameOrigin(const ServerAddress& other) const;
};

#pragma once

#include <QByteArray>
#include <QString>

// What ~/.ssh/known_hosts says beyond what libcurl and libssh2 read from it: they ignore the
// "@revoked" marker, and so would accept a key that the user has revoked wherever another
// line trusts it.
namespace KnownHosts {

// .ssh/known_hosts in $HOME, else in the user's home (profile) folder.
QString path();

// True when a "@revoked" line of the file at `path` holds `key` (the key's raw bytes, as the
// SSH server sent it). Such a key is refused for every host, whatever the line's host
// pattern. A file that cannot be read revokes nothing.
bool isRevoked(const QString& path, const QByteArray& key);

} // namespace KnownHosts

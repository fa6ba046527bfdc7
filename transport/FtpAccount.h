#pragma once

#include <QString>

// What a connection to the picture server needs, copied from the settings at the moment of use.
struct FtpAccount {
    // "host" or "host:port" for plain FTP; "ftps://", "sftp://", "http://" or "https://"
    // before them for the other protocols (ServerAddress).
    QString server;
    QString login; // empty logs in anonymously (web: no login)
    QString password;
    QString folder; // as typed; empty means the login folder (web: the host's root)
};

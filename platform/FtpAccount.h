#pragma once

#include <QString>

// What a connection to the FTP server needs, copied from the settings at the moment of use.
struct FtpAccount {
    QString server; // host name, or host:port for another port than 21
    QString login;  // empty logs in anonymously
    QString password;
    QString folder; // as typed; empty means the login folder
};

#pragma once

// The account type lives with the FTP adapter, which needs it too; FTP features include it
// from here.
#include "platform/FtpAccount.h"

#pragma once

#include "platform/AppPaths.h"

#include <memory>

class ImageLibrary;
class FtpClient;
class Profile;

// The platform's implementations of every adapter, chosen here and nowhere else.
struct PlatformServices {
    AppPaths paths;
    std::unique_ptr<Profile> profile;
    std::unique_ptr<ImageLibrary> imageLibrary; // for the worker's picture conversions
    std::shared_ptr<FtpClient> ftp;             // shared by the downloads and the folder listings

    PlatformServices();
    PlatformServices(PlatformServices&&) noexcept;
    ~PlatformServices();

    // For the running program, whose file is at `programPath`.
    static PlatformServices create(const QString& programPath);
};

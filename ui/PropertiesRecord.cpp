#include "ui/PropertiesRecord.h"

PropertiesRecord PropertiesRecord::fromSettings(const WallpaperSettings& s) {
    PropertiesRecord r;
    r.AutoRun = s.AutoRun;
    r.StartPath = s.StartPath;
    r.IncludeSubflders = s.IncludeSubflders;
    r.Minute = s.Minute;
    r.Hour = s.Hour;
    r.Seconds = s.Seconds;
    r.Layout = s.Layout;
    r.RunSlideShowCtrl = s.RunSlideShowCtrl;
    r.UseFileList = s.UseFileList;
    r.FtpServer = s.FtpServer;
    r.FtpPassword = s.FtpPassword;
    r.FtpLogin = s.FtpLogin;
    r.FtpFolder = s.FtpFolder;
    return r;
}

WallpaperSettings PropertiesRecord::applyTo(WallpaperSettings s) const {
    s.AutoRun = AutoRun;
    s.StartPath = StartPath;
    s.IncludeSubflders = IncludeSubflders;
    s.Minute = Minute;
    s.Hour = Hour;
    s.Seconds = Seconds;
    s.Layout = Layout;
    s.RunSlideShowCtrl = RunSlideShowCtrl;
    s.UseFileList = UseFileList;
    s.FtpServer = FtpServer;
    s.FtpPassword = FtpPassword;
    s.FtpLogin = FtpLogin;
    s.FtpFolder = FtpFolder;
    return s;
}

#pragma once

// What the desktop's tray host tells about clicks on the icon.
namespace TrayHost {
// True when the host reports a click only as a single activation, never as a double-click
// (a StatusNotifierItem host).
bool reportsOnlySingleActivation();
} // namespace TrayHost

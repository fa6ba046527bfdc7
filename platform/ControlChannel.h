#pragma once

#include <memory>

class ControlConnection;
class ControlServer;

// The system's control channel, chosen here and nowhere else: the session bus on Linux, a
// named pipe that only the user can open on Windows.
namespace ControlChannel {

// The running copy's end; not yet published.
std::unique_ptr<ControlServer> server();
// The command line's end.
std::unique_ptr<ControlConnection> connection();

} // namespace ControlChannel

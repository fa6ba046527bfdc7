#include "tests/support/SftpTestServer.h"

#include <QFile>

namespace {

// Arguments: folder user password.
constexpr const char* kScript = R"PY(
import logging, os, socket, sys, threading
import paramiko
from paramiko import SFTPAttributes, SFTPHandle, SFTPServer, SFTPServerInterface, ServerInterface
folder, user, password = sys.argv[1:4]
logging.basicConfig(level=logging.CRITICAL)
root = os.path.join(folder, 'root')
home = '/home/' + user
os.makedirs(os.path.join(root, home.lstrip('/')), exist_ok=True)
log = open(os.path.join(folder, 'log'), 'a', buffering=1, encoding='utf-8')
host_key = paramiko.ECDSAKey.generate()
with open(os.path.join(folder, 'hostkey.pub'), 'w') as out:
    out.write(host_key.get_name() + ' ' + host_key.get_base64() + '\n')

def canonical(path):
    return os.path.normpath(path if path.startswith('/') else home + '/' + path)

def local(path):
    return os.path.join(root, canonical(path).lstrip('/'))

class Handle(SFTPHandle):
    def stat(self):
        return SFTPAttributes.from_stat(os.fstat(self.readfile.fileno()))

class Files(SFTPServerInterface):
    def canonicalize(self, path):
        return canonical(path)

    def list_folder(self, path):
        try:
            names = sorted(os.listdir(local(path)), reverse=True)
            found = []
            for name in names:
                attributes = SFTPAttributes.from_stat(os.stat(os.path.join(local(path), name)))
                attributes.filename = name
                found.append(attributes)
            return found
        except OSError as error:
            return SFTPServer.convert_errno(error.errno)

    def stat(self, path):
        try:
            return SFTPAttributes.from_stat(os.stat(local(path)))
        except OSError as error:
            return SFTPServer.convert_errno(error.errno)

    lstat = stat

    def open(self, path, flags, attr):
        log.write('OPEN ' + canonical(path) + '\n')
        try:
            handle = Handle(flags)
            handle.readfile = open(local(path), 'rb')
            return handle
        except OSError as error:
            return SFTPServer.convert_errno(error.errno)

class Server(ServerInterface):
    def get_allowed_auths(self, username):
        return 'password'

    def check_auth_password(self, username, given):
        ok = username == user and given == password
        log.write('LOGIN %s %s\n' % (username, 'ok' if ok else 'refused'))
        return paramiko.AUTH_SUCCESSFUL if ok else paramiko.AUTH_FAILED

    def check_channel_request(self, kind, chanid):
        if kind == 'session':
            return paramiko.OPEN_SUCCEEDED
        return paramiko.OPEN_FAILED_ADMINISTRATIVELY_PROHIBITED

def serve(connection):
    transport = paramiko.Transport(connection)
    transport.add_server_key(host_key)
    transport.set_subsystem_handler('sftp', SFTPServer, Files)
    try:
        transport.start_server(server=Server())
        transport.join()
    except Exception:
        pass
    finally:
        transport.close()

listener = socket.socket()
listener.bind(('127.0.0.1', 0))
listener.listen(16)
print(listener.getsockname()[1], flush=True)
while True:
    connection, _ = listener.accept()
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
)PY";

} // namespace

SftpTestServer::SftpTestServer() : m_script(kScript, {user(), password()}) {}

QString SftpTestServer::server() const {
    return QStringLiteral("sftp://127.0.0.1:%1").arg(port());
}

bool SftpTestServer::writeFile(const QString& path, const QByteArray& content) const {
    return m_script.writeFile(QStringLiteral("root/") + path, content);
}

QString SftpTestServer::knownHostsLine() const {
    QFile file(m_script.filePath(QStringLiteral("hostkey.pub")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QStringLiteral("[127.0.0.1]:%1 ").arg(port()) +
           QString::fromLatin1(file.readAll().trimmed());
}

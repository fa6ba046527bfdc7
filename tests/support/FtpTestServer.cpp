#include "tests/support/FtpTestServer.h"

#include "tests/support/Waiting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The server program. Arguments: root user password log refuse-passive order silent
// refuse-active certificate key (empty: no TLS) directory-reply (empty: the real folder).
constexpr const char* kServerScript = R"PY(
import logging, socket, sys
(root, user, password, log_path, refuse_passive, order, silent, refuse_active, certificate, key,
 directory_reply) = sys.argv[1:12]
logging.basicConfig(level=logging.CRITICAL)

if silent == '1':
    listener = socket.socket()
    listener.bind(('127.0.0.1', 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    held = []
    while True:
        connection, _ = listener.accept()
        held.append(connection)

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
if certificate:
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler as FTPHandler

    # A client may start the data connection's TLS handshake before it sends the transfer
    # command; the stock handler closes such a connection unread.
    class DataHandler(TLS_DTPHandler):
        def readable(self):
            return self._ssl_accepting or super().readable()
from pyftpdlib.servers import FTPServer

log = open(log_path, 'a', buffering=1, encoding='utf-8', errors='backslashreplace')

class Filesystem(AbstractedFS):
    def listdir(self, path):
        return sorted(super().listdir(path), reverse=(order == 'reversed'))

class Handler(FTPHandler):
    abstracted_fs = Filesystem

    def on_connect(self):
        log.write('CONNECT\n')

    def on_disconnect(self):
        log.write('DISCONNECT\n')

    def pre_process_command(self, line, cmd, arg):
        shown = '****' if cmd == 'PASS' else (arg or '')
        log.write((cmd + ' ' + shown).rstrip() + '\n')
        super().pre_process_command(line, cmd, arg)

    # NLST of the stock handler sorts; this one keeps the order asked for.
    def ftp_NLST(self, path):
        try:
            listing = self.run_as_current_user(self.fs.listdir, path)
        except Exception as err:
            self.respond('550 %s.' % err)
            return None
        data = ''.join(name + '\r\n' for name in listing)
        self.push_dtp_data(data.encode('utf8', self.unicode_errors), cmd='NLST')
        return path

    if refuse_active == '1':
        def ftp_PORT(self, line):
            self.respond('502 Active mode is refused here.')

        def ftp_EPRT(self, line):
            self.respond('502 Active mode is refused here.')

    if directory_reply:
        def ftp_PWD(self, line):
            self.respond('257 "%s" is the current directory.' % directory_reply)

    if refuse_passive == '1':
        def ftp_PASV(self, line):
            self.respond('502 Passive mode is refused here.')

        def ftp_EPSV(self, line):
            self.respond('502 Passive mode is refused here.')

if certificate:
    Handler.dtp_handler = DataHandler
    Handler.certfile = certificate
    Handler.keyfile = key
    Handler.tls_control_required = True
    Handler.tls_data_required = True

authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm='elradfmwMT')
Handler.authorizer = authorizer
server = FTPServer(('127.0.0.1', 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
)PY";

} // namespace

FtpTestServer::FtpTestServer() : FtpTestServer(Options{}) {}

FtpTestServer::FtpTestServer(const Options& options) : m_options(options) {
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("root")))
        return;
    QFile script(m_dir.filePath(QStringLiteral("server.py")));
    if (!script.open(QIODevice::WriteOnly) || script.write(kServerScript) < 0)
        return;
    script.close();

    m_port = m_server.start(
        script.fileName(),
        {root(), m_options.user, m_options.password, m_dir.filePath(QStringLiteral("commands.log")),
         m_options.refusePassive ? QStringLiteral("1") : QStringLiteral("0"),
         m_options.order == ListingOrder::Reversed ? QStringLiteral("reversed")
                                                   : QStringLiteral("sorted"),
         m_options.silent ? QStringLiteral("1") : QStringLiteral("0"),
         m_options.refuseActive ? QStringLiteral("1") : QStringLiteral("0"),
         m_options.certificateFile, m_options.keyFile, m_options.directoryReply});
}

FtpTestServer::~FtpTestServer() {
    stop();
}

void FtpTestServer::stop() {
    m_server.stop();
}

QString FtpTestServer::server() const {
    return host() + QLatin1Char(':') + QString::number(m_port);
}

QString FtpTestServer::root() const {
    return m_dir.filePath(QStringLiteral("root"));
}

bool FtpTestServer::writeFile(const QString& relativePath, const QByteArray& content) const {
    const QString path = root() + QLatin1Char('/') + relativePath;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

bool FtpTestServer::makeDir(const QString& relativePath) const {
    return QDir(root()).mkpath(relativePath);
}

QStringList FtpTestServer::logLines() const {
    QFile log(m_dir.filePath(QStringLiteral("commands.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    while (!log.atEnd()) {
        const QByteArray line = log.readLine();
        // A line still being written has no end yet; it is read on the next look.
        if (line.endsWith('\n'))
            lines.append(QString::fromUtf8(line.chopped(1)));
    }
    return lines;
}

QStringList FtpTestServer::commands() const {
    QStringList result = logLines();
    result.removeIf([](const QString& line) {
        return line == QLatin1String("CONNECT") || line == QLatin1String("DISCONNECT");
    });
    return result;
}

int FtpTestServer::openConnections() const {
    int open = 0;
    for (const QString& line : logLines()) {
        if (line == QLatin1String("CONNECT"))
            ++open;
        else if (line == QLatin1String("DISCONNECT"))
            --open;
    }
    return open;
}

void FtpTestServer::clearLog() const {
    // A session that is still closing would log its end into the new log and leave the count
    // of open connections below zero.
    waitUntil([this] { return openConnections() <= 0; });
    // Truncated, not removed: the server keeps appending to the file it has open.
    QFile::resize(m_dir.filePath(QStringLiteral("commands.log")), 0);
}

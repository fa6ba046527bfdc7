#include "tests/support/WebTestServer.h"

namespace {

// Arguments: folder certificate key user password (empty texts for none).
constexpr const char* kScript = R"PY(
import base64, functools, http.server, os, ssl, sys
folder, certificate, key, user, password = (sys.argv[1:6] + [''] * 5)[:5]
root = os.path.join(folder, 'root')
os.makedirs(root, exist_ok=True)
log = open(os.path.join(folder, 'log'), 'a', buffering=1, encoding='utf-8')

class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        login = '-'
        given = self.headers.get('Authorization', '')
        if given.startswith('Basic '):
            login = base64.b64decode(given[6:]).decode('utf-8', 'replace')
        log.write('GET %s %s\n' % (self.path, login))
        if user and login != user + ':' + password:
            self.send_response(401)
            self.send_header('WWW-Authenticate', 'Basic realm="pictures"')
            self.send_header('Content-Length', '0')
            self.end_headers()
            return
        super().do_GET()

server = http.server.ThreadingHTTPServer(
    ('127.0.0.1', 0), functools.partial(Handler, directory=root))
if certificate:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
)PY";

} // namespace

WebTestServer::WebTestServer(const Options& options)
    : m_tls(!options.certificateFile.isEmpty()),
      m_script(kScript,
               {options.certificateFile, options.keyFile, options.user, options.password}) {}

QString WebTestServer::server() const {
    return (m_tls ? QStringLiteral("https://127.0.0.1:") : QStringLiteral("http://127.0.0.1:")) +
           QString::number(port());
}

bool WebTestServer::writeFile(const QString& path, const QByteArray& content) const {
    return m_script.writeFile(QStringLiteral("root/") + path, content);
}

#pragma once

#include <QByteArray>
#include <QStringList>

// Reading a web server's folder index page, which is never trusted.
namespace HtmlIndex {

// The targets of the page's links (<a href>), in page order, as written there (surrounding
// blanks removed). Links holding control characters, empty ones and fragments alone ("#top")
// are left out; at most `maxLinks` are returned. Parsed by libxml2's forgiving HTML parser,
// without any network access, past zero bytes and nesting of any depth.
QStringList links(const QByteArray& html, int maxLinks);

} // namespace HtmlIndex

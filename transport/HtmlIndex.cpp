#include "transport/HtmlIndex.h"

#include "transport/FtpReplies.h"

#include <cstring>
#include <libxml/HTMLparser.h>
#include <memory>
#include <mutex>

namespace HtmlIndex {

namespace {

struct ContextDeleter {
    void operator()(htmlParserCtxt* context) const { htmlFreeParserCtxt(context); }
};

struct Collector {
    htmlParserCtxt* context = nullptr;
    int maxLinks = 0;
    QStringList links;
};

// Each start tag as the parser meets it: no tree is built, so no depth of nesting, however
// hostile, meets the tree's bound (256 levels) or costs memory.
void onStartElement(void* data, const xmlChar* name, const xmlChar** attributes) {
    auto* collector = static_cast<Collector*>(data);
    if (!attributes || xmlStrcasecmp(name, reinterpret_cast<const xmlChar*>("a")) != 0)
        return;
    for (int i = 0; attributes[i]; i += 2) {
        if (!attributes[i + 1] ||
            xmlStrcasecmp(attributes[i], reinterpret_cast<const xmlChar*>("href")) != 0)
            continue;
        const QString link =
            QString::fromUtf8(reinterpret_cast<const char*>(attributes[i + 1])).trimmed();
        if (!link.isEmpty() && !link.startsWith(QLatin1Char('#')) &&
            !FtpReplies::hasControlCharacters(link))
            collector->links.append(link);
        if (collector->links.size() >= collector->maxLinks)
            xmlStopParser(collector->context);
        return;
    }
}

// The parser takes a zero byte for the end of the page; a browser reads on past it. A page in
// UTF-16 or UTF-32 (a byte order mark) holds zero bytes as parts of its characters.
QByteArray withoutZeroBytes(const QByteArray& html) {
    if (html.startsWith("\xff\xfe") || html.startsWith("\xfe\xff") ||
        html.startsWith(QByteArray("\0\0\xfe\xff", 4)))
        return html;
    QByteArray copy = html;
    copy.replace('\0', ' ');
    return copy;
}

} // namespace

QStringList links(const QByteArray& html, int maxLinks) {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    if (html.isEmpty() || maxLinks <= 0)
        return {};
    const QByteArray page = withoutZeroBytes(html);
    const std::unique_ptr<htmlParserCtxt, ContextDeleter> context(
        htmlCreateMemoryParserCtxt(page.constData(), static_cast<int>(page.size())));
    if (!context)
        return {};
    Collector collector{context.get(), maxLinks, {}};
    // Only the start tags are wanted: every other event, the errors included, goes nowhere.
    std::memset(context->sax, 0, sizeof(*context->sax));
    context->sax->startElement = &onStartElement;
    context->userData = &collector;
    htmlCtxtUseOptions(context.get(), HTML_PARSE_RECOVER | HTML_PARSE_NOERROR |
                                          HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    htmlParseDocument(context.get());
    return collector.links;
}

} // namespace HtmlIndex

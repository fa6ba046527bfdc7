#include "transport/HtmlIndex.h"

#include "transport/FtpReplies.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>
#include <memory>
#include <mutex>

namespace HtmlIndex {

namespace {

struct DocumentDeleter {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct XmlTextDeleter {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

// Walks the tree in document order without recursion: a hostile page may nest deeply.
void collect(xmlNode* root, int maxLinks, QStringList& out) {
    xmlNode* node = root;
    while (node && out.size() < maxLinks) {
        if (node->type == XML_ELEMENT_NODE &&
            xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar*>("a")) == 0) {
            const std::unique_ptr<xmlChar, XmlTextDeleter> href(
                xmlGetProp(node, reinterpret_cast<const xmlChar*>("href")));
            if (href) {
                const QString link =
                    QString::fromUtf8(reinterpret_cast<const char*>(href.get())).trimmed();
                if (!link.isEmpty() && !link.startsWith(QLatin1Char('#')) &&
                    !FtpReplies::hasControlCharacters(link))
                    out.append(link);
            }
        }
        if (node->children && node->type == XML_ELEMENT_NODE) {
            node = node->children;
            continue;
        }
        while (node && !node->next && node != root)
            node = node->parent;
        if (!node || node == root)
            break;
        node = node->next;
    }
}

} // namespace

QStringList links(const QByteArray& html, int maxLinks) {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    QStringList out;
    if (html.isEmpty())
        return out;
    const std::unique_ptr<xmlDoc, DocumentDeleter> document(htmlReadMemory(
        html.constData(), static_cast<int>(html.size()), nullptr, nullptr,
        HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
    if (!document)
        return out;
    collect(xmlDocGetRootElement(document.get()), maxLinks, out);
    return out;
}

} // namespace HtmlIndex

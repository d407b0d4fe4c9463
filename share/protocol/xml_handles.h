// libxml2's handles, each owned where it is acquired and freed by libxml2's own function, and
// the one way both ends read a feed document.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <string_view>

namespace tonalyx {

struct TXmlDocFree {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct TXmlParserFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
struct TXmlTextFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using TXmlDoc = std::unique_ptr<xmlDoc, TXmlDocFree>;
using TXmlParser = std::unique_ptr<xmlParserCtxt, TXmlParserFree>;
using TXmlText = std::unique_ptr<xmlChar, TXmlTextFree>;

// Parses feed (at most INT_MAX bytes) with context: never on the network, without entity
// substitution or a loaded DTD, and without printing libxml2's errors (the caller asks
// context for the last one). Null when nothing could be parsed; a document that is not
// well-formed may still come back, with context->wellFormed cleared.
TXmlDoc ReadFeedDocument(xmlParserCtxt& context, std::string_view feed);

} // namespace tonalyx

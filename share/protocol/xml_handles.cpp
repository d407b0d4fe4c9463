#include "xml_handles.h"

namespace tonalyx {

TXmlDoc ReadFeedDocument(xmlParserCtxt& context, std::string_view feed) {
    // Without XML_PARSE_NOENT (which turns entity substitution on) and XML_PARSE_DTDLOAD;
    // NONET keeps the parser off the network whatever the document names.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    return TXmlDoc(xmlCtxtReadMemory(&context, feed.data(), static_cast<int>(feed.size()),
                                     "feed.xml", nullptr, options));
}

} // namespace tonalyx

#include "feed.h"

#include "xml_handles.h"

namespace tonalyx {

namespace {

std::string ParseProblem(std::string_view feed) {
    const TXmlParser context(xmlNewParserCtxt());
    if (!context)
        return "the XML parser could not be created";
    const TXmlDoc document = ReadFeedDocument(*context, feed);
    if (document && context->wellFormed)
        return {};
    const xmlError* error = xmlCtxtGetLastError(context.get());
    std::string reason = "not well-formed XML";
    if (error && error->message) {
        std::string message = error->message;
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        reason += " (line " + std::to_string(error->line) + ": " + message + ")";
    }
    return reason;
}

} // namespace

std::vector<std::string> FeedProblems(std::string_view feed) {
    std::vector<std::string> problems;
    if (feed.size() > FeedMaxBytes)
        problems.push_back(std::to_string(feed.size()) + " bytes long, the program reads only " +
                           std::to_string(FeedMaxBytes));
    // libxml2 takes the length as an int; a feed that large has failed the size test anyway.
    if (feed.size() > (1u << 30))
        return problems;
    if (std::string problem = ParseProblem(feed); !problem.empty())
        problems.push_back(std::move(problem));
    return problems;
}

} // namespace tonalyx

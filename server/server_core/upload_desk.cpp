#include "upload_desk.h"

#include "picture_name.h"
#include "png_check.h"

namespace tonalyx {

TUploadReply TUploadDesk::Take(const std::string& clientAddress,
                               TRateLimiter::TClock::time_point now,
                               std::optional<std::string_view> name,
                               std::optional<std::string_view> png) {
    if (!FRate.Allow(clientAddress, now))
        return {false, "refused: too many uploads from this address in the last minute"};
    if (!name || !png)
        return {false, "refused: the form lacks the \"file\" or the \"fname\" part"};
    if (!IsWellFormedPictureName(*name))
        return {false, "refused: not a well-formed picture name"};
    if (png->size() > FMaxBytes)
        return {false, "refused: " + std::to_string(png->size()) + " bytes, over the limit of " +
                           std::to_string(FMaxBytes)};
    if (const std::string problem = PngProblem(*png); !problem.empty())
        return {false, "refused: " + problem};
    const TStoreOutcome outcome = FStore.Store(*name, *png);
    switch (outcome.Kind) {
    case TStored::Stored:
        return {true,
                "stored " + FPublicUrl + std::string(PictureFolder) + "/" + std::string(*name)};
    case TStored::Exists:
        return {false, "refused: a picture of that name exists"};
    case TStored::OverQuota:
        return {false, "refused: the quota for stored pictures is used up"};
    case TStored::Failed:
        break;
    }
    return {false, "failed: " + outcome.Reason};
}

} // namespace tonalyx

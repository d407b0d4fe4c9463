// The decoders' own target: a picture decoded in place into a TRaster of its size.
#pragma once

#include "decoder.h"
#include "prefault.h"

#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

namespace tonalyx {

class TWholeRaster final : public TRowTarget {
  public:
    // rowsReady, when set, hears of every band written (see TRowsReady); the decode ends
    // at its next band once cancel is stopped; admit, when set, may refuse the picture
    // before it is allocated.
    explicit TWholeRaster(TRowsReady rowsReady = {}, std::stop_token cancel = {},
                          TAdmission admit = {})
        : FRowsReady(std::move(rowsReady)), FCancel(std::move(cancel)), FAdmit(std::move(admit)) {}

    // Allocates the picture once admitted, its pages made ready ahead of the decoder (see
    // TPrefault).
    void DecoderHolds(std::int64_t bytes) override { FDecoderBytes = bytes; }
    bool Start(int width, int height) override;
    // The picture then keeps the coverage and the alpha beside its rows (TRaster::Allocate),
    // which the admission is told of as bytes the decode holds.
    bool StartCovered(int width, int height) override {
        FCovered = true;
        return Start(width, height);
    }
    TRowBand Rows(int firstRow, int count) override;
    void Written(int firstRow, int count) override;
    bool Cancelled() const override { return FCancel.stop_requested(); }

    // The picture once the decoder is done with it, with what the decoder said of it; or
    // the admission's refusal, or the decoder's failure.
    TDecodeResult Finish(TOutcome<TDecodeNotes> decoded);

  private:
    TRowsReady FRowsReady;
    std::stop_token FCancel;
    TAdmission FAdmit;
    std::int64_t FDecoderBytes = 0;
    bool FCovered = false;
    std::optional<TFailure> FRefusal;
    TRaster FImage;
    std::unique_ptr<TPrefault> FPrefault; // after FImage: joined before the buffer goes
};

} // namespace tonalyx

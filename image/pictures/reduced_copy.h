// The reduced copy of a large picture that the image view shows in its place.
#pragma once

#include "joined_thread.h"
#include "raster.h"

#include <QImage>
#include <QSize>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace tonalyx {

// image reduced smoothly to a long side of previewSide, or image itself when it is no
// larger (or previewSide is not positive). Runs on any thread.
QImage ReducedCopy(const QImage& image, int previewSide);
// The size ReducedCopy gives a picture of the given size.
QSize ReducedCopySize(QSize image, int previewSide);

// The reduced copy of a picture made from its rows while a decoder produces them, on a
// low-priority thread of its own, so that it is ready about when the decoding ends. Each
// pixel of the copy is the mean of the block of the picture it covers (a box filter: at
// reductions of two and more it looks as smooth as ReducedCopy's). The copy is 32-bit
// (QImage::Format_RGB32), the format the view scales fastest; of a picture with alpha,
// QImage::Format_ARGB32, its colours weighted by alpha. Add runs on the decoder's
// thread, the rest on the thread that made the object.
class TRowReducer {
  public:
    explicit TRowReducer(int previewSide);
    ~TRowReducer(); // stops the thread without waiting for the rest of the rows
    TRowReducer(const TRowReducer&) = delete;
    TRowReducer& operator=(const TRowReducer&) = delete;

    // Rows [firstRow, firstRow + count) of image are final (see TRowsReady).
    void Add(const TRaster& image, int firstRow, int count);
    // Once every row of the picture was added: its reduced copy, whose rows the thread has
    // not come to are made here meanwhile. Null when the picture needs none (it is no larger
    // than the side), or when its rows did not all come in order. Throws std::bad_alloc when
    // either thread had no room for its sums.
    QImage Finish();

    // The same reduction of a whole picture on the calling thread; a null image when it needs
    // none.
    static QImage Reduce(const TRasterView& image, int previewSide);

  private:
    // The arithmetic of one reduction: the blocks' bounds and the copy being made. Each row
    // of the copy is made from its own rows of the picture alone, so that two threads can
    // make different rows at the same time, each with sums of its own.
    class TBoxes {
      public:
        TBoxes(int width, int height, QSize size, bool alpha);
        // Makes rows [from, to) of the copy from image, whose rows they cover must be final.
        void MakeRows(const TRasterView& image, int from, int to, std::vector<std::uint32_t>& sums);
        // The first picture row that row `row` of the copy does not cover.
        int RowEnd(int row) const;
        int Rows() const { return FResult.height(); }
        QImage& Result() { return FResult; }

      private:
        int FHeight;
        QImage FResult;
        std::vector<int> FColumnStart; // result column i covers [start[i], start[i + 1])
        std::size_t FSumCount;         // the sums a row needs
    };

    void Run();
    // Under FMutex: the next rows of the copy the thread may make, from the top, up to
    // MadeAtOnce and none that Finish has taken or whose picture rows have not come.
    int ThreadRowsEnd() const;

    // Rows of the copy made at a time: what Finish may wait for the thread to end.
    static constexpr int MadeAtOnce = 16;

    const int FSide;
    std::mutex FMutex;
    std::condition_variable FWake; // the thread: rows have come, or stop
    TRasterView FView;
    int FReady = 0;       // picture rows added
    int FTop = 0;         // rows of the copy the thread made or is making, from the top
    int FBottom = 0;      // where the rows Finish has made or is making begin
    bool FBroken = false; // rows out of order, or a picture too small to reduce
    bool FStop = false;
    std::unique_ptr<TBoxes> FBoxes; // made with the first rows
    TJoinedThread FThread;          // started with the first rows; last, so joined first
};

} // namespace tonalyx

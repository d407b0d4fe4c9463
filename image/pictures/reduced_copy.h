// The reduced copy of a large picture that the image view shows in its place.
#pragma once

#include "raster.h"

#include <QImage>
#include <QSize>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
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
// (QImage::Format_RGB32), the format the view scales fastest. Add runs on the decoder's
// thread, the rest on the thread that made the object.
class TRowReducer {
  public:
    explicit TRowReducer(int previewSide);
    ~TRowReducer(); // stops the thread without waiting for the rest of the rows
    TRowReducer(const TRowReducer&) = delete;
    TRowReducer& operator=(const TRowReducer&) = delete;

    // Rows [firstRow, firstRow + count) of image are final (see TRowsReady).
    void Add(const TRaster& image, int firstRow, int count);
    // Once every row of the picture was added: its reduced copy. Null when the picture
    // needs none (it is no larger than the side), or when its rows did not all come in order.
    QImage Finish();

    // The same reduction of a whole picture on the calling thread; a null image when it needs
    // none.
    static QImage Reduce(const TRasterView& image, int previewSide);

  private:
    // The arithmetic of one reduction: the blocks' bounds and the sums of the rows so far.
    class TBoxes {
      public:
        TBoxes(int width, int height, QSize size);
        // Adds rows [from, to) of image, which follow the rows added before.
        void AddRows(const TRasterView& image, int from, int to);
        QImage& Result() { return FResult; }

      private:
        void EmitRow();

        int FWidth, FHeight;
        QImage FResult;
        std::vector<int> FColumnStart;    // result column i covers [start[i], start[i + 1])
        std::vector<std::uint32_t> FSums; // a result row's block so far, per picture column
        int FRow = 0;                     // the result row being summed
        int FRowEnd = 0;                  // the picture row its block ends before
        int FRowsSummed = 0;              // picture rows in FSums
    };

    void Run();

    // Rows the thread reduces at a time: what Finish may wait for.
    static constexpr int ChunkRows = 32;

    const int FSide;
    std::mutex FMutex;
    std::condition_variable FWake;     // the thread: rows have come, or stop
    std::condition_variable FFinished; // Finish: the thread has put its rows down
    TRasterView FView;
    int FReady = 0;       // rows added
    int FDone = 0;        // rows reduced
    bool FBroken = false; // rows out of order, or a picture too small to reduce
    bool FStop = false;
    bool FBusy = false;             // the thread is reducing rows
    std::unique_ptr<TBoxes> FBoxes; // made with the first rows
    std::thread FThread;            // started with the first rows
};

} // namespace tonalyx

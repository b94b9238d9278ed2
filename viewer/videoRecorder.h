#pragma once

#include <QString>

#include <chrono>
#include <memory>

#include <opencv2/core/mat.hpp>

namespace cv {
class VideoWriter;
}

// One AVI recording: codec "MP42", 30 frames per second, colour frames of one fixed size. Frames
// are written on a 30 fps clock that starts when the file opens, whatever rate they come at: a
// frame is repeated when the next one is late and dropped when it is early, so that a recording
// plays back as long as it was recorded.
class videoRecorder {
  public:
    videoRecorder();
    ~videoRecorder();

    // Opens `fileName` for frames of `width` x `height`. False when the writer cannot be opened
    // (codec missing, path not writable).
    bool open(const QString& fileName, int width, int height);
    bool isOpen() const;
    // The writer, for the progress line; null when none is open.
    const void* handle() const;
    // Whether `frame` has the size the file was opened for.
    bool accepts(const cv::Mat& frame) const;
    // Writes one 8-bit blue-green-red frame, which may be a view into a wider picture, as the
    // picture of now; other sizes are skipped.
    void write(const cv::Mat& frame);
    // The same for a frame that arrived `sinceOpen` after the file opened: it fills the clock's
    // slots from the last one written up to the slot nearest that moment.
    void writeAt(const cv::Mat& frame, std::chrono::microseconds sinceOpen);
    // Frames in the file so far.
    long framesWritten() const { return framesWritten_; }
    // Completes the file. False when none was open.
    bool close();

  private:
    std::unique_ptr<cv::VideoWriter> writer_;
    cv::Mat contiguous_;
    cv::Size size_;
    std::chrono::steady_clock::time_point opened_;
    long framesWritten_ = 0;
};

#pragma once

#include <QString>

#include <memory>

#include <opencv2/core/mat.hpp>

namespace cv {
class VideoWriter;
}

// One AVI recording: codec "MP42", 30 frames per second, colour frames of one fixed size.
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
    // Writes one 8-bit blue-green-red frame, which may be a view into a wider picture; other
    // sizes are skipped.
    void write(const cv::Mat& frame);
    // Completes the file. False when none was open.
    bool close();

  private:
    std::unique_ptr<cv::VideoWriter> writer_;
    cv::Mat contiguous_;
    cv::Size size_;
};

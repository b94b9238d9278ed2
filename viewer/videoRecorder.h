#pragma once

#include <QString>

#include <memory>

#include <opencv2/core/mat.hpp>

namespace cv {
class VideoWriter;
}

// One AVI recording: codec "MP42", 30 frames per second, colour frames of a fixed size. Frames
// wider than that size by twice the crop are cut to their middle columns before writing.
class videoRecorder {
  public:
    videoRecorder();
    ~videoRecorder();

    // Opens `fileName` for frames of `width` x `height` after cutting `crop` columns on each side.
    // False when the writer cannot be opened (codec missing, path not writable).
    bool open(const QString& fileName, int width, int height, int crop);
    bool isOpen() const;
    // The writer, for the progress line; null when none is open.
    const void* handle() const;
    // Whether `frame` has the size the file was opened for (before the crop).
    bool accepts(const cv::Mat& frame) const;
    // Writes one 8-bit blue-green-red frame of the full width; other sizes are skipped.
    void write(const cv::Mat& frame);
    // Completes the file. False when none was open.
    bool close();

  private:
    std::unique_ptr<cv::VideoWriter> writer_;
    cv::Mat cropped_;
    int crop_ = 0;
    cv::Size size_;
};

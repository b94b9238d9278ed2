#include "videoRecorder.h"

#include <QFile>

#include <opencv2/videoio.hpp>

namespace {

constexpr double kFramesPerSecond = 30.0;

}  // namespace

videoRecorder::videoRecorder() = default;

videoRecorder::~videoRecorder() {
    close();
}

bool videoRecorder::open(const QString& fileName, int width, int height) {
    close();
    size_ = cv::Size(width, height);
    auto writer = std::make_unique<cv::VideoWriter>();
    const bool opened =
        writer->open(QFile::encodeName(fileName).toStdString(),
                     cv::VideoWriter::fourcc('M', 'P', '4', '2'), kFramesPerSecond, size_, true);
    if (opened && writer->isOpened()) {
        writer_ = std::move(writer);
    }
    return writer_ != nullptr;
}

bool videoRecorder::isOpen() const {
    return writer_ != nullptr;
}

const void* videoRecorder::handle() const {
    return writer_.get();
}

bool videoRecorder::accepts(const cv::Mat& frame) const {
    return frame.size() == size_;
}

// The writer takes whole rows: a view into a wider picture is copied into one block first.
void videoRecorder::write(const cv::Mat& frame) {
    if (writer_ == nullptr || !accepts(frame)) {
        return;
    }
    if (frame.isContinuous()) {
        writer_->write(frame);
        return;
    }
    frame.copyTo(contiguous_);
    writer_->write(contiguous_);
}

bool videoRecorder::close() {
    if (writer_ == nullptr) {
        return false;
    }
    writer_->release();
    writer_.reset();
    return true;
}

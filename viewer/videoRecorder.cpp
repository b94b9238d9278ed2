#include "videoRecorder.h"

#include <QFile>

#include <opencv2/videoio.hpp>

namespace {

constexpr int kFramesPerSecond = 30;
constexpr long long kMicrosecondsPerSecond = 1000000;

// The number of clock slots up to and including the one nearest `sinceOpen`.
long slotsDueAt(std::chrono::microseconds sinceOpen) {
    const long long scaled = sinceOpen.count() * kFramesPerSecond + kMicrosecondsPerSecond / 2;
    return static_cast<long>(scaled / kMicrosecondsPerSecond) + 1;
}

}  // namespace

videoRecorder::videoRecorder() = default;

videoRecorder::~videoRecorder() {
    close();
}

bool videoRecorder::open(const QString& fileName, int width, int height) {
    close();
    size_ = cv::Size(width, height);
    framesWritten_ = 0;
    auto writer = std::make_unique<cv::VideoWriter>();
    const bool opened = writer->open(QFile::encodeName(fileName).toStdString(),
                                     cv::VideoWriter::fourcc('M', 'P', '4', '2'),
                                     static_cast<double>(kFramesPerSecond), size_, true);
    if (opened && writer->isOpened()) {
        writer_ = std::move(writer);
        opened_ = std::chrono::steady_clock::now();
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

void videoRecorder::write(const cv::Mat& frame) {
    writeAt(frame, std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::steady_clock::now() - opened_));
}

// The writer takes whole rows: a view into a wider picture is copied into one block first.
void videoRecorder::writeAt(const cv::Mat& frame, std::chrono::microseconds sinceOpen) {
    if (writer_ == nullptr || !accepts(frame)) {
        return;
    }
    const long due = slotsDueAt(sinceOpen);
    if (framesWritten_ >= due) {
        return;  // this slot has its frame already
    }
    const cv::Mat* whole = &frame;
    if (!frame.isContinuous()) {
        frame.copyTo(contiguous_);
        whole = &contiguous_;
    }
    for (; framesWritten_ < due; ++framesWritten_) {
        writer_->write(*whole);
    }
}

bool videoRecorder::close() {
    if (writer_ == nullptr) {
        return false;
    }
    writer_->release();
    writer_.reset();
    return true;
}

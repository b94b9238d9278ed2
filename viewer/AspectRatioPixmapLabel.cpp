#include "AspectRatioPixmapLabel.h"

#include <QResizeEvent>

AspectRatioPixmapLabel::AspectRatioPixmapLabel(QWidget* parent) : QLabel(parent) {
    // Without an explicit minimum the label would ask for the pixmap's size and keep the window
    // from shrinking.
    setMinimumSize(1, 1);
    setScaledContents(false);
}

void AspectRatioPixmapLabel::setSmooth(bool smooth) {
    smooth_ = smooth;
}

bool AspectRatioPixmapLabel::smooth() const {
    return smooth_;
}

const QPixmap& AspectRatioPixmapLabel::fullSizePixmap() const {
    return fullSize_;
}

int AspectRatioPixmapLabel::heightForWidth(int width) const {
    if (fullSize_.isNull()) {
        return height();
    }
    return static_cast<int>(static_cast<double>(fullSize_.height()) * width / fullSize_.width());
}

QSize AspectRatioPixmapLabel::sizeHint() const {
    const int w = width();
    return QSize(w, heightForWidth(w));
}

void AspectRatioPixmapLabel::setPixmap(const QPixmap& pixmap) {
    fullSize_ = pixmap;
    showScaled();
}

void AspectRatioPixmapLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (!fullSize_.isNull()) {
        showScaled();
    }
}

void AspectRatioPixmapLabel::showScaled() {
    if (fullSize_.isNull()) {
        QLabel::setPixmap(fullSize_);  // clears the picture; scaling a null pixmap only warns
        return;
    }
    const Qt::TransformationMode mode = smooth_ ? Qt::SmoothTransformation : Qt::FastTransformation;
    QLabel::setPixmap(fullSize_.scaled(size(), Qt::KeepAspectRatio, mode));
}

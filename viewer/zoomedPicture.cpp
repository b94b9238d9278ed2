#include "zoomedPicture.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

zoomedPicture::zoomedPicture(QWidget* parent) : QWidget(parent) {}

void zoomedPicture::setPixmap(const QPixmap& pixmap) {
    pixmap_ = pixmap;
    update();
}

void zoomedPicture::setZoom(double zoom) {
    zoom_ = zoom;
    updateGeometry();
    update();
}

void zoomedPicture::setFitToWidget(bool fit) {
    fit_ = fit;
    updateGeometry();
    update();
}

QSize zoomedPicture::scaledSize() const {
    if (pixmap_.isNull()) {
        return QSize();
    }
    return QSize(static_cast<int>(std::lround(pixmap_.width() * zoom_)),
                 static_cast<int>(std::lround(pixmap_.height() * zoom_)));
}

QSize zoomedPicture::sizeHint() const {
    return scaledSize();
}

void zoomedPicture::paintEvent(QPaintEvent* event) {
    if (pixmap_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth_);
    if (fit_) {
        painter.drawPixmap(rect(), pixmap_);
        return;
    }
    // The exposed part of the scaled picture, and the part of the picture it comes from.
    const QRect target = event->rect() & QRect(QPoint(0, 0), scaledSize());
    if (target.isEmpty()) {
        return;
    }
    const QRectF source(target.x() / zoom_, target.y() / zoom_, target.width() / zoom_,
                        target.height() / zoom_);
    painter.drawPixmap(QRectF(target), pixmap_, source);
}

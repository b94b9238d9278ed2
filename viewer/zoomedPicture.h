#pragma once

#include <QPixmap>
#include <QSize>
#include <QWidget>

// A picture shown at a zoom factor inside a scroll area. Only the part of the picture that is
// exposed gets scaled and painted, so that a large zoom of a large picture costs no more per frame
// than the window's own size, and no enlarged copy of the picture is ever made. In fit mode the
// whole picture is stretched over the widget instead.
class zoomedPicture : public QWidget {
    Q_OBJECT

  public:
    explicit zoomedPicture(QWidget* parent = nullptr);

    void setPixmap(const QPixmap& pixmap);
    const QPixmap& pixmap() const { return pixmap_; }
    void setZoom(double zoom);
    double zoom() const { return zoom_; }
    void setFitToWidget(bool fit);
    bool fitsToWidget() const { return fit_; }
    // Smooth scaling looks better on small pictures; large ones are scaled fast.
    void setSmooth(bool smooth) { smooth_ = smooth; }
    bool isSmooth() const { return smooth_; }
    // The picture's size times the zoom, each side rounded to the nearest pixel.
    QSize scaledSize() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap pixmap_;
    double zoom_ = 1.0;
    bool fit_ = false;
    bool smooth_ = false;
};

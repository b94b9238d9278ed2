#pragma once

#include <QLabel>
#include <QPixmap>

class QResizeEvent;

// The live picture: shows a pixmap scaled to the label's size with its aspect ratio kept. The
// full-size pixmap stays here and every resize scales from it, so shrinking and growing the
// window again never degrades the picture.
class AspectRatioPixmapLabel : public QLabel {
    Q_OBJECT

  public:
    explicit AspectRatioPixmapLabel(QWidget* parent = nullptr);

    // Bilinear filtering when scaling (worth it for small camera pictures); off by default.
    void setSmooth(bool smooth);
    bool smooth() const;

    // The pixmap as handed to setPixmap(), before scaling.
    const QPixmap& fullSizePixmap() const;

    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

  public slots:
    // Keeps `pixmap` and shows it scaled to the current size (hides QLabel::setPixmap).
    void setPixmap(const QPixmap& pixmap);
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showScaled();

    QPixmap fullSize_;
    bool smooth_ = false;
};

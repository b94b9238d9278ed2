#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <vector>

class QPainter;

// Draws the viewer's icons: simple geometric shapes on a 128-unit design grid, with one stroke
// weight and one palette, so that the set looks alike at every size it is rendered at.
class IconPainter {
  public:
    // The file names of every icon, as the viewer finds them under ":/icons/".
    static QStringList fileNames();
    // The named icon at its native size on a transparent background; a null image for an
    // unknown name.
    static QImage render(const QString& fileName);

  private:
    struct Entry;
    static const std::vector<Entry>& entries();
    static const Entry* find(const QString& fileName);

    IconPainter(QPainter& painter, QColor ink);

    void snapshot();
    void record();
    void stopRecord();
    void play();
    void folder();
    void about();
    void close();
    void trash();
    void nextFile();
    void previousFile();
    void rewind();
    void slowMotion();
    void zoomPlus();
    void zoomMinus();
    void zoomReset();
    void companyMark();
    void productLogo();

    // A shape with a white body and an ink outline.
    void outline(const QPainterPath& shape);
    // A shape filled with ink, its corners rounded by the outline pen.
    void solid(const QPainterPath& shape);
    void line(QPointF from, QPointF to);
    void dot(QPointF centre, qreal radius, const QColor& colour);
    void skipTriangleAndBar();
    void magnifier();
    void fillText(const QString& text, const QRectF& box, const QColor& colour);

    QPainter& painter_;
    QColor ink_;
};

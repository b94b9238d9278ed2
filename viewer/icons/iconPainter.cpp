#include "iconPainter.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QSize>
#include <QTransform>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Every square icon is drawn on this grid and scaled to its pixel size; on it the outline pen is
// 8 units, 4 pixels at 64, which keeps the shapes readable down to that size.
constexpr qreal kGrid = 128;
constexpr qreal kStroke = 8;
// Glyphs inside a badge (the "i", the cross) are a little heavier, to hold their own against
// the badge's outline.
constexpr qreal kGlyphStroke = 12;

constexpr QRgb kInk = 0xff263238;
constexpr QRgb kPaper = 0xffffffff;
constexpr QRgb kAccent = 0xff1e88e5;
constexpr QRgb kAccentLight = 0xffbbdefb;
constexpr QRgb kAlert = 0xffe53935;
constexpr QRgb kAlertDark = 0xffb71c1c;
constexpr QRgb kWhite = 0xffffffff;

const QPointF kCentre(kGrid / 2, kGrid / 2);

// A triangle with a vertical base at baseX, pointing left or right to tip.
QPainterPath triangle(QPointF tip, qreal baseX, qreal halfHeight) {
    QPainterPath path;
    path.addPolygon(QPolygonF(
        {QPointF(baseX, tip.y() - halfHeight), tip, QPointF(baseX, tip.y() + halfHeight)}));
    path.closeSubpath();
    return path;
}

QPainterPath circle(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath roundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QPainterPath polyline(const QVector<QPointF>& points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    return path;
}

// An Archimedean spiral from innerRadius out to outerRadius over the given number of turns,
// clockwise on screen, ending at endDegrees (clockwise from 3 o'clock).
QPainterPath spiral(QPointF centre, qreal innerRadius, qreal outerRadius, qreal turns,
                    qreal endDegrees) {
    constexpr int kSteps = 96;
    QVector<QPointF> points;
    for (int step = 0; step <= kSteps; ++step) {
        const qreal t = static_cast<qreal>(step) / kSteps;
        const qreal angle = qDegreesToRadians(endDegrees) - (1 - t) * turns * 2 * M_PI;
        const qreal radius = innerRadius + t * (outerRadius - innerRadius);
        points.append(centre + radius * QPointF(std::cos(angle), std::sin(angle)));
    }
    return polyline(points);
}

}  // namespace

struct IconPainter::Entry {
    const char* fileName;
    QSize pixels;
    QSizeF grid;
    void (IconPainter::*draw)();
    QRgb ink;
};

const std::vector<IconPainter::Entry>& IconPainter::entries() {
    const auto square = [](const char* name, void (IconPainter::*draw)(), int side = 128,
                           QRgb ink = kInk) {
        return Entry{name, QSize(side, side), QSizeF(kGrid, kGrid), draw, ink};
    };
    static const std::vector<Entry> table = {
        square("Ovasto_ZEL.png", &IconPainter::companyMark, 256),
        {"Probator_white_400.png", QSize(400, 240), QSizeF(200, 120), &IconPainter::productLogo,
         kWhite},
        square("volo_snapshot_icon.png", &IconPainter::snapshot),
        square("volo_record_icon.png", &IconPainter::record),
        square("volo_stop_record_icon.png", &IconPainter::stopRecord),
        square("volo_play_icon.png", &IconPainter::play),
        square("volo_folder_icon.png", &IconPainter::folder),
        square("volo_about_icon.png", &IconPainter::about),
        square("volo_close_icon.png", &IconPainter::close),
        square("volo_delete_icon.png", &IconPainter::trash),
        square("volo_next_file_icon.png", &IconPainter::nextFile),
        square("volo_previous_file_icon.png", &IconPainter::previousFile),
        square("volo_rewind_icon.png", &IconPainter::rewind),
        square("volo_slow_motion_icon.png", &IconPainter::slowMotion),
        square("volo_slow_motion_icon_300.png", &IconPainter::slowMotion, 300),
        square("volo_slow_motion_icon_red_300.png", &IconPainter::slowMotion, 300, kAlert),
        square("volo_zoom_minus_icon.png", &IconPainter::zoomMinus),
        square("volo_zoom_plus_icon.png", &IconPainter::zoomPlus),
        square("volo_zoom_reset_icon.png", &IconPainter::zoomReset),
    };
    return table;
}

const IconPainter::Entry* IconPainter::find(const QString& fileName) {
    const auto found = std::find_if(entries().begin(), entries().end(), [&](const Entry& entry) {
        return fileName == QLatin1String(entry.fileName);
    });
    return found == entries().end() ? nullptr : &*found;
}

QStringList IconPainter::fileNames() {
    QStringList names;
    for (const Entry& entry : entries()) {
        names.append(QLatin1String(entry.fileName));
    }
    return names;
}

QImage IconPainter::render(const QString& fileName) {
    const Entry* entry = find(fileName);
    if (entry == nullptr) {
        return QImage();
    }
    QImage image(entry->pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.scale(entry->pixels.width() / entry->grid.width(),
                  entry->pixels.height() / entry->grid.height());
    IconPainter icon(painter, QColor::fromRgba(entry->ink));
    (icon.*entry->draw)();
    return image;
}

IconPainter::IconPainter(QPainter& painter, QColor ink) : painter_(painter), ink_(ink) {}

void IconPainter::snapshot() {
    const QPainterPath body = roundedRect(QRectF(14, 40, 100, 66), 12);
    const QPainterPath viewfinder = roundedRect(QRectF(42, 26, 44, 24), 6);
    outline(body.united(viewfinder));
    const QPointF lensCentre(64, 73);
    outline(circle(lensCentre, 21));
    dot(lensCentre, 10, QColor::fromRgba(kAccent));
    dot(QPointF(96, 55), 5, ink_);
}

void IconPainter::record() {
    painter_.setPen(QPen(QColor::fromRgba(kAlertDark), kStroke));
    painter_.setBrush(QColor::fromRgba(kAlert));
    painter_.drawEllipse(kCentre, 42, 42);
}

void IconPainter::stopRecord() {
    solid(roundedRect(QRectF(28, 28, 72, 72), 8));
}

void IconPainter::play() {
    solid(triangle(QPointF(104, 64), 44, 38));
}

void IconPainter::folder() {
    outline(polyline({{16, 30}, {50, 30}, {60, 40}, {112, 40}, {112, 100}, {16, 100}, {16, 30}}));
    painter_.setBrush(QColor::fromRgba(kAccentLight));
    painter_.drawPath(polyline({{16, 56}, {112, 56}, {112, 100}, {16, 100}, {16, 56}}));
}

void IconPainter::about() {
    outline(circle(kCentre, 46));
    dot(QPointF(64, 40), 8, ink_);
    painter_.setPen(QPen(ink_, kGlyphStroke, Qt::SolidLine, Qt::RoundCap));
    painter_.drawLine(QPointF(64, 60), QPointF(64, 90));
}

void IconPainter::close() {
    outline(circle(kCentre, 46));
    painter_.setPen(QPen(ink_, kGlyphStroke, Qt::SolidLine, Qt::RoundCap));
    painter_.drawLine(QPointF(48, 48), QPointF(80, 80));
    painter_.drawLine(QPointF(80, 48), QPointF(48, 80));
}

void IconPainter::trash() {
    line(QPointF(20, 32), QPointF(108, 32));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawPath(polyline({{50, 32}, {50, 20}, {78, 20}, {78, 32}}));
    outline(polyline({{30, 44}, {98, 44}, {92, 108}, {36, 108}, {30, 44}}));
    for (const qreal x : {50, 64, 78}) {
        line(QPointF(x, 60), QPointF(x, 92));
    }
}

void IconPainter::nextFile() {
    skipTriangleAndBar();
}

void IconPainter::previousFile() {
    painter_.translate(kGrid, 0);
    painter_.scale(-1, 1);
    skipTriangleAndBar();
}

void IconPainter::rewind() {
    solid(triangle(QPointF(18, 64), 62, 36));
    solid(triangle(QPointF(62, 64), 106, 36));
}

void IconPainter::slowMotion() {
    // A snail: a round shell with a spiral, riding on its foot, head and feelers up front.
    QPainterPath foot;
    foot.moveTo(10, 102);
    foot.lineTo(98, 102);
    foot.cubicTo(110, 102, 116, 96, 116, 86);
    foot.lineTo(116, 72);
    foot.cubicTo(116, 59, 96, 59, 96, 72);
    foot.lineTo(96, 80);
    foot.cubicTo(96, 84, 94, 86, 90, 86);
    foot.lineTo(34, 86);
    foot.closeSubpath();
    outline(foot);
    line(QPointF(101, 63), QPointF(95, 42));
    line(QPointF(111, 63), QPointF(117, 42));
    const QPointF shellCentre(54, 54);
    outline(circle(shellCentre, 30));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawPath(spiral(shellCentre, 6, 30, 1.25, 200));
}

void IconPainter::zoomPlus() {
    magnifier();
    line(QPointF(40, 54), QPointF(68, 54));
    line(QPointF(54, 40), QPointF(54, 68));
}

void IconPainter::zoomMinus() {
    magnifier();
    line(QPointF(40, 54), QPointF(68, 54));
}

void IconPainter::zoomReset() {
    magnifier();
    // A circular arrow turning clockwise from 6 o'clock to 3 o'clock, its head pointing on.
    QPainterPath arc;
    const QRectF arcBox(54 - 15, 54 - 15, 30, 30);
    arc.arcMoveTo(arcBox, 270);
    arc.arcTo(arcBox, 270, -225);
    painter_.setBrush(Qt::NoBrush);
    painter_.drawPath(arc);
    const QPointF end = arc.pointAtPercent(1);
    const qreal heading = qDegreesToRadians(arc.angleAtPercent(1));
    const QPointF forward(std::cos(heading), -std::sin(heading));
    const QPointF across(-forward.y(), forward.x());
    painter_.setPen(QPen(ink_, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter_.setBrush(ink_);
    painter_.drawPolygon(QPolygonF({end + 16 * forward, end + 11 * across, end - 11 * across}));
}

void IconPainter::companyMark() {
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(ink_);
    painter_.drawRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
    fillText(QStringLiteral("ZEL"), QRectF(22, 34, 84, 44), QColor::fromRgba(kWhite));
    painter_.setBrush(QColor::fromRgba(kAccent));
    painter_.drawRoundedRect(QRectF(22, 88, 84, 8), 4, 4);
}

void IconPainter::productLogo() {
    const QPointF markCentre(100, 36);
    painter_.setPen(QPen(ink_, kStroke));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawEllipse(markCentre, 26, 26);
    dot(markCentre, 11, ink_);
    fillText(QStringLiteral("PROBATOR"), QRectF(8, 80, 184, 32), ink_);
}

void IconPainter::outline(const QPainterPath& shape) {
    painter_.setPen(QPen(ink_, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter_.setBrush(QColor::fromRgba(kPaper));
    painter_.drawPath(shape);
}

void IconPainter::solid(const QPainterPath& shape) {
    painter_.setPen(QPen(ink_, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter_.setBrush(ink_);
    painter_.drawPath(shape);
}

void IconPainter::line(QPointF from, QPointF to) {
    painter_.setPen(QPen(ink_, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter_.drawLine(from, to);
}

void IconPainter::dot(QPointF centre, qreal radius, const QColor& colour) {
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(colour);
    painter_.drawEllipse(centre, radius, radius);
}

void IconPainter::skipTriangleAndBar() {
    solid(triangle(QPointF(80, 64), 28, 36));
    solid(roundedRect(QRectF(94, 28, 6, 72), 2));
}

void IconPainter::magnifier() {
    const QPointF lensCentre(54, 54);
    painter_.setPen(QPen(ink_, 16, Qt::SolidLine, Qt::RoundCap));
    painter_.drawLine(QPointF(84, 84), QPointF(106, 106));
    outline(circle(lensCentre, 34));
}

// Text in DejaVu Sans Bold (fonts-dejavu-core), scaled to fill box; the fitting goes by the
// glyphs' outline, so a substitute font still fills the same box.
void IconPainter::fillText(const QString& text, const QRectF& box, const QColor& colour) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(100);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    const qreal scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    QTransform fit;
    fit.translate(box.center().x(), box.center().y());
    fit.scale(scale, scale);
    fit.translate(-bounds.center().x(), -bounds.center().y());
    painter_.fillPath(fit.map(path), colour);
}

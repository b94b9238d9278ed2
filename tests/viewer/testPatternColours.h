#pragma once

#include <QImage>

#include <vector>

// The emulated camera's seven coloured test-pattern bars as the viewer shows them, and how many
// pixels of a picture carry about one of those colours.
namespace testPatternColours {

std::vector<QRgb> barsAsShown();
int pixelsNear(const QImage& image, QRgb colour, int tolerance);
// Whether `image` has at least `share` of its pixels near each of the bars' colours.
bool showsEveryBar(const QImage& image, double share, int tolerance);

}  // namespace testPatternColours

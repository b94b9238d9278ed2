#pragma once

#include <QPixmap>
#include <QString>

#include <memory>

class ImageViewer;
class QAction;
class QTimer;

namespace dravix::emu {
class emulatedCamera;
}

// Shared by the main-window tests: one emulated camera of 208 x 200 pixels at 60 frames per
// second, reached through the library code linked into the test program.
namespace viewerTestSupport {

constexpr int kCameraWidth = 208;
constexpr int kCameraHeight = 200;

// Makes one fresh emulated camera streaming kCameraWidth x kCameraHeight.
void setUpEmulatedCamera();
std::shared_ptr<dravix::emu::emulatedCamera> emulatedCamera();
// A viewer on that camera, bound to the program's own exports, with its format set up and a
// camera picture on display; null (and a failed check) when that does not happen in time.
std::unique_ptr<ImageViewer> startRunningViewer();
QAction* action(const ImageViewer& viewer, const char* name);
QTimer* timer(const ImageViewer& viewer, const char* name);
// Pauses the camera and waits until a frame on its way has been delivered, so that no camera frame
// arrives afterwards.
void pauseCameraAndSettle();
// `text` without the status callback's lines, which the library's threads print at any point.
QString withoutStatusLines(QString text);
// Whether every pixel of `pixmap` is black.
bool isBlack(const QPixmap& pixmap);

}  // namespace viewerTestSupport

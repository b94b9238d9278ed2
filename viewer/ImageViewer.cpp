#include "ImageViewer.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cstdio>
#include <ctime>
#include <utility>

#include <opencv2/imgcodecs.hpp>

#include "AspectRatioPixmapLabel.h"
#include "ReplayViewer.h"
#include "captureNames.h"
#include "frameConverter.h"
#include "viewerPaths.h"

namespace {

const char kWindowIcon[] = ":/icons/Ovasto_ZEL.png";
const char kDestinationKey[] = "kyrViewerDstDirName";
constexpr int kFormatDetectMs = 200;
constexpr int kDisplayMs = 5;
constexpr int kWatchdogMs = 2000;
constexpr int kMediaCheckMs = 1000;
constexpr int kStatusAfterSnapshotMs = 1000;
constexpr int kStatusAfterRecordingMs = 500;
const char kCaptureDirectory[] = "Capture";
constexpr int kRecordIconSide = 128;
// Below this width the picture is scaled smoothly; larger ones are scaled fast.
constexpr int kSmoothScalingBelowWidth = 420;
// A watchdog period with fewer frame callbacks than this means the camera has gone silent.
constexpr int kSignsOfLifePerPeriod = 2;
// The viewer stores its captures on a removable medium: fixed capture directory, media check,
// thumbnails, no Folder action.
constexpr bool kMemoryMediaMode = true;

}  // namespace

ImageViewer::ImageViewer(const std::string& libraryFile, QWidget* parent)
    : QMainWindow(parent),
      receiver_(libraryFile),
      settings_(QStringLiteral("zel gmbh"), QStringLiteral("kyrViewer")) {
    aboutSettings_.eulaPath = viewerPaths::dataDirectory() + QStringLiteral("/eula.txt");
    readDesktopGeometry();
    destinationDirectory_ =
        settings_
            .value(kDestinationKey,
                   QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
            .toString();
    setWindowTitle(QStringLiteral("Dravix Viewer"));
    setWindowIcon(QIcon(kWindowIcon));
    createPictureLabel();
    // The normal geometry is the whole free area of the screen: a window restored from maximised,
    // or on a display whose window manager does not maximise (or without one), still shows the
    // picture instead of shrinking to its toolbars.
    setGeometry(desktop_);
    showMaximized();
    createMenus();
    createLogosToolBar();
    createRecordToolBar();
    menuBar()->hide();
    statusBar()->show();
    createTimers();
    createReplayViewer();
    updateActionStates();
    startCamera();
}

ImageViewer::~ImageViewer() = default;

void ImageViewer::createReplayViewer() {
    replay_ = std::make_unique<ReplayViewer>();
    replay_->setConfiguration(ReplayViewer::config{});
    replay_->setWindowTitle(QStringLiteral("File Viewer"));
    replay_->setWindowIcon(QIcon(kWindowIcon));
    connect(replay_.get(), &ReplayViewer::closeWin, this, &ImageViewer::on_closeReplayWin);
}

bool ImageViewer::isReplayShown() const {
    return replay_->isVisible();
}

void ImageViewer::readDesktopGeometry() {
    QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    desktop_ = screen != nullptr ? screen->availableGeometry() : QRect();
    std::printf("DesktopWidth:%d\nDesktopHeight:%d\n", desktop_.width(), desktop_.height());
}

void ImageViewer::createPictureLabel() {
    pictureLabel_ = new AspectRatioPixmapLabel(this);
    pictureLabel_->setBackgroundRole(QPalette::Window);
    pictureLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    pictureLabel_->setMinimumSize(kMinimumPictureSize);
    setCentralWidget(pictureLabel_);
}

void ImageViewer::createMenus() {
    QAction* aboutAction = new QAction(tr("&About"), this);
    connect(aboutAction, &QAction::triggered, this, &ImageViewer::about);
    menuBar()->addMenu(tr("&Settings"));
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(aboutAction);
}

void ImageViewer::createLogosToolBar() {
    logosToolBar_ = new QToolBar(tr("Logos"), this);
    logosToolBar_->setObjectName(QStringLiteral("logosToolBar"));
    logoAction_ = logosToolBar_->addAction(QIcon(":/icons/Probator_white_400.png"), QString());
    logoAction_->setObjectName(QStringLiteral("logoAction"));
    for (int k = 0; k < kThumbs; ++k) {
        thumbActions_[k] = logosToolBar_->addAction(QString());
        thumbActions_[k]->setObjectName(QStringLiteral("thumbAction%1").arg(k));
    }
    sizeLogosToolBar();
}

// The Logos toolbar sits on the right, one sixth of the desktop's height wide.
void ImageViewer::sizeLogosToolBar() {
    addToolBar(Qt::RightToolBarArea, logosToolBar_);
    logosToolBar_->setOrientation(Qt::Vertical);
    logosToolBar_->setMovable(false);
    logosToolBar_->setVisible(true);
    logoAction_->setIcon(QIcon(":/icons/Probator_white_400.png"));
    const int side = desktop_.height() / 6;
    logosToolBar_->setIconSize(QSize(side, side));
    std::printf("set logoWidth %d\n", side);
}

void ImageViewer::createRecordToolBar() {
    recordToolBar_ = new QToolBar(tr("Record"), this);
    recordToolBar_->setObjectName(QStringLiteral("recordToolBar"));
    snapshotAction_ = addRecordAction(tr("&Snapshot"), tr("Snapshot"), "volo_snapshot_icon",
                                      &ImageViewer::captureImageTriggered);
    recordAction_ = addRecordAction(tr("&Record"), tr("Record"), "volo_record_icon",
                                    &ImageViewer::recordSteamTriggered);
    stopRecordAction_ =
        addRecordAction(tr("&Stop Record"), tr("Stop Record"), "volo_stop_record_icon",
                        &ImageViewer::stopRecordingTriggered);
    recordToolBar_->addSeparator();
    playAction_ = addRecordAction(tr("Play"), tr("Play"), "volo_play_icon",
                                  &ImageViewer::replayFileTriggered);
    folderAction_ = addRecordAction(tr("&Folder"), tr("Folder"), "volo_folder_icon",
                                    &ImageViewer::selectDestDirTriggered);
    addRecordAction(tr("About"), tr("About"), "volo_about_icon", &ImageViewer::infoTriggered);
    snapshotAction_->setEnabled(false);
    recordAction_->setEnabled(false);
    stopRecordAction_->setEnabled(false);
    folderAction_->setVisible(!kMemoryMediaMode);
    addToolBar(Qt::LeftToolBarArea, recordToolBar_);
    recordToolBar_->setOrientation(Qt::Vertical);
    recordToolBar_->setMovable(false);
    recordToolBar_->setVisible(true);
    recordToolBar_->setIconSize(QSize(kRecordIconSide, kRecordIconSide));
}

// `toolTip` doubles as the object name of the action (without spaces), for finding it again.
QAction* ImageViewer::addRecordAction(const QString& text, const QString& toolTip,
                                      const QString& icon, void (ImageViewer::*slot)()) {
    QAction* action =
        recordToolBar_->addAction(QIcon(QStringLiteral(":/icons/%1.png").arg(icon)), text);
    action->setObjectName(QString(toolTip).remove(' ') + QStringLiteral("Action"));
    action->setToolTip(toolTip);
    action->setPriority(QAction::LowPriority);
    action->setCheckable(false);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void ImageViewer::createTimers() {
    displayTimer_ = createTimer(QStringLiteral("displayTimer"), &ImageViewer::on_timer_displayCam);
    statusClearTimer_ =
        createTimer(QStringLiteral("statusClearTimer"), &ImageViewer::clearStatusBar);
    statusClearTimer_->setSingleShot(true);
    watchdogTimer_ =
        createTimer(QStringLiteral("watchdogTimer"), &ImageViewer::onTimer_cameraWatchDog);
    formatTimer_ = createTimer(QStringLiteral("formatTimer"), &ImageViewer::onTimer_formatDetect);
}

QTimer* ImageViewer::createTimer(const QString& name, void (ImageViewer::*slot)()) {
    QTimer* timer = new QTimer(this);
    timer->setObjectName(name);
    connect(timer, &QTimer::timeout, this, slot);
    return timer;
}

// Loads the library and finds the camera; the format timer then opens it. Without the library
// the window closes and no library function is ever called.
void ImageViewer::startCamera() {
    statusBar()->showMessage(tr("Open DLL..."));
    libraryLoaded_ = receiver_.loadDll();
    if (!libraryLoaded_) {
        close();
        return;
    }
    statusBar()->showMessage(tr("initCam..."));
    receiver_.initCam();
    formatTimer_->start(kFormatDetectMs);
    mediaPresent_ = false;
    thumbCount_ = 0;
    mediaTimer_ = createTimer(QStringLiteral("mediaTimer"), &ImageViewer::on_memoryStickChecker);
    mediaTimer_->start(kMediaCheckMs);
}

int ImageViewer::cropForWidth(int width) {
    switch (width) {
        case 202:
            return 1;
        case 204:
            return 2;
        case 206:
            return 3;
        case 208:
            return 4;
        default:
            return 0;
    }
}

cv::Mat ImageViewer::visiblePart(const cv::Mat& image) {
    const int crop = cropForWidth(image.cols);
    return image(cv::Rect(crop, 0, image.cols - 2 * crop, image.rows));
}

void ImageViewer::onTimer_formatDetect() {
    if (!receiver_.isCameraOpened()) {
        if (receiver_.openCam()) {
            std::printf("startAquisition...\n");
            receiver_.startAcquisition();
        }
        return;
    }
    statusBar()->showMessage(tr("Waiting for image"));
    if (receiver_.getWidth() == 0) {
        receiver_.startAcquisition();
        return;
    }
    formatTimer_->stop();
    std::printf("first frame received\n");
    frameWidth_ = receiver_.getWidth();
    frameHeight_ = receiver_.getHeight();
    setUpFormat();
    if (!isReplayShown()) {
        showMaximized();
    }
}

void ImageViewer::setUpFormat() {
    statusBar()->showMessage(tr("Camera format: %1 x %2").arg(frameWidth_).arg(frameHeight_));
    displayImage_ = cv::Mat::zeros(frameHeight_, frameWidth_, CV_8UC3);
    showFrame(displayImage_);
    cameraRunning_ = true;
    statusBar()->showMessage(QString());
    sizeLogosToolBar();
    // A camera that starts during replay stays behind the replay window; closing replay brings the
    // main window back and starts the display.
    const bool replayShown = isReplayShown();
    if (!replayShown) {
        show();
        raise();
    }
    receiver_.allocFrameBuffers();
    replay_->setCameraFormat(frameWidth_, frameHeight_);
    updateActionStates();
    lastShownIndex_ = receiver_.getFrameIndex();
    if (!replayShown) {
        displayTimer_->start(kDisplayMs);
    }
    receiver_.resetFrameCount();
    watchdogTimer_->start(kWatchdogMs);
}

void ImageViewer::on_timer_displayCam() {
    const int index = receiver_.getFrameIndex();
    if (index == lastShownIndex_ || frameWidth_ <= 0) {
        return;
    }
    const cv::Mat* frame = receiver_.claimFrame(index);
    if (frame == nullptr) {
        return;  // that slot is being written: the next tick takes a newer frame
    }
    if (index > lastShownIndex_ + 1) {
        std::printf("Missed frames: %d\n", index - lastShownIndex_ - 1);
    }
    // The ring follows a format that changed after a restart; the display follows the ring.
    frameConverter::convert(*frame, displayImage_);
    receiver_.releaseFrame();
    showFrame(displayImage_);
    lastShownIndex_ = index;
    ++shownFrameCount_;
}

void ImageViewer::showFrame(const cv::Mat& image) {
    if (image.empty() || image.type() != CV_8UC3) {
        frameWidth_ = 0;
        frameHeight_ = 0;
        framePixmap_ = QPixmap();
        return;
    }
    frameWidth_ = image.cols;
    frameHeight_ = image.rows;
    const cv::Mat visible = visiblePart(image);
    if (recording_) {
        recordFrame(visible);
    }
    // The picture is blue-green-red already: Qt reads it as such, without a swapped copy. The
    // pixmap is a copy, so the image may go away afterwards.
    const QImage frameImage(visible.data, visible.cols, visible.rows,
                            static_cast<int>(visible.step), QImage::Format_BGR888);
    framePixmap_ = QPixmap::fromImage(frameImage);
    // Cleared first: the error box runs an event loop, in which another frame may be shown.
    if (std::exchange(captureRequest_, false)) {
        takeSnapshot(visible);
    }
    if (framePixmap_.isNull()) {
        return;
    }
    pictureLabel_->setSmooth(frameWidth_ < kSmoothScalingBelowWidth);
    pictureLabel_->setPixmap(framePixmap_);
}

void ImageViewer::showBlackFrame() {
    showFrame(cv::Mat::zeros(frameHeight_, frameWidth_, CV_8UC3));
}

void ImageViewer::onTimer_cameraWatchDog() {
    if (receiver_.getFrameCount() < kSignsOfLifePerPeriod) {
        showBlackFrame();
        std::printf("restart camera... \n");
        receiver_.restartCam();
        // The restart blocked for a whole period, so the timer is already due again: without a
        // fresh period the restarted camera would be judged on the frames of a few microseconds
        // and restarted again, for ever.
        watchdogTimer_->start(kWatchdogMs);
    }
    receiver_.resetFrameCount();
}

void ImageViewer::on_memoryStickChecker() {
    const bool before = mediaPresent_;
    mediaPresent_ = viewerPaths::mediaPresent();
    if (mediaPresent_ != before) {
        thumbCount_ = 0;
        refreshThumbs();
    }
    updateActionStates();
}

void ImageViewer::updateActionStates() {
    const bool canCapture = cameraRunning_ && !recording_ && mediaPresent_;
    snapshotAction_->setEnabled(canCapture);
    recordAction_->setEnabled(canCapture);
    stopRecordAction_->setEnabled(recording_);
    playAction_->setEnabled(!recording_ && mediaPresent_);
}

void ImageViewer::refreshThumbs() {
    for (int k = 0; k < kThumbs; ++k) {
        thumbActions_[k]->setIcon(k < thumbCount_ ? thumbIcons_[k] : emptyIcon_);
    }
}

void ImageViewer::pushThumb() {
    if (thumbCount_ > 0) {
        for (int k = kThumbs - 1; k > 0; --k) {
            thumbIcons_[k] = thumbIcons_[k - 1];
        }
    }
    thumbIcons_[0] = QIcon(framePixmap_);
    thumbCount_ = std::min(thumbCount_ + 1, kThumbs);
    refreshThumbs();
}

void ImageViewer::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        stopRecordingTriggered();
        formatTimer_->stop();
        watchdogTimer_->stop();
        displayTimer_->stop();
        replay_->close();
        receiver_.closeCam();
    }
    event->accept();
}

QMenu* ImageViewer::createPopupMenu() {
    return nullptr;
}

// Replay also closes while this window shuts down: nothing is to be shown or restarted then.
void ImageViewer::on_closeReplayWin() {
    replay_->hide();
    if (closed_) {
        return;
    }
    updateActionStates();
    setEnabled(true);
    show();
    raise();
    resumeLiveDisplay();
}

void ImageViewer::resumeLiveDisplay() {
    lastShownIndex_ = receiver_.getFrameIndex();
    displayTimer_->start(kDisplayMs);
}

void ImageViewer::logoTriggered() {
    logosToolBar_->setVisible(!logosToolBar_->isVisible());
}

void ImageViewer::clearStatusBar() {
    statusBar()->showMessage(QString());
}

void ImageViewer::about() {
    aboutBox::showShortAbout(this);
}

void ImageViewer::infoTriggered() {
    aboutBox(aboutSettings_, this, textWindow_).exec();
}

// The live picture is always fitted to the window: the zoom slots and showToolbar() have no effect.
void ImageViewer::showToolbar() {}
void ImageViewer::zoom_x4() {}
void ImageViewer::zoom_x3() {}
void ImageViewer::zoom_x2() {}
void ImageViewer::zoom_x1() {}
void ImageViewer::zoom_x0_5() {}
void ImageViewer::zoom_x0_25() {}
void ImageViewer::zoom_x0_125() {}
void ImageViewer::zoomChange(int) {}

// The live display pauses while the user picks a file and while replay is shown. Only an existing
// file can be chosen: a typed name of none would leave replay with nothing to browse.
void ImageViewer::replayFileTriggered() {
    displayTimer_->stop();
    if (!ensureDestination()) {
        mediaMissingBox();
        resumeLiveDisplay();
        updateActionStates();
        return;
    }
    QFileDialog dialog(this, tr("Replay Video & Images"), destinationDirectory_,
                       tr("Image&Video files (*.png *.tif *.jpg *.avi)"));
    dialog.setObjectName(QStringLiteral("replayFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setLabelText(QFileDialog::Accept, tr("OK"));
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (chosen) {
        showReplay(dialog.directory().absolutePath(), dialog.selectedFiles().first());
    } else {
        resumeLiveDisplay();
    }
    updateActionStates();
}

void ImageViewer::showReplay(const QString& directory, const QString& file) {
    replay_->setDirectory(directory);
    replay_->setSnapshotPrefix(snapshotPrefix_);
    replay_->show();
    replay_->raise();
    setEnabled(false);
    replay_->setGeometry(desktop_);
    replay_->showMaximized();
    replay_->openFile(file);
}

void ImageViewer::captureImageTriggered() {
    if (cameraRunning_ && !recording_) {
        captureRequest_ = true;
        statusBar()->showMessage(tr("Capture Frame ..."));
    }
}

// A snapshot that cannot be written is reported in the status bar and leaves no thumbnail, so
// that a lost picture never looks taken.
void ImageViewer::takeSnapshot(const cv::Mat& visible) {
    if (!ensureDestination()) {
        mediaMissingBox();
        return;
    }
    const QString name = captureNames::freeName(destinationDirectory_, snapshotPrefix_,
                                                QStringLiteral(".jpg"), std::time(nullptr));
    const QByteArray fileName = QFile::encodeName(name);
    std::printf("Writing to image file: \"%s\"\n\n", fileName.constData());
    bool written = false;
    try {
        written = cv::imwrite(fileName.toStdString(), visible);
    } catch (const cv::Exception&) {
        written = false;
    }
    if (!written) {
        std::printf("cannot write image file: \"%s\"\n", fileName.constData());
        statusBar()->showMessage(tr("Cannot write %1").arg(name));
        return;
    }
    statusBar()->showMessage(tr("Writing %1").arg(name));
    statusClearTimer_->start(kStatusAfterSnapshotMs);
    if (kMemoryMediaMode) {
        pushThumb();
    }
}

void ImageViewer::recordSteamTriggered() {
    if (!cameraRunning_ || captureRequest_ || frameWidth_ == 0) {
        return;
    }
    const int crop = cropForWidth(frameWidth_);
    if (!ensureDestination()) {
        mediaMissingBox();
        return;
    }
    const QString name = captureNames::freeName(destinationDirectory_, videoPrefix_,
                                                QStringLiteral(".avi"), std::time(nullptr));
    std::printf("Open video file: \"%s\"\n\n", QFile::encodeName(name).constData());
    if (!recorder_.open(name, frameWidth_ - 2 * crop, frameHeight_)) {
        std::printf("cannot open video writer! %p\n", static_cast<const void*>(nullptr));
        return;
    }
    if (kMemoryMediaMode) {
        pushThumb();
    }
    recording_ = true;
    statusClearTimer_->stop();  // "Recording" stays until the recording ends
    statusBar()->showMessage(tr("Recording"));
    std::printf("open video writer! %p\n", recorder_.handle());
    std::printf("Width: %d Height: %d\n", frameWidth_, frameHeight_);
    updateActionStates();
}

// A video file keeps one frame size: when the camera comes back in another format after a
// restart, the recording ends with a complete file instead of silently dropping every frame.
void ImageViewer::recordFrame(const cv::Mat& visible) {
    if (!recorder_.accepts(visible)) {
        std::printf("frame size changed: %d x %d\n", frameWidth_, frameHeight_);
        stopRecording();
        return;
    }
    recorder_.write(visible);
}

void ImageViewer::stopRecordingTriggered() {
    stopRecording();
}

void ImageViewer::stopRecording() {
    if (!recording_) {
        return;
    }
    recording_ = false;
    if (recorder_.close()) {
        std::printf("Video file closed\n");
        statusBar()->showMessage(tr("Closing File..."));
        statusClearTimer_->start(kStatusAfterRecordingMs);
    }
    updateActionStates();
}

void ImageViewer::selectDestDirTriggered() {
    const QString start = settings_.value(kDestinationKey, QDir::currentPath()).toString();
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Select Destination Directory"), start, QFileDialog::Options());
    if (!chosen.isEmpty()) {
        settings_.setValue(kDestinationKey, chosen);
        destinationDirectory_ = chosen;
    }
}

// A medium that is present but cannot be written counts as missing: the capture would be lost.
bool ImageViewer::ensureDestination() {
    const QString root = viewerPaths::mediaRoot();
    if (root.isEmpty()) {
        return false;
    }
    destinationDirectory_ = root + "/" + kCaptureDirectory;
    if (!QFileInfo(destinationDirectory_).isDir()) {
        if (!QDir(root).mkdir(kCaptureDirectory) || !QFileInfo(destinationDirectory_).isDir()) {
            return false;
        }
    }
    return QFileInfo(destinationDirectory_).isWritable();
}

void ImageViewer::mediaMissingBox() {
    QMessageBox box(QMessageBox::Warning, tr("Error"), tr("Memory media not available"),
                    QMessageBox::Ok, this);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

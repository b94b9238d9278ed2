#include "ReplayViewer.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cstdio>
#include <ctime>
#include <utility>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include "aboutBox.h"
#include "captureNames.h"
#include "zoomedPicture.h"

namespace {

const char kSnapshotDirectoryKey[] = "kyrViewerDstDirName";
const char kVideoSuffix[] = "avi";
constexpr int kToolIconSide = 64;
constexpr int kStatusAfterSnapshotMs = 1000;
constexpr int kStatusAfterErrorMs = 5000;
// Below this width the picture is scaled smoothly; larger ones are scaled fast.
constexpr int kSmoothScalingBelowWidth = 420;
constexpr int kFullSizeIndex = 3;
// How far playback may fall behind its clock and still catch up, in frame periods.
constexpr double kLargestCatchUpPeriods = 10.0;
constexpr int kLargestZoomIndex = ReplayViewer::kZoomLevels - 1;

// The zoom that shows a picture of `width` columns whole on a usual screen.
int autoZoomIndexForWidth(int width) {
    if (width > 3200) {
        return 0;
    }
    if (width > 1600) {
        return 1;
    }
    if (width > 800) {
        return 2;
    }
    return kFullSizeIndex;
}

QString nameFilterOf(const QString& suffix) {
    return QStringLiteral("*.") + suffix;
}

}  // namespace

ReplayViewer::ReplayViewer(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(tr("File Viewer"));
    const QSettings settings(QStringLiteral("zel gmbh"), QStringLiteral("kyrViewer"));
    snapshotDirectory_ =
        settings
            .value(kSnapshotDirectoryKey,
                   QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
            .toString();
    fileDirectory_.setNameFilters({nameFilterOf("png"), nameFilterOf("tif"), nameFilterOf("jpg"),
                                   nameFilterOf(kVideoSuffix)});
    fileDirectory_.setFilter(QDir::Files | QDir::NoDotAndDotDot);
    fileDirectory_.setSorting(QDir::Name);
    createPicture();
    createActions();
    createToolBars();
    createMenus();
    createZoomControls();
    createTimers();
    menuBar()->hide();
    statusBar()->show();
}

ReplayViewer::~ReplayViewer() = default;

void ReplayViewer::createPicture() {
    picture_ = new zoomedPicture;
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->setBackgroundRole(QPalette::Window);
    picture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    scrollArea_ = new QScrollArea(this);
    scrollArea_->setBackgroundRole(QPalette::Dark);
    scrollArea_->setWidget(picture_);
    scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea_->setAlignment(Qt::AlignCenter);
    setCentralWidget(scrollArea_);
}

void ReplayViewer::createActions() {
    nextAction_ = createToolAction(tr("&Next File"), tr("Next File"), "volo_next_file_icon",
                                   &ReplayViewer::nextFileTriggered);
    previousAction_ =
        createToolAction(tr("&Previous File"), tr("Previous File"), "volo_previous_file_icon",
                         &ReplayViewer::previousFileTriggered);
    deleteAction_ = createToolAction(tr("&Delete File"), tr("Delete File"), "volo_delete_icon",
                                     &ReplayViewer::deleteFileTriggered);
    slowMotionAction_ = createToolAction(tr("&Slow Motion Mode"), tr("Slow Motion Mode"),
                                         "volo_slow_motion_icon", &ReplayViewer::clockTriggered);
    slowMotionAction_->setCheckable(true);
    snapshotAction_ = createToolAction(tr("&Snapshot"), tr("Snapshot"), "volo_snapshot_icon",
                                       &ReplayViewer::captureImageTriggered);
    closeAction_ = createToolAction(tr("&Close"), tr("Close"), "volo_close_icon",
                                    &ReplayViewer::closeFromMenuTriggered);
    rewindAction_ = createToolAction(tr("&Rewind"), tr("Rewind"), "volo_rewind_icon",
                                     &ReplayViewer::rewindTriggered);
    zoomResetAction_ = createToolAction(tr("Zoom1:1"), tr("Zoom 1:1"), "volo_zoom_reset_icon",
                                        &ReplayViewer::zoom_x1);
    zoomInToolAction_ = createToolAction(tr("Zoom in"), tr("Zoom in"), "volo_zoom_plus_icon",
                                         &ReplayViewer::zoomInLimited);
    zoomOutToolAction_ = createToolAction(tr("Zoom out"), tr("Zoom out"), "volo_zoom_minus_icon",
                                          &ReplayViewer::zoomOutLimited);
    snapshotAction_->setEnabled(false);
    rewindAction_->setEnabled(false);
}

// `toolTip` doubles as the object name of the action (without spaces), for finding it again.
QAction* ReplayViewer::createToolAction(const QString& text, const QString& toolTip,
                                        const char* icon, void (ReplayViewer::*slot)()) {
    auto* action = new QAction(QIcon(QStringLiteral(":/icons/%1.png").arg(icon)), text, this);
    action->setObjectName(QString(toolTip).remove(' ').remove(':') + QStringLiteral("Action"));
    action->setToolTip(toolTip);
    action->setPriority(QAction::LowPriority);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void ReplayViewer::createToolBars() {
    leftToolBar_ = createToolBar(Qt::LeftToolBarArea,
                                 {rewindAction_, slowMotionAction_, snapshotAction_, nullptr,
                                  deleteAction_, nullptr, previousAction_, nextAction_, nullptr});
    leftToolBar_->setObjectName(QStringLiteral("leftToolBar"));
    leftToolBar_->toggleViewAction()->setVisible(false);
    rightToolBar_ = createToolBar(Qt::RightToolBarArea, {closeAction_, nullptr, zoomInToolAction_,
                                                         zoomOutToolAction_, zoomResetAction_});
    rightToolBar_->setObjectName(QStringLiteral("rightToolBar"));
}

// A null action in `actions` stands for a separator.
QToolBar* ReplayViewer::createToolBar(Qt::ToolBarArea area, const QList<QAction*>& actions) {
    auto* toolBar = new QToolBar(tr("Tools"), this);
    toolBar->setOrientation(Qt::Vertical);
    toolBar->setIconSize(QSize(kToolIconSide, kToolIconSide));
    for (QAction* action : actions) {
        if (action == nullptr) {
            toolBar->addSeparator();
        } else {
            toolBar->addAction(action);
        }
    }
    addToolBar(area, toolBar);
    return toolBar;
}

void ReplayViewer::createMenus() {
    QAction* exitAction = createMenuAction(tr("E&xit"), QKeySequence(Qt::CTRL + Qt::Key_Q),
                                           &ReplayViewer::closeFromMenuTriggered);
    toolbarAction_ = createMenuAction(tr("&Toolbar"), QKeySequence(), &ReplayViewer::showToolbar);
    toolbarAction_->setCheckable(true);
    toolbarAction_->setChecked(true);
    using zoomSlot = void (ReplayViewer::*)();
    const std::array<zoomSlot, kZoomLevels> zoomSlots{
        &ReplayViewer::zoom_x0_125, &ReplayViewer::zoom_x0_25, &ReplayViewer::zoom_x0_5,
        &ReplayViewer::zoom_x1,     &ReplayViewer::zoom_x2,    &ReplayViewer::zoom_x3,
        &ReplayViewer::zoom_x4};
    const std::array<QString, kZoomLevels> texts{
        "Zoom x0.125", "Zoom x0.25", "Zoom x0.5", "Zoom x1", "Zoom x2", "Zoom x3", "Zoom x4"};
    for (int k = 0; k < kZoomLevels; ++k) {
        const QKeySequence shortcut =
            k >= kFullSizeIndex ? QKeySequence(Qt::CTRL + Qt::Key_1 + (k - kFullSizeIndex))
                                : QKeySequence();
        zoomActions_[k] = createMenuAction(texts[k], shortcut, zoomSlots[k]);
        zoomActions_[k]->setCheckable(true);
        zoomActions_[k]->setObjectName(QString(texts[k]).remove(' ') + QStringLiteral("Action"));
    }
    zoomActions_[kFullSizeIndex]->setChecked(true);
    zoomInAction_ = createMenuAction(tr("Zoom &In"), QKeySequence(Qt::CTRL + Qt::Key_Plus),
                                     &ReplayViewer::zoomIn);
    zoomOutAction_ = createMenuAction(tr("Zoom &Out"), QKeySequence(Qt::CTRL + Qt::Key_Minus),
                                      &ReplayViewer::zoomOut);
    fitAction_ = createMenuAction(tr("&Fit to Window"), QKeySequence(Qt::CTRL + Qt::Key_F),
                                  &ReplayViewer::fitToWindow);
    fitAction_->setCheckable(true);
    fitAction_->setObjectName(QStringLiteral("FitToWindowAction"));
    QAction* aboutAction = createMenuAction(tr("&About"), QKeySequence(), &ReplayViewer::about);

    menuBar()->addMenu(tr("&File"))->addAction(exitAction);
    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(zoomInAction_);
    view->addAction(zoomOutAction_);
    view->addSeparator();
    for (int k = kLargestZoomIndex; k >= 0; --k) {
        view->addAction(zoomActions_[k]);
    }
    view->addAction(fitAction_);
    menuBar()->addMenu(tr("&Help"))->addAction(aboutAction);
}

// Menu actions belong to the window, so that their shortcuts work with the menu bar hidden.
QAction* ReplayViewer::createMenuAction(const QString& text, const QKeySequence& shortcut,
                                        void (ReplayViewer::*slot)()) {
    auto* action = new QAction(text, this);
    action->setShortcut(shortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

// The combo box and the slider follow the zoom; the window does not place them.
void ReplayViewer::createZoomControls() {
    zoomComboBox_ = new QComboBox(this);
    zoomComboBox_->setObjectName(QStringLiteral("zoomComboBox"));
    zoomComboBox_->addItems({"12.5%", "25%", "50%", "100%", "200%", "300%", "400%"});
    zoomComboBox_->setCurrentIndex(kFullSizeIndex);
    zoomComboBox_->hide();
    connect(zoomComboBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ReplayViewer::zoomChange);
    zoomSlider_ = new QSlider(Qt::Horizontal, this);
    zoomSlider_->setObjectName(QStringLiteral("zoomSlider"));
    zoomSlider_->setRange(0, kLargestZoomIndex);
    zoomSlider_->setSingleStep(1);
    zoomSlider_->setPageStep(1);
    zoomSlider_->setToolTip(tr("Display zoom"));
    zoomSlider_->setMaximumWidth(100);
    zoomSlider_->setTickPosition(QSlider::TicksBelow);
    zoomSlider_->setTickInterval(1);
    zoomSlider_->setValue(kFullSizeIndex);
    zoomSlider_->hide();
    connect(zoomSlider_, &QSlider::valueChanged, this, &ReplayViewer::zoomChange);
}

void ReplayViewer::createTimers() {
    replayTimer_ = new QTimer(this);
    replayTimer_->setObjectName(QStringLiteral("replayTimer"));
    // A coarse timer may run several per cent off; the playback clock corrects what is left.
    replayTimer_->setTimerType(Qt::PreciseTimer);
    replayTimer_->setSingleShot(true);
    connect(replayTimer_, &QTimer::timeout, this, &ReplayViewer::on_timer_replay);
    statusClearTimer_ = new QTimer(this);
    statusClearTimer_->setObjectName(QStringLiteral("statusClearTimer"));
    statusClearTimer_->setSingleShot(true);
    connect(statusClearTimer_, &QTimer::timeout, this, &ReplayViewer::clearStatusBar);
}

void ReplayViewer::setConfiguration(const config& settings) {
    config_ = settings;
    slowMotionAction_->setVisible(config_.slowMotionOffered);
    rewindAction_->setVisible(config_.rewindOffered);
    leftToolBar_->setVisible(config_.sideToolbars && toolbarAction_->isChecked());
    rightToolBar_->setVisible(config_.sideToolbars);
}

void ReplayViewer::setDirectory(const QString& directory) {
    fileDirectory_.setPath(directory);
}

// A directory or a device behind a matching name is no capture: only regular files are listed,
// links followed.
QStringList ReplayViewer::entries() const {
    QDir directory(fileDirectory_);
    directory.refresh();
    QStringList names;
    for (const QFileInfo& entry : directory.entryInfoList()) {
        if (entry.isFile()) {
            names << entry.fileName();
        }
    }
    return names;
}

bool ReplayViewer::isVideoOpen() const {
    return video_ != nullptr;
}

// A camera that starts during replay must not paint over the file on display nor change its zoom.
void ReplayViewer::setCameraFormat(int width, int height) {
    if (isVisible()) {
        return;
    }
    showImage(cv::Mat::zeros(height, width, CV_8UC3));
    if (width <= 400) {
        setZoomIndex(4);
    } else if (width >= 1920) {
        setZoomIndex(2);
    }
}

void ReplayViewer::openFile(const QString& path) {
    stopPlayback();
    rewindAction_->setEnabled(false);
    captureRequest_ = false;
    statusClearTimer_->stop();
    statusBar()->showMessage(tr("File: %1").arg(path));
    std::printf("Open file: \"%s\"\n\n", QFile::encodeName(path).constData());
    currentFile_ = path;
    const bool isVideo = QFileInfo(path).suffix().compare(kVideoSuffix, Qt::CaseInsensitive) == 0;
    snapshotAction_->setEnabled(isVideo);
    const bool opened = isVideo ? openVideo(path) : openPicture(path);
    if (!opened) {
        snapshotAction_->setEnabled(false);
        showCannotOpen(path);
        return;
    }
    if (isVideo) {
        startPlaybackClock();
    }
}

// Our recordings are MP42 AVIs, which only the FFmpeg back end reads here; trying every back end
// on a damaged file would also be slow and noisy.
bool ReplayViewer::openVideo(const QString& path) {
    auto video = std::make_unique<cv::VideoCapture>();
    try {
        if (!video->open(QFile::encodeName(path).toStdString(), cv::CAP_FFMPEG) ||
            !video->read(frame_) || frame_.empty()) {
            return false;
        }
    } catch (const cv::Exception&) {
        return false;
    }
    video_ = std::move(video);
    ++shownFrameCount_;
    showImage(frame_);
    return true;
}

bool ReplayViewer::openPicture(const QString& path) {
    cv::Mat image;
    try {
        image = cv::imread(QFile::encodeName(path).toStdString(), cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        return false;
    }
    if (image.empty()) {
        return false;
    }
    showImage(image);
    return true;
}

// The previous file must not stay on screen under the new name.
void ReplayViewer::showCannotOpen(const QString& path) {
    clearPicture();
    statusBar()->showMessage(tr("Cannot open %1").arg(path));
}

void ReplayViewer::clearPicture() {
    shownWidth_ = 0;
    shownHeight_ = 0;
    pixmap_ = QPixmap();
    picture_->setPixmap(pixmap_);
}

// The file is closed as well, so that the medium can be removed.
void ReplayViewer::stopPlayback() {
    replayTimer_->stop();
    video_.reset();
}

void ReplayViewer::endOfVideo() {
    stopPlayback();
    snapshotAction_->setEnabled(false);
    rewindAction_->setEnabled(true);
}

double ReplayViewer::framePeriodMs() const {
    return slowMotionAction_->isChecked() ? kSlowMotionPeriodMs : kNormalPeriodMs;
}

// Counting from the start of the clock keeps the rate of a whole playback at the file's, even
// when single ticks come late: a late frame shortens the wait for the next one. After a longer
// stall (a modal box, a camera restart) the clock starts again from the frame on display instead
// of rushing through the frames it missed.
void ReplayViewer::startPlaybackClock() {
    playbackClock_.start();
    framesOnClock_ = 1;
    scheduleNextFrame();
}

void ReplayViewer::scheduleNextFrame() {
    const double dueMs = framesOnClock_ * framePeriodMs();
    const double waitMs = dueMs - static_cast<double>(playbackClock_.nsecsElapsed()) / 1e6;
    if (waitMs < -kLargestCatchUpPeriods * framePeriodMs()) {
        startPlaybackClock();
        return;
    }
    replayTimer_->start(waitMs > 0 ? static_cast<int>(waitMs) : 0);
}

void ReplayViewer::on_timer_replay() {
    if (video_ == nullptr) {
        return;
    }
    bool read = false;
    try {
        read = video_->read(frame_) && !frame_.empty();
    } catch (const cv::Exception&) {
        read = false;
    }
    if (!read) {
        endOfVideo();
        return;
    }
    ++shownFrameCount_;
    showImage(frame_);
    ++framesOnClock_;
    scheduleNextFrame();
}

void ReplayViewer::showImage(const cv::Mat& image) {
    shownWidth_ = image.cols;
    shownHeight_ = image.rows;
    if (std::exchange(captureRequest_, false)) {
        takeSnapshot(image);
    }
    // Qt reads blue-green-red itself; the pixmap is a copy, so the image may change afterwards.
    const QImage shown(image.data, image.cols, image.rows, static_cast<int>(image.step),
                       QImage::Format_BGR888);
    pixmap_ = QPixmap::fromImage(shown);
    redraw();
    if (autoZoomPending_) {
        autoZoomPending_ = false;
        setZoomIndex(autoZoomIndexForWidth(shownWidth_));
    }
}

// A frame saved within the same second as another gets a suffix instead of replacing it.
void ReplayViewer::takeSnapshot(const cv::Mat& image) {
    const QString name = captureNames::freeName(snapshotDirectory_, snapshotPrefix_,
                                                QStringLiteral(".jpg"), std::time(nullptr));
    const QByteArray fileName = QFile::encodeName(name);
    std::printf("Writing to image file: \"%s\"\n\n", fileName.constData());
    bool written = false;
    try {
        written = cv::imwrite(fileName.toStdString(), image);
    } catch (const cv::Exception&) {
        written = false;
    }
    if (written) {
        showStatusFor(tr("Writing %1").arg(name), kStatusAfterSnapshotMs);
    } else {
        showStatusFor(tr("Capture Error!"), kStatusAfterErrorMs);
    }
}

void ReplayViewer::showStatusFor(const QString& message, int milliseconds) {
    statusBar()->showMessage(message);
    statusClearTimer_->start(milliseconds);
}

void ReplayViewer::redraw() {
    if (shownWidth_ <= 0 || shownHeight_ <= 0 || pixmap_.isNull()) {
        return;
    }
    picture_->setSmooth(shownWidth_ < kSmoothScalingBelowWidth);
    picture_->setZoom(zoom_);
    picture_->setPixmap(pixmap_);
    if (!fitAction_->isChecked()) {
        picture_->resize(picture_->scaledSize());
    }
}

void ReplayViewer::centreView() {
    for (QScrollBar* bar : {scrollArea_->horizontalScrollBar(), scrollArea_->verticalScrollBar()}) {
        bar->setValue((bar->minimum() + bar->maximum()) / 2);
    }
}

int ReplayViewer::zoomIndex() const {
    for (int k = 0; k < kZoomLevels; ++k) {
        if (zoomActions_[k]->isChecked()) {
            return k;
        }
    }
    return -1;
}

void ReplayViewer::setZoomIndex(int index) {
    zoom_ = kZoomFactors[index];
    redraw();
    centreView();
    checkZoomAction(index);
    const QSignalBlocker blockCombo(zoomComboBox_);
    const QSignalBlocker blockSlider(zoomSlider_);
    zoomComboBox_->setCurrentIndex(index);
    zoomSlider_->setValue(index);
    picture_->setFitToWidget(false);
    scrollArea_->setWidgetResizable(false);
}

// At most one zoom action is checked, and Fit is not.
void ReplayViewer::checkZoomAction(int index) {
    for (int k = 0; k < kZoomLevels; ++k) {
        zoomActions_[k]->setChecked(k == index);
    }
    fitAction_->setChecked(false);
}

void ReplayViewer::zoom_x4() {
    setZoomIndex(6);
}
void ReplayViewer::zoom_x3() {
    setZoomIndex(5);
}
void ReplayViewer::zoom_x2() {
    setZoomIndex(4);
}
void ReplayViewer::zoom_x1() {
    setZoomIndex(3);
}
void ReplayViewer::zoom_x0_5() {
    setZoomIndex(2);
}
void ReplayViewer::zoom_x0_25() {
    setZoomIndex(1);
}
void ReplayViewer::zoom_x0_125() {
    setZoomIndex(0);
}

void ReplayViewer::zoomChange(int val) {
    if (val >= 0 && val < kZoomLevels) {
        setZoomIndex(val);
    }
}

// The steps start from a checked zoom action: in fit mode there is none, and they do nothing.
void ReplayViewer::zoomIn() {
    const int index = zoomIndex();
    if (index >= 0 && index < kLargestZoomIndex) {
        setZoomIndex(index + 1);
    }
}

void ReplayViewer::zoomOut() {
    const int index = zoomIndex();
    if (index > 0) {
        setZoomIndex(index - 1);
    }
}

void ReplayViewer::zoomInLimited() {
    zoomIn();
}

// The toolbar does not zoom out below full size.
void ReplayViewer::zoomOutLimited() {
    const int index = zoomIndex();
    if (index > kFullSizeIndex) {
        setZoomIndex(index - 1);
    }
}

void ReplayViewer::fitToWindow() {
    const bool fit = fitAction_->isChecked();
    zoom_ = 1.0;
    if (fit) {
        checkZoomAction(-1);
        fitAction_->setChecked(true);
    } else {
        checkZoomAction(kFullSizeIndex);
        const QSignalBlocker blockCombo(zoomComboBox_);
        const QSignalBlocker blockSlider(zoomSlider_);
        zoomComboBox_->setCurrentIndex(kFullSizeIndex);
        zoomSlider_->setValue(kFullSizeIndex);
    }
    setZoomControlsEnabled(!fit);
    picture_->setFitToWidget(fit);
    scrollArea_->setWidgetResizable(fit);
    redraw();
    centreView();
}

void ReplayViewer::setZoomControlsEnabled(bool enabled) {
    zoomSlider_->setEnabled(enabled);
    zoomComboBox_->setEnabled(enabled);
    zoomInAction_->setEnabled(enabled);
    zoomOutAction_->setEnabled(enabled);
    zoomResetAction_->setEnabled(enabled);
    for (QAction* action : zoomActions_) {
        action->setEnabled(enabled);
    }
}

void ReplayViewer::about() {
    aboutBox::showShortAbout(this);
}

void ReplayViewer::save() {}

void ReplayViewer::showToolbar() {
    leftToolBar_->setVisible(toolbarAction_->isChecked());
}

// The neighbour in name order; when the current file has gone, the nearest name on that side.
QString ReplayViewer::neighbourEntry(int step) const {
    const QStringList names = entries();
    const QString current = QFileInfo(currentFile_).fileName();
    if (step > 0) {
        for (const QString& name : names) {
            if (name > current) {
                return name;
            }
        }
    } else {
        for (auto name = names.crbegin(); name != names.crend(); ++name) {
            if (*name < current) {
                return *name;
            }
        }
    }
    return QString();
}

void ReplayViewer::nextFileTriggered() {
    captureRequest_ = false;
    const QString next = neighbourEntry(1);
    if (!next.isEmpty()) {
        openFile(fileDirectory_.absoluteFilePath(next));
    }
}

void ReplayViewer::previousFileTriggered() {
    captureRequest_ = false;
    const QString previous = neighbourEntry(-1);
    if (!previous.isEmpty()) {
        openFile(fileDirectory_.absoluteFilePath(previous));
    }
}

// One Enter or Escape keeps the file.
bool ReplayViewer::askToDelete() const {
    QMessageBox box(QMessageBox::Question, tr("Question"), tr("Delete File ?"),
                    QMessageBox::Yes | QMessageBox::No, const_cast<ReplayViewer*>(this));
    box.setInformativeText(currentFile_);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void ReplayViewer::deleteFileTriggered() {
    if (config_.askBeforeDeleting && !askToDelete()) {
        return;
    }
    rewindAction_->setEnabled(false);
    captureRequest_ = false;
    const QStringList names = entries();
    const int index = names.indexOf(QFileInfo(currentFile_).fileName());
    if (index < 0) {
        return;
    }
    stopPlayback();
    if (!removeFile(currentFile_)) {
        std::printf("Delete file error\n");
        statusBar()->showMessage(tr("Cannot delete %1").arg(currentFile_));
        return;
    }
    const QStringList remaining = entries();
    if (remaining.isEmpty()) {
        emit closeWin();
        return;
    }
    openFile(fileDirectory_.absoluteFilePath(remaining.value(index, remaining.first())));
}

bool ReplayViewer::removeFile(const QString& path) {
    return QFile::remove(path);
}

void ReplayViewer::clockTriggered() {
    slowMotionAction_->setIcon(QIcon(
        slowMotionAction_->isChecked() ? QStringLiteral(":/icons/volo_slow_motion_icon_red_300.png")
                                       : QStringLiteral(":/icons/volo_slow_motion_icon_300.png")));
    if (replayTimer_->isActive()) {
        startPlaybackClock();
    }
}

// Only a playing video has a next frame to save.
void ReplayViewer::captureImageTriggered() {
    if (video_ == nullptr) {
        return;
    }
    captureRequest_ = true;
    statusClearTimer_->stop();
    statusBar()->showMessage(tr("Capture Frame ..."));
}

void ReplayViewer::rewindTriggered() {
    captureRequest_ = false;
    openFile(currentFile_);
}

void ReplayViewer::closeFromMenuTriggered() {
    stopPlayback();
    emit closeWin();
}

void ReplayViewer::clearStatusBar() {
    statusBar()->showMessage(QString());
}

void ReplayViewer::closeEvent(QCloseEvent* event) {
    stopPlayback();
    emit closeWin();
    event->accept();
}

// A window hidden by the program neither decodes nor holds its file open; one minimised by the user
// keeps playing.
void ReplayViewer::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        stopPlayback();
    }
    QMainWindow::hideEvent(event);
}

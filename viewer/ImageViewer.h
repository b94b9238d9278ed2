#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QPixmap>
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QString>

#include <array>
#include <memory>
#include <string>

#include <opencv2/core/mat.hpp>

#include "aboutBox.h"
#include "dravixReceiver.h"
#include "textWindowClass.h"
#include "videoRecorder.h"

class AspectRatioPixmapLabel;
class ReplayViewer;
class QAction;
class QMenu;
class QTimer;
class QToolBar;

// The viewer's main window: opens the camera through the receiver, detects the first frame's
// format, shows every new frame fitted into the window, restarts a camera that falls silent,
// watches the removable medium that receives captures and hosts the Record and Logos toolbars.
// Periodic work runs on timers on the GUI thread.
class ImageViewer : public QMainWindow {
    Q_OBJECT

  public:
    // The picture area never shrinks below this, so that the toolbars cannot take the whole
    // window.
    static constexpr QSize kMinimumPictureSize{320, 240};

    // `libraryFile` is the camera library to load; tests hand in others.
    explicit ImageViewer(const std::string& libraryFile = dravixReceiver::kLibraryFile,
                         QWidget* parent = nullptr);
    ~ImageViewer() override;

    // Whether start-up got as far as the library: false when it could not be loaded, and the
    // window has closed itself.
    bool libraryLoaded() const { return libraryLoaded_; }

    // Columns cut from each side of a frame of `width` columns: the formats 202 to 208 pixels
    // wide show their middle 200 columns.
    static int cropForWidth(int width);
    // The columns of `image` that are shown, saved and recorded: a view, without the crop.
    static cv::Mat visiblePart(const cv::Mat& image);

    // Shows `image` (8-bit blue-green-red) in the picture label, cropped.
    void showFrame(const cv::Mat& image);
    void updateActionStates();
    void refreshThumbs();
    // Makes the picture on display the newest of the four thumbnails.
    void pushThumb();
    // Makes sure the capture directory "Capture" exists on the medium (created when missing) and
    // can be written; it becomes the destination directory.
    bool ensureDestination();
    // The modal "Memory media not available" box.
    void mediaMissingBox();
    // Ends a recording: completes the file. Nothing when not recording.
    void stopRecording();

    // State for the tests and the capture code.
    dravixReceiver& receiver() { return receiver_; }
    AspectRatioPixmapLabel* pictureLabel() const { return pictureLabel_; }
    const QPixmap& framePixmap() const { return framePixmap_; }
    bool isCameraRunning() const { return cameraRunning_; }
    bool isMediaPresent() const { return mediaPresent_; }
    int thumbCount() const { return thumbCount_; }
    int frameWidth() const { return frameWidth_; }
    int frameHeight() const { return frameHeight_; }
    bool isRecording() const { return recording_; }
    const QString& destinationDirectory() const { return destinationDirectory_; }
    // Camera frames the display tick has shown since start-up.
    int shownFrameCount() const { return shownFrameCount_; }
    ReplayViewer* replayViewer() const { return replay_.get(); }

    // No menu: a right click on a toolbar or the window would otherwise offer to hide the
    // toolbars, and with both hidden nothing would be left to bring them back.
    QMenu* createPopupMenu() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  public slots:
    void on_closeReplayWin();
    void showToolbar();
    void zoom_x4();
    void zoom_x3();
    void zoom_x2();
    void zoom_x1();
    void zoom_x0_5();
    void zoom_x0_25();
    void zoom_x0_125();
    void zoomChange(int val);
    void about();
    void captureImageTriggered();
    void recordSteamTriggered();
    void stopRecordingTriggered();
    void replayFileTriggered();
    void selectDestDirTriggered();
    void logoTriggered();
    void infoTriggered();
    void clearStatusBar();
    void on_timer_displayCam();
    void onTimer_cameraWatchDog();
    void onTimer_formatDetect();
    void on_memoryStickChecker();

  private:
    static constexpr int kThumbs = 4;

    void readDesktopGeometry();
    void createPictureLabel();
    void createMenus();
    void createLogosToolBar();
    void sizeLogosToolBar();
    void createRecordToolBar();
    QAction* addRecordAction(const QString& text, const QString& name, const QString& icon,
                             void (ImageViewer::*slot)());
    void createTimers();
    QTimer* createTimer(const QString& name, void (ImageViewer::*slot)());
    void startCamera();
    void setUpFormat();
    void showBlackFrame();
    void createReplayViewer();
    bool isReplayShown() const;
    // Shows the replay window over the main window, which is disabled meanwhile.
    void showReplay(const QString& directory, const QString& file);
    void resumeLiveDisplay();
    // Writes the picture on display as the next snapshot.
    void takeSnapshot(const cv::Mat& visible);
    void recordFrame(const cv::Mat& visible);

    textWindowClass textWindow_;
    aboutBox::config aboutSettings_;
    dravixReceiver receiver_;
    QSettings settings_;
    QString destinationDirectory_;
    const QString snapshotPrefix_ = QStringLiteral("img_");
    const QString videoPrefix_ = QStringLiteral("mov_");
    videoRecorder recorder_;
    // The available geometry of the screen at construction.
    QRect desktop_;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int lastShownIndex_ = 0;
    int shownFrameCount_ = 0;
    cv::Mat displayImage_;
    QPixmap framePixmap_;
    AspectRatioPixmapLabel* pictureLabel_ = nullptr;
    bool libraryLoaded_ = false;
    bool cameraRunning_ = false;
    bool captureRequest_ = false;
    bool recording_ = false;
    bool mediaPresent_ = false;
    bool closed_ = false;
    std::array<QIcon, kThumbs> thumbIcons_;
    int thumbCount_ = 0;
    QIcon emptyIcon_;

    QToolBar* recordToolBar_ = nullptr;
    QToolBar* logosToolBar_ = nullptr;
    QAction* snapshotAction_ = nullptr;
    QAction* recordAction_ = nullptr;
    QAction* stopRecordAction_ = nullptr;
    QAction* playAction_ = nullptr;
    QAction* folderAction_ = nullptr;
    QAction* logoAction_ = nullptr;
    std::array<QAction*, kThumbs> thumbActions_{};

    QTimer* displayTimer_ = nullptr;
    QTimer* statusClearTimer_ = nullptr;
    QTimer* watchdogTimer_ = nullptr;
    QTimer* formatTimer_ = nullptr;
    QTimer* mediaTimer_ = nullptr;

    // A window of its own, without a parent: it stays usable while this one is disabled.
    std::unique_ptr<ReplayViewer> replay_;
};

#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

#include <opencv2/core/mat.hpp>

class QAction;
class QComboBox;
class QScrollArea;
class QSlider;
class QTimer;
class QToolBar;
class zoomedPicture;

namespace cv {
class VideoCapture;
}

// The "File Viewer": browses the pictures and videos of one directory, one file at a time. Videos
// play on a timer on the GUI thread, at normal or slow speed; a frame of a playing video can be
// saved as a new snapshot; the file on display can be deleted. The window has no parent, so that
// it stays usable while the main window is disabled; the main window owns it.
class ReplayViewer : public QMainWindow {
    Q_OBJECT

  public:
    // What the main window offers in this window.
    struct config {
        bool slowMotionOffered = true;
        bool rewindOffered = true;
        bool askBeforeDeleting = true;
        bool sideToolbars = true;
    };

    // Frame periods: our recordings' 30 frames per second, and slow motion at 10.
    static constexpr double kNormalPeriodMs = 1000.0 / 30;
    static constexpr double kSlowMotionPeriodMs = 100.0;
    static constexpr int kZoomLevels = 7;
    static constexpr std::array<double, kZoomLevels> kZoomFactors{0.125, 0.25, 0.5, 1.0,
                                                                  2.0,   3.0,  4.0};

    explicit ReplayViewer(QWidget* parent = nullptr);
    ~ReplayViewer() override;

    void setConfiguration(const config& settings);
    void setSnapshotPrefix(const QString& prefix) { snapshotPrefix_ = prefix; }
    // Browses `directory`: its pictures and videos in name order.
    void setDirectory(const QString& directory);
    // The live camera's format. While the window is shown the file on display stays untouched and
    // only the size is kept.
    void setCameraFormat(int width, int height);
    // Shows the picture or starts playing the video at `path`.
    void openFile(const QString& path);

    // The files that can be browsed now: regular files only, in name order.
    QStringList entries() const;
    const QString& currentFile() const { return currentFile_; }
    const QString& snapshotDirectory() const { return snapshotDirectory_; }
    // The index of the checked zoom, -1 in fit mode.
    int zoomIndex() const;
    double zoom() const { return zoom_; }
    QSize shownSize() const { return QSize(shownWidth_, shownHeight_); }
    const QPixmap& shownPixmap() const { return pixmap_; }
    // Video frames shown since construction.
    int shownFrameCount() const { return shownFrameCount_; }
    bool isVideoOpen() const;
    // Time between two frames of the video at the chosen speed.
    double framePeriodMs() const;
    zoomedPicture* picture() const { return picture_; }
    QScrollArea* scrollArea() const { return scrollArea_; }

  signals:
    void closeWin();

  public slots:
    void save();
    void showToolbar();
    void zoom_x4();
    void zoom_x3();
    void zoom_x2();
    void zoom_x1();
    void zoom_x0_5();
    void zoom_x0_25();
    void zoom_x0_125();
    void zoomIn();
    void zoomOut();
    void zoomInLimited();
    void zoomOutLimited();
    void zoomChange(int val);
    void fitToWindow();
    void about();
    void nextFileTriggered();
    void previousFileTriggered();
    void deleteFileTriggered();
    void clockTriggered();
    void captureImageTriggered();
    void rewindTriggered();
    void closeFromMenuTriggered();
    void on_timer_replay();
    void clearStatusBar();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Removes `path` from the disk; tests put a failing removal in its place.
    virtual bool removeFile(const QString& path);

  private:
    void createPicture();
    void createActions();
    QAction* createToolAction(const QString& text, const QString& toolTip, const char* icon,
                              void (ReplayViewer::*slot)());
    void createToolBars();
    QToolBar* createToolBar(Qt::ToolBarArea area, const QList<QAction*>& actions);
    void createMenus();
    QAction* createMenuAction(const QString& text, const QKeySequence& shortcut,
                              void (ReplayViewer::*slot)());
    void createZoomControls();
    void createTimers();

    bool openVideo(const QString& path);
    bool openPicture(const QString& path);
    void showCannotOpen(const QString& path);
    void stopPlayback();
    void endOfVideo();
    // The clock starts with a frame on display; the n-th frame after it is due n periods later,
    // and the timer waits for the next one.
    void startPlaybackClock();
    void scheduleNextFrame();
    void showImage(const cv::Mat& image);
    void takeSnapshot(const cv::Mat& image);
    void clearPicture();
    void redraw();
    void centreView();
    void autoZoom();
    void setZoomIndex(int index);
    void checkZoomAction(int index);
    void setZoomControlsEnabled(bool enabled);
    void showStatusFor(const QString& message, int milliseconds);
    // The entry after (`step` 1) or before (`step` -1) the current file's name, empty at the ends.
    QString neighbourEntry(int step) const;
    bool askToDelete() const;

    config config_;
    QDir fileDirectory_;
    QString currentFile_;
    QString snapshotDirectory_;
    QString snapshotPrefix_ = QStringLiteral("img_");
    std::unique_ptr<cv::VideoCapture> video_;
    QElapsedTimer playbackClock_;
    // Frames shown since the playback clock started, the one at its start included.
    int framesOnClock_ = 0;
    cv::Mat frame_;
    int shownWidth_ = 0;
    int shownHeight_ = 0;
    int shownFrameCount_ = 0;
    QPixmap pixmap_;
    double zoom_ = 2.0;
    bool autoZoomPending_ = true;
    bool captureRequest_ = false;

    zoomedPicture* picture_ = nullptr;
    QScrollArea* scrollArea_ = nullptr;
    QComboBox* zoomComboBox_ = nullptr;
    QSlider* zoomSlider_ = nullptr;
    QTimer* replayTimer_ = nullptr;
    QTimer* statusClearTimer_ = nullptr;
    QToolBar* leftToolBar_ = nullptr;
    QToolBar* rightToolBar_ = nullptr;

    QAction* nextAction_ = nullptr;
    QAction* previousAction_ = nullptr;
    QAction* deleteAction_ = nullptr;
    QAction* slowMotionAction_ = nullptr;
    QAction* snapshotAction_ = nullptr;
    QAction* closeAction_ = nullptr;
    QAction* rewindAction_ = nullptr;
    QAction* zoomResetAction_ = nullptr;
    QAction* zoomInToolAction_ = nullptr;
    QAction* zoomOutToolAction_ = nullptr;
    QAction* toolbarAction_ = nullptr;
    QAction* zoomInAction_ = nullptr;
    QAction* zoomOutAction_ = nullptr;
    QAction* fitAction_ = nullptr;
    // Zoom x0.125 ... Zoom x4, by zoom index.
    std::array<QAction*, kZoomLevels> zoomActions_{};
};

// GoogleTest comes before Xlib, whose macros (None, Bool, Status) break its declarations.
#include <gtest/gtest.h>

#include "platform/linux/x11WindowDisplay.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bgrTestImage.h"
#include "platform/display.h"
#include "x11TestWindow.h"
#include "xvfbServer.h"

#if defined(__SANITIZE_THREAD__)
// When the connection to the X server is lost, libX11 unlocks the connection's mutex before its
// I/O error handlers run, and the call that found the loss unlocks it again once they return. The
// mutex is then free either way, as no other thread uses that connection; the fault is libX11's.
extern "C" const char* __tsan_default_suppressions() {
    return "mutex:libX11.so.6\n";
}
#endif

namespace dravix::platform {
namespace {

using test::bgrTestImage;
using test::x11TestWindow;

// The application's own handlers: the library must leave them installed and never hand them its
// errors, while errors of the application's connection still reach them.
std::atomic<int> applicationErrors{0};
std::atomic<int> applicationIoErrors{0};

int countApplicationError(Display*, XErrorEvent*) {
    ++applicationErrors;
    return 0;
}

int countApplicationIoError(Display*) {
    ++applicationIoErrors;
    return 0;
}

// Sets DISPLAY, which the library reads when it opens a display, for the scope; unsets it for
// null.
class scopedDisplayVariable {
  public:
    explicit scopedDisplayVariable(const char* value) {
        if (const char* old = std::getenv("DISPLAY")) {
            old_ = old;
        }
        set(value);
    }
    ~scopedDisplayVariable() { set(old_ ? old_->c_str() : nullptr); }
    scopedDisplayVariable(const scopedDisplayVariable&) = delete;
    scopedDisplayVariable& operator=(const scopedDisplayVariable&) = delete;

  private:
    static void set(const char* value) {
        if (value != nullptr) {
            setenv("DISPLAY", value, 1);
        } else {
            unsetenv("DISPLAY");
        }
    }
    std::optional<std::string> old_;
};

int drawPicture(windowDisplay& display, const bgrTestImage& picture) {
    return display.draw(picture.data(), picture.width(), picture.height());
}

std::string describe(const XVisualInfo& visual) {
    char text[96];
    std::snprintf(text, sizeof text, "visual 0x%lx: depth %d, masks %#lx/%#lx/%#lx",
                  visual.visualid, visual.depth, visual.red_mask, visual.green_mask,
                  visual.blue_mask);
    return text;
}

class x11WindowDisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr) << "no X server: these tests run under runWithXvfb.sh";
        ASSERT_EQ(DefaultVisual(display_, DefaultScreen(display_))->c_class, TrueColor);
        outerErrorHandler_ = XSetErrorHandler(&countApplicationError);
        outerIoErrorHandler_ = XSetIOErrorHandler(&countApplicationIoError);
        applicationErrors = 0;
        applicationIoErrors = 0;
    }

    void TearDown() override {
        if (display_ == nullptr) {
            return;
        }
        EXPECT_EQ(XSetErrorHandler(outerErrorHandler_), &countApplicationError);
        EXPECT_EQ(XSetIOErrorHandler(outerIoErrorHandler_), &countApplicationIoError);
        EXPECT_EQ(applicationErrors, expectedApplicationErrors_);
        EXPECT_EQ(applicationIoErrors, 0);
        XCloseDisplay(display_);
    }

    // One visual of each distinct pixel layout of `visualClass` on the default screen.
    std::vector<XVisualInfo> visualsOfClass(int visualClass) const {
        XVisualInfo query{};
        query.screen = DefaultScreen(display_);
        query.c_class = visualClass;
        int count = 0;
        XVisualInfo* found =
            XGetVisualInfo(display_, VisualScreenMask | VisualClassMask, &query, &count);
        std::vector<XVisualInfo> distinct;
        for (int i = 0; i < count; ++i) {
            if (!hasLayout(distinct, found[i])) {
                distinct.push_back(found[i]);
            }
        }
        XFree(found);
        return distinct;
    }

    // Draws `picture` through a display opened on `window` and checks every pixel the server shows.
    void expectDrawn(const x11TestWindow& window, const bgrTestImage& picture) {
        const auto drawing = openWindowDisplay(window.handle());
        ASSERT_NE(drawing, nullptr) << x11WindowDisplay::lastError();
        ASSERT_EQ(drawPicture(*drawing, picture), 0);
        const auto shown = window.read(picture.width(), picture.height());
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(picture.isShownIn(*shown));
    }

    Display* display_ = nullptr;
    int expectedApplicationErrors_ = 0;

  private:
    static bool hasLayout(const std::vector<XVisualInfo>& visuals, const XVisualInfo& visual) {
        for (const XVisualInfo& known : visuals) {
            if (known.depth == visual.depth && known.red_mask == visual.red_mask &&
                known.green_mask == visual.green_mask && known.blue_mask == visual.blue_mask) {
                return true;
            }
        }
        return false;
    }

    XErrorHandler outerErrorHandler_ = nullptr;
    XIOErrorHandler outerIoErrorHandler_ = nullptr;
};

TEST_F(x11WindowDisplayTest, drawsEveryPixelIntoASimpleWindow) {
    const x11TestWindow window(display_, 80, 50);
    expectDrawn(window, bgrTestImage(61, 37, 1));
}

TEST_F(x11WindowDisplayTest, drawsEveryPixelInEveryTrueColorVisual) {
    const std::vector<XVisualInfo> visuals = visualsOfClass(TrueColor);
    ASSERT_FALSE(visuals.empty());
    for (const XVisualInfo& visual : visuals) {
        SCOPED_TRACE(describe(visual));
        const x11TestWindow window(display_, 80, 50, visual);
        expectDrawn(window, bgrTestImage(61, 37, 2));
    }
}

TEST_F(x11WindowDisplayTest, followsChangesOfTheImageSize) {
    const x11TestWindow window(display_, 128, 96);
    const auto drawing = openWindowDisplay(window.handle());
    ASSERT_NE(drawing, nullptr) << x11WindowDisplay::lastError();
    const bgrTestImage small(61, 37, 1);
    const bgrTestImage large(100, 80, 2);
    const bgrTestImage smallAgain(61, 37, 3);
    const bgrTestImage sameSize(61, 37, 4);

    ASSERT_EQ(drawPicture(*drawing, small), 0);
    EXPECT_TRUE(small.isShownIn(*window.read(61, 37)));
    ASSERT_EQ(drawPicture(*drawing, large), 0);
    EXPECT_TRUE(large.isShownIn(*window.read(100, 80)));
    // A smaller image covers only its own corner; the rest still shows the larger one.
    ASSERT_EQ(drawPicture(*drawing, smallAgain), 0);
    EXPECT_TRUE(large.overlaid(smallAgain).isShownIn(*window.read(100, 80)));
    // The kept image of that size shows the new pixels, not the previous ones.
    ASSERT_EQ(drawPicture(*drawing, sameSize), 0);
    EXPECT_TRUE(large.overlaid(sameSize).isShownIn(*window.read(100, 80)));
}

TEST_F(x11WindowDisplayTest, drawsImagesLargerThanTheWindow) {
    const x11TestWindow window(display_, 40, 30);
    const auto drawing = openWindowDisplay(window.handle());
    ASSERT_NE(drawing, nullptr) << x11WindowDisplay::lastError();
    const bgrTestImage picture(301, 203, 5);
    ASSERT_EQ(drawPicture(*drawing, picture), 0);
    const bgrTestImage visible = bgrTestImage(40, 30, 0).overlaid(picture);
    EXPECT_TRUE(visible.isShownIn(*window.read(40, 30)));
}

TEST_F(x11WindowDisplayTest, refusesInvalidImagesAndStaysUsable) {
    const x11TestWindow window(display_, 80, 50);
    const auto drawing = openWindowDisplay(window.handle());
    ASSERT_NE(drawing, nullptr) << x11WindowDisplay::lastError();
    const uint8_t pixel[3] = {1, 2, 3};
    EXPECT_EQ(drawing->draw(nullptr, 1, 1), -EINVAL);
    EXPECT_EQ(drawing->draw(pixel, 0, 1), -EINVAL);
    EXPECT_EQ(drawing->draw(pixel, 1, 0), -EINVAL);
    EXPECT_EQ(drawing->draw(pixel, -1, 1), -EINVAL);
    EXPECT_EQ(drawing->draw(pixel, 32768, 1), -EINVAL);
    EXPECT_EQ(drawing->draw(pixel, 1, 32768), -EINVAL);

    const bgrTestImage picture(61, 37, 6);
    ASSERT_EQ(drawPicture(*drawing, picture), 0);
    EXPECT_TRUE(picture.isShownIn(*window.read(61, 37)));
}

TEST_F(x11WindowDisplayTest, refusesAWindowThatDoesNotExist) {
    x11TestWindow window(display_, 10, 10);
    void* const handle = window.handle();
    window.destroy();
    EXPECT_EQ(openWindowDisplay(handle), nullptr);
    EXPECT_NE(x11WindowDisplay::lastError().find("does not exist"), std::string::npos)
        << x11WindowDisplay::lastError();

    EXPECT_EQ(openWindowDisplay(nullptr), nullptr);
    EXPECT_FALSE(x11WindowDisplay::lastError().empty());
}

TEST_F(x11WindowDisplayTest, refusesWindowsOfOtherVisualClasses) {
    int tried = 0;
    for (const int visualClass : {StaticGray, GrayScale, StaticColor, PseudoColor, DirectColor}) {
        for (const XVisualInfo& visual : visualsOfClass(visualClass)) {
            SCOPED_TRACE(describe(visual));
            const x11TestWindow window(display_, 20, 20, visual);
            EXPECT_EQ(openWindowDisplay(window.handle()), nullptr);
            EXPECT_NE(x11WindowDisplay::lastError().find("only TrueColor"), std::string::npos)
                << x11WindowDisplay::lastError();
            ++tried;
        }
    }
    if (tried == 0) {
        GTEST_SKIP() << "this X server offers only TrueColor visuals";
    }
}

TEST_F(x11WindowDisplayTest, refusesInputOnlyWindows) {
    const x11TestWindow window = x11TestWindow::inputOnly(display_, 20, 20);
    EXPECT_EQ(openWindowDisplay(window.handle()), nullptr);
    EXPECT_NE(x11WindowDisplay::lastError().find("input-only"), std::string::npos)
        << x11WindowDisplay::lastError();
}

TEST_F(x11WindowDisplayTest, refusesWhenThereIsNoXServer) {
    const x11TestWindow window(display_, 10, 10);
    const scopedDisplayVariable noServer(nullptr);
    EXPECT_EQ(openWindowDisplay(window.handle()), nullptr);
    EXPECT_NE(x11WindowDisplay::lastError().find("cannot connect"), std::string::npos)
        << x11WindowDisplay::lastError();
}

TEST_F(x11WindowDisplayTest, failsToDrawOnceTheWindowIsGone) {
    x11TestWindow window(display_, 80, 50);
    const auto drawing = openWindowDisplay(window.handle());
    ASSERT_NE(drawing, nullptr) << x11WindowDisplay::lastError();
    const bgrTestImage picture(61, 37, 7);
    ASSERT_EQ(drawPicture(*drawing, picture), 0);

    window.destroy();
    EXPECT_EQ(drawPicture(*drawing, picture), -ENODEV);
    EXPECT_EQ(drawPicture(*drawing, bgrTestImage(20, 10, 8)), -ENODEV);
}

TEST_F(x11WindowDisplayTest, failsToDrawOnceTheXServerIsGone) {
    test::xvfbServer server;
    ASSERT_TRUE(server.started()) << "cannot start Xvfb";
    // A window that outlives the connection that made it, so that only the server's end ends it.
    Display* const maker = XOpenDisplay(server.name().c_str());
    ASSERT_NE(maker, nullptr);
    const Window window =
        XCreateSimpleWindow(maker, DefaultRootWindow(maker), 0, 0, 64, 48, 0, 0, 0);
    XMapWindow(maker, window);
    XSetCloseDownMode(maker, RetainPermanent);
    XCloseDisplay(maker);

    std::unique_ptr<windowDisplay> drawing;
    {
        const scopedDisplayVariable privateServer(server.name().c_str());
        drawing = openWindowDisplay(x11TestWindow::handleOf(window));
    }
    ASSERT_NE(drawing, nullptr) << x11WindowDisplay::lastError();
    const bgrTestImage picture(61, 37, 9);
    ASSERT_EQ(drawPicture(*drawing, picture), 0);

    // The loss shows on a drawing thread; the owner's thread draws and closes afterwards.
    server.kill();
    std::thread([&] { EXPECT_EQ(drawPicture(*drawing, picture), -ENODEV); }).join();
    EXPECT_EQ(drawPicture(*drawing, picture), -ENODEV);
    drawing.reset();
}

// Two displays in use on two threads while the application makes errors on its own connection:
// each display sees exactly its own errors and the application exactly its own.
TEST_F(x11WindowDisplayTest, keepsErrorsApartAcrossThreads) {
    constexpr int kRounds = 400;
    const x11TestWindow live(display_, 80, 50);
    x11TestWindow gone(display_, 80, 50);
    const auto liveDrawing = openWindowDisplay(live.handle());
    const auto goneDrawing = openWindowDisplay(gone.handle());
    ASSERT_NE(liveDrawing, nullptr) << x11WindowDisplay::lastError();
    ASSERT_NE(goneDrawing, nullptr) << x11WindowDisplay::lastError();
    const Window goneId = gone.id();
    gone.destroy();
    const bgrTestImage picture(61, 37, 10);

    int liveFailures = 0;
    int goneSuccesses = 0;
    std::thread liveDrawer([&] {
        for (int round = 0; round < kRounds; ++round) {
            liveFailures += drawPicture(*liveDrawing, picture) != 0 ? 1 : 0;
        }
    });
    std::thread goneDrawer([&] {
        for (int round = 0; round < kRounds; ++round) {
            goneSuccesses += drawPicture(*goneDrawing, picture) != -ENODEV ? 1 : 0;
        }
    });
    for (int round = 0; round < kRounds; ++round) {
        XWindowAttributes attributes;
        XGetWindowAttributes(display_, goneId, &attributes);
    }
    expectedApplicationErrors_ = kRounds;
    liveDrawer.join();
    goneDrawer.join();

    EXPECT_EQ(liveFailures, 0);
    EXPECT_EQ(goneSuccesses, 0);
    EXPECT_TRUE(picture.isShownIn(*live.read(61, 37)));
}

}  // namespace
}  // namespace dravix::platform

# The picture label, the text window and the About box.
set(KYRVIEWER_WIDGET_SOURCES
    AspectRatioPixmapLabel.cpp
    textWindowClass.cpp
    aboutBox.cpp
)

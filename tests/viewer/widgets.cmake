# The picture label, the text window and the About box.
kyrviewer_qtest(kyrviewer_widgets_tests
    widgetTestsMain.cpp
    aspectRatioPixmapLabelTest.cpp
    textWindowClassTest.cpp
    aboutBoxTest.cpp
)

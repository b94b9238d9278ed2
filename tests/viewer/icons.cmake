# The icon bundle: every icon name loads and draws something at 128 and 64 pixels.
kyrviewer_qtest(kyrviewer_icons_tests iconsTest.cpp)

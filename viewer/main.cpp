#include <QApplication>

#include <cstdio>

#include "ImageViewer.h"

int main(int argc, char* argv[]) {
    // Progress lines go to standard output; line by line, also when it is a pipe or a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    ImageViewer viewer;
    if (!viewer.libraryLoaded()) {
        return 1;
    }
    viewer.show();
    return app.exec();
}

#include <QApplication>

#include <cstdio>

#include "ImageViewer.h"
#include "signalCloser.h"

int main(int argc, char* argv[]) {
    // Progress lines go to standard output; line by line, also when it is a pipe or a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    ImageViewer viewer;
    if (!viewer.libraryLoaded()) {
        return 1;
    }
    // Ctrl-C, kill and a closed terminal close the window as its close button does.
    signalCloser closer(viewer);
    viewer.show();
    return app.exec();
}

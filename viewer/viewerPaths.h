#pragma once

#include <QString>

// Where the viewer finds its files and the removable medium that receives captures.
class viewerPaths {
  public:
    // The directory of the viewer's data files (eula.txt): KYRVIEWER_DATA_DIR when set, else
    // share/kyrViewer next to the program's directory (the build tree and an installation alike).
    static QString dataDirectory();
    // The removable medium's root: KYRVIEWER_MEDIA when set, else the first directory mounted
    // under /run/media/$USER or /media/$USER; empty when there is none. Asked again at every
    // media check, so a medium plugged in later is found.
    static QString mediaRoot();
    // Whether the medium's root exists as a directory now.
    static bool mediaPresent();

  private:
    static QString firstMountedDirectory(const QString& base);
};

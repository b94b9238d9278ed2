// kyrViewerIconPainter [<icon-dir> <qrc-file>] [--contact-sheet <png-file>]
// Draws the viewer's icons into a directory as PNG files and writes the Qt resource file that
// lists them under the "/icons" prefix; run at build time on the offscreen platform. The contact
// sheet shows every icon at 128 and 64 pixels on the toolbar's light grey, for looking the set
// over.

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

#include "iconPainter.h"

namespace {

bool fail(const QString& message) {
    std::fprintf(stderr, "kyrViewerIconPainter: %s\n", qPrintable(message));
    return false;
}

bool writeIcons(const QDir& iconDir) {
    if (!iconDir.mkpath(QStringLiteral("."))) {
        return fail(QStringLiteral("cannot create %1").arg(iconDir.path()));
    }
    for (const QString& name : IconPainter::fileNames()) {
        const QString path = iconDir.filePath(name);
        if (!IconPainter::render(name).save(path, "PNG")) {
            return fail(QStringLiteral("cannot write %1").arg(path));
        }
    }
    return true;
}

// The resource file names the icons relative to its own directory, as rcc resolves them.
bool writeResourceFile(const QDir& iconDir, const QString& qrcPath) {
    QSaveFile file(qrcPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return fail(QStringLiteral("cannot write %1").arg(qrcPath));
    }
    const QDir qrcDir = QFileInfo(qrcPath).absoluteDir();
    QTextStream out(&file);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/icons\">\n";
    for (const QString& name : IconPainter::fileNames()) {
        const QString path = qrcDir.relativeFilePath(iconDir.absoluteFilePath(name));
        out << "    <file alias=\"" << name << "\">" << path << "</file>\n";
    }
    out << "</qresource>\n</RCC>\n";
    out.flush();
    return file.commit() || fail(QStringLiteral("cannot write %1").arg(qrcPath));
}

// One cell per icon: the icon scaled to 128 and to 64 pixels, as a toolbar shows it, and its
// name. White logos get a dark cell.
bool writeContactSheet(const QString& path) {
    constexpr int kCellWidth = 220;
    constexpr int kCellHeight = 160;
    constexpr int kColumns = 4;
    const QStringList names = IconPainter::fileNames();
    const int rows = (names.size() + kColumns - 1) / kColumns;
    QImage sheet(kColumns * kCellWidth, rows * kCellHeight, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0xd6, 0xd6, 0xd6));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int k = 0; k < names.size(); ++k) {
        const QPoint cell((k % kColumns) * kCellWidth, (k / kColumns) * kCellHeight);
        const QImage icon = IconPainter::render(names[k]);
        if (names[k].contains(QStringLiteral("white"))) {
            painter.fillRect(QRect(cell, QSize(kCellWidth, kCellHeight)), QColor(0x30, 0x30, 0x30));
        }
        for (const int side : {128, 64}) {
            const QImage scaled =
                icon.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            painter.drawImage(cell + QPoint(side == 128 ? 8 : 148, 8), scaled);
        }
        painter.setPen(Qt::black);
        painter.drawText(QRect(cell + QPoint(4, 136), QSize(kCellWidth - 8, 22)), Qt::AlignLeft,
                         names[k]);
    }
    painter.end();
    return sheet.save(path, "PNG") || fail(QStringLiteral("cannot write %1").arg(path));
}

// The icons and their resource file when both paths are given; the sheet when asked for.
bool paint(const QStringList& paths, const QString& sheetPath) {
    if (paths.size() == 2) {
        const QDir iconDir(paths[0]);
        if (!writeIcons(iconDir) || !writeResourceFile(iconDir, paths[1])) {
            return false;
        }
    }
    return sheetPath.isEmpty() || writeContactSheet(sheetPath);
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the viewer's icons."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("icon-dir"), QStringLiteral("Where the PNGs go."));
    parser.addPositionalArgument(QStringLiteral("qrc-file"), QStringLiteral("The resource file."));
    const QCommandLineOption sheetOption(QStringLiteral("contact-sheet"),
                                         QStringLiteral("Also draw every icon into <png-file>."),
                                         QStringLiteral("png-file"));
    parser.addOption(sheetOption);
    parser.process(app);
    const QStringList paths = parser.positionalArguments();
    const QString sheetPath = parser.value(sheetOption);
    if (paths.size() != 2 && !(paths.isEmpty() && !sheetPath.isEmpty())) {
        parser.showHelp(2);
    }
    return paint(paths, sheetPath) ? 0 : 1;
}

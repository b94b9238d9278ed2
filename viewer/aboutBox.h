#pragma once

#include <QCoreApplication>
#include <QString>
#include <memory>

class QAbstractButton;
class QMessageBox;
class QWidget;
class textWindowClass;

// The About box of the main window: version text, optional "About Qt" and "EULA" buttons, and
// what those buttons open. The box itself is built per use; building and acting on the clicked
// button are separate so that both can be exercised without a modal loop.
class aboutBox {
    Q_DECLARE_TR_FUNCTIONS(aboutBox)

  public:
    struct config {
        QString version = QStringLiteral("1.5.2");
        bool showAboutQt = false;
        bool showEula = false;
        QString eulaTitle = QStringLiteral("EULA");
        QString eulaPath;  // full path of the licence text file
    };

    // The box and its optional buttons (owned by the box; null when not configured).
    struct built {
        std::unique_ptr<QMessageBox> box;
        QAbstractButton* aboutQtButton = nullptr;
        QAbstractButton* eulaButton = nullptr;
    };

    // `mainWindow` parents the boxes opened from here; `eulaWindow` shows the licence text.
    aboutBox(config settings, QWidget* mainWindow, textWindowClass& eulaWindow);

    // Builds the box, runs it modally and acts on the button the user clicked.
    void exec() const;

    built build() const;
    void onClicked(const built& shown, const QAbstractButton* clicked) const;

    // The short About message of the main window's and the replay window's Help menu.
    static void showShortAbout(QWidget* parent);

  private:
    void showEula() const;

    config settings_;
    QWidget* mainWindow_;
    textWindowClass* eulaWindow_;
};

#include "aboutBox.h"

#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

#include "textWindowClass.h"

aboutBox::aboutBox(config settings, QWidget* mainWindow, textWindowClass& eulaWindow)
    : settings_(std::move(settings)), mainWindow_(mainWindow), eulaWindow_(&eulaWindow) {}

void aboutBox::exec() const {
    const built shown = build();
    shown.box->exec();
    onClicked(shown, shown.box->clickedButton());
}

aboutBox::built aboutBox::build() const {
    built result;
    result.box = std::make_unique<QMessageBox>();
    QMessageBox& box = *result.box;
    box.setWindowTitle(tr("About"));
    box.setWindowIcon(QIcon(QStringLiteral(":/icons/Ovasto_ZEL.png")));
    box.setText(tr("Dravix Viewer - Version %2").arg(settings_.version));
    if (settings_.showAboutQt) {
        result.aboutQtButton = box.addButton(tr("About Qt"), QMessageBox::ActionRole);
    }
    if (settings_.showEula) {
        result.eulaButton = box.addButton(tr("EULA"), QMessageBox::ActionRole);
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    return result;
}

void aboutBox::onClicked(const built& shown, const QAbstractButton* clicked) const {
    if (clicked == nullptr) {
        return;
    }
    if (clicked == shown.aboutQtButton) {
        QMessageBox::aboutQt(mainWindow_, tr("About Qt"));
    } else if (clicked == shown.eulaButton) {
        showEula();
    }
}

void aboutBox::showEula() const {
    if (!eulaWindow_->loadFile(settings_.eulaPath)) {
        QMessageBox::warning(mainWindow_, settings_.eulaTitle,
                             tr("The licence text could not be read from \"%1\".")
                                 .arg(QDir::toNativeSeparators(settings_.eulaPath)));
        return;
    }
    eulaWindow_->setWindowTitle(settings_.eulaTitle);
    eulaWindow_->show();
    eulaWindow_->raise();
    eulaWindow_->activateWindow();
}

void aboutBox::showShortAbout(QWidget* parent) {
    QMessageBox::about(parent, tr("About"), tr("ZEL Kyrel Viewer  Version: 1.0"));
}

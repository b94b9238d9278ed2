#include "textWindowClass.h"

#include <QFile>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextCodec>
#include <QTextDocument>
#include <QTextEdit>

textWindowClass::textWindowClass(QWidget* parent) : QMainWindow(parent), textEdit_(new QTextEdit) {
    textEdit_->setReadOnly(true);
    textEdit_->setAcceptRichText(true);

    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->addWidget(textEdit_);
    setCentralWidget(central);

    setMenuBar(new QMenuBar(this));
    setStatusBar(new QStatusBar(this));
    setWindowTitle(QStringLiteral("text"));
    resize(600, 842);
}

bool textWindowClass::loadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QFile::ReadOnly)) {
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return false;  // a partly read file would show a truncated text as if it were complete
    }
    const QString decoded = Qt::codecForHtml(data)->toUnicode(data);
    if (Qt::mightBeRichText(decoded)) {
        textEdit_->setHtml(decoded);
    } else {
        textEdit_->setPlainText(QString::fromLocal8Bit(data));
    }
    return true;
}

const QTextEdit* textWindowClass::textEdit() const {
    return textEdit_;
}

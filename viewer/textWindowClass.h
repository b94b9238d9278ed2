#pragma once

#include <QMainWindow>
#include <QString>

class QTextEdit;

// A read-only window that shows a text file, HTML or plain (the licence text of the About box).
class textWindowClass : public QMainWindow {
    Q_OBJECT

  public:
    explicit textWindowClass(QWidget* parent = nullptr);

    // Shows the file's content; false (window unchanged) when it cannot be read.
    bool loadFile(const QString& path);

    const QTextEdit* textEdit() const;

  private:
    QTextEdit* textEdit_;
};

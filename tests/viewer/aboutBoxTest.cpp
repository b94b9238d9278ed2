#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>
#include <utility>

#include "aboutBox.h"
#include "textWindowClass.h"
#include "widgetTests.h"

namespace {

// Closes the modal message box that the code under test runs, remembering what it showed. Polls,
// because the box only becomes the active modal widget once its own event loop runs.
class modalBoxCloser {
  public:
    modalBoxCloser() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { closeActiveBox(); });
        timer_.start(10);
    }

    bool seen() const { return seen_; }
    const QString& title() const { return title_; }
    const QString& text() const { return text_; }

  private:
    void closeActiveBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        seen_ = true;
        title_ = box->windowTitle();
        text_ = box->text();
        timer_.stop();
        box->done(0);
    }

    QTimer timer_;
    bool seen_ = false;
    QString title_;
    QString text_;
};

// A main window, its licence window and an About box configured for them.
struct aboutSetup {
    QWidget mainWindow;
    textWindowClass eulaWindow;
    aboutBox about;

    explicit aboutSetup(aboutBox::config settings)
        : about(std::move(settings), &mainWindow, eulaWindow) {}
};

aboutBox::config eulaConfig(const QString& path) {
    aboutBox::config settings;
    settings.showEula = true;
    settings.eulaTitle = QStringLiteral("Licence");
    settings.eulaPath = path;
    return settings;
}

}  // namespace

class aboutBoxTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void buildsVersionBoxWithOkAsDefault_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("default") << QString();
        QTest::newRow("configured") << QStringLiteral("2.0.7");
    }

    void buildsVersionBoxWithOkAsDefault() {
        QFETCH(QString, version);
        aboutBox::config settings;
        if (!version.isEmpty()) {
            settings.version = version;
        }
        aboutSetup setup(settings);
        const aboutBox::built shown = setup.about.build();
        QMessageBox& box = *shown.box;
        QCOMPARE(box.parentWidget(), nullptr);
        QCOMPARE(box.windowTitle(), QStringLiteral("About"));
        const QString expected = version.isEmpty() ? QStringLiteral("1.5.2") : version;
        QCOMPARE(box.text(), QStringLiteral("Dravix Viewer - Version ") + expected);
        QVERIFY(box.button(QMessageBox::Ok) != nullptr);
        QCOMPARE(box.defaultButton(), box.button(QMessageBox::Ok));
    }

    void extraButtonsExactlyWhenConfigured_data() {
        QTest::addColumn<bool>("aboutQt");
        QTest::addColumn<bool>("eula");
        QTest::newRow("none") << false << false;
        QTest::newRow("About Qt") << true << false;
        QTest::newRow("EULA") << false << true;
        QTest::newRow("both") << true << true;
    }

    void extraButtonsExactlyWhenConfigured() {
        QFETCH(bool, aboutQt);
        QFETCH(bool, eula);
        aboutBox::config settings;
        settings.showAboutQt = aboutQt;
        settings.showEula = eula;
        aboutSetup setup(settings);
        const aboutBox::built shown = setup.about.build();
        QCOMPARE(shown.box->buttons().size(), 1 + int(aboutQt) + int(eula));
        QCOMPARE(shown.aboutQtButton != nullptr, aboutQt);
        QCOMPARE(shown.eulaButton != nullptr, eula);
        const std::pair<QAbstractButton*, QString> extras[] = {{shown.aboutQtButton, "About Qt"},
                                                               {shown.eulaButton, "EULA"}};
        for (const auto& [button, text] : extras) {
            if (button != nullptr) {
                QCOMPARE(button->text(), text);
                QCOMPARE(shown.box->buttonRole(button), QMessageBox::ActionRole);
            }
        }
    }

    void eulaClickShowsLicenceWindow() {
        const QByteArray licence = "Licence terms\n  indented line\n";
        aboutSetup setup(eulaConfig(writeTestFile(dir_, "eula.txt", licence)));
        const aboutBox::built shown = setup.about.build();
        setup.about.onClicked(shown, shown.eulaButton);
        QVERIFY(setup.eulaWindow.isVisible());
        QCOMPARE(setup.eulaWindow.windowTitle(), QStringLiteral("Licence"));
        QCOMPARE(setup.eulaWindow.textEdit()->toPlainText(), QString::fromLocal8Bit(licence));
    }

    void missingEulaWarnsInsteadOfEmptyWindow() {
        const QString missing = dir_.filePath("no-such-eula.txt");
        aboutSetup setup(eulaConfig(missing));
        const aboutBox::built shown = setup.about.build();
        modalBoxCloser closer;
        setup.about.onClicked(shown, shown.eulaButton);
        QVERIFY(closer.seen());
        QVERIFY2(closer.text().contains(missing), qPrintable(closer.text()));
        QVERIFY(!setup.eulaWindow.isVisible());
    }

    void aboutQtClickShowsAboutQt() {
        aboutBox::config settings;
        settings.showAboutQt = true;
        aboutSetup setup(settings);
        const aboutBox::built shown = setup.about.build();
        modalBoxCloser closer;
        setup.about.onClicked(shown, shown.aboutQtButton);
        QVERIFY(closer.seen());
        QCOMPARE(closer.title(), QStringLiteral("About Qt"));
    }

    void okOrNoClickOpensNothing() {
        aboutSetup setup(eulaConfig(writeTestFile(dir_, "eula.txt", "terms")));
        const aboutBox::built shown = setup.about.build();
        modalBoxCloser closer;
        setup.about.onClicked(shown, shown.box->button(QMessageBox::Ok));
        setup.about.onClicked(shown, nullptr);
        QVERIFY(!closer.seen());
        QVERIFY(!setup.eulaWindow.isVisible());
    }

    void shortAboutShowsViewerVersion() {
        QWidget parent;
        modalBoxCloser closer;
        aboutBox::showShortAbout(&parent);
        QVERIFY(closer.seen());
        QCOMPARE(closer.title(), QStringLiteral("About"));
        QCOMPARE(closer.text(), QStringLiteral("ZEL Kyrel Viewer  Version: 1.0"));
    }

  private:
    QTemporaryDir dir_;
};

std::unique_ptr<QObject> makeAboutBoxTest() {
    return std::make_unique<aboutBoxTest>();
}

#include "aboutBoxTest.moc"

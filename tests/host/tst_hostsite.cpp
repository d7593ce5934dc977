// HostSite: ambient properties and notices, message boxes (faked and real), the clipboard, file
// services, DoEvents and type names.
#include <tessera/HostSite.h>
#include <tessera/ImageList.h>

#include "TestHelpers.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace tessera;

namespace picker {
class DatePicker : public QWidget {
    Q_OBJECT
};
} // namespace picker

class QuickPicker : public QObject {
    Q_OBJECT
};

// A subclass without its own meta object reports the class it derives from.
class PlainCombo : public QComboBox { };

namespace {

// Acts on the next modal message box once the event loop shows it.
void whenMessageBoxShows(std::function<void(QMessageBox *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(box);
        }
    });
    timer->start();
}

} // namespace

class tst_HostSite : public QObject {
    Q_OBJECT
private slots:
    void ambientPropertiesSignalOnlyChanges();
    void noticesAreSignalledAndRecordedInOrder();
    void fakeMessageBoxRecordsAndAnswers_data();
    void fakeMessageBoxRecordsAndAnswers();
    void realMessageBoxAnswersWithTheButtonPressed_data();
    void realMessageBoxAnswersWithTheButtonPressed();
    void systemClipboardRoundTrip_data();
    void systemClipboardRoundTrip();
    void clipboardFailuresAndFormats();
    void fileServices();
    void doEventsRunsPendingCalls();
    void typeNameOfObjects_data();
    void typeNameOfObjects();
    void defaultSiteIsShared();
};

void tst_HostSite::ambientPropertiesSignalOnlyChanges()
{
    HostSite site;
    QVERIFY(site.UserMode());
    QCOMPARE(site.Font(), QApplication::font());
    QSignalSpy userMode(&site, &HostSite::UserModeChanged);
    QSignalSpy font(&site, &HostSite::FontChanged);

    site.setUserMode(true);
    site.setUserMode(false);
    site.setUserMode(false);
    QCOMPARE(userMode.count(), 1);
    QCOMPARE(userMode.at(0).at(0).toBool(), false);

    QFont verdana(QStringLiteral("Verdana"), 11);
    site.setFont(verdana);
    site.setFont(verdana);
    QCOMPARE(font.count(), 1);
    QCOMPARE(site.Font(), verdana);
}

void tst_HostSite::noticesAreSignalledAndRecordedInOrder()
{
    HostSite site;
    QSignalSpy spy(&site, &HostSite::PropertyChanged);
    QVERIFY(!site.Dirty());
    site.propertyChanged(QStringLiteral("BackColor"));
    QVERIFY(site.Dirty());
    QVERIFY(site.notices().isEmpty()); // not recording yet

    site.setRecordingNotices(true);
    site.propertyChanged(QStringLiteral("Rows"));
    site.propertyChanged(QStringLiteral("TextMatrix"));
    site.propertyChanged(QStringLiteral("Rows"));
    QCOMPARE(site.notices(),
        QStringList(
            { QStringLiteral("Rows"), QStringLiteral("TextMatrix"), QStringLiteral("Rows") }));
    QCOMPARE(spy.count(), 4);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("BackColor"));

    site.setDirty(false);
    site.clearNotices();
    QVERIFY(site.notices().isEmpty());
    QVERIFY(!site.Dirty());

    // A listener that comes and goes by its connection: the others still hear.
    int heard = 0;
    auto listener = QObject::connect(&site, &HostSite::PropertyChanged, [&heard] { ++heard; });
    site.propertyChanged(QStringLiteral("Cols"));
    QObject::disconnect(listener);
    site.propertyChanged(QStringLiteral("Cols"));
    QCOMPARE(heard, 1);
    QCOMPARE(spy.count(), 6);
}

void tst_HostSite::fakeMessageBoxRecordsAndAnswers_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QList<int>>("queued");
    QTest::addColumn<int>("answer");

    QTest::newRow("OK only") << int(vbOKOnly) << QList<int>() << int(vbOK);
    QTest::newRow("Yes/No, default No")
        << int(vbYesNo | vbQuestion | vbDefaultButton2) << QList<int>() << int(vbNo);
    QTest::newRow("Yes/No/Cancel, default 3")
        << int(vbYesNoCancel | vbDefaultButton3) << QList<int>() << int(vbCancel);
    QTest::newRow("Abort/Retry/Ignore, default 2")
        << int(vbAbortRetryIgnore | vbDefaultButton2) << QList<int>() << int(vbRetry);
    QTest::newRow("default beyond the buttons")
        << int(vbOKCancel | vbDefaultButton3) << QList<int>() << int(vbOK);
    QTest::newRow("queued answer")
        << int(vbRetryCancel) << QList<int> { vbCancel, vbRetry } << int(vbCancel);
}

void tst_HostSite::fakeMessageBoxRecordsAndAnswers()
{
    QFETCH(int, buttons);
    QFETCH(QList<int>, queued);
    QFETCH(int, answer);

    HostSite site;
    FakeHostServices &fake = site.useFakeServices();
    fake.answers = queued;
    QCOMPARE(site.MsgBox(QStringLiteral("Disk full"), buttons, QStringLiteral("Save")), answer);
    QCOMPARE(fake.messageBoxes.size(), 1);
    QCOMPARE(fake.messageBoxes.first(),
        (MessageBoxRequest { QStringLiteral("Disk full"), buttons, QStringLiteral("Save") }));
    QCOMPARE(fake.answers.size(), qMax<qsizetype>(0, queued.size() - 1));
}

void tst_HostSite::realMessageBoxAnswersWithTheButtonPressed_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("press"); // an answer to click, or 0 for Escape, -1 for Enter
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("givenTitle");

    QTest::newRow("click No") << int(vbYesNo) << int(vbNo) << int(vbNo)
                              << QStringList { QStringLiteral("&Yes"), QStringLiteral("&No") }
                              << QStringLiteral("Export");
    QTest::newRow("Enter on default 2")
        << int(vbOKCancel | vbDefaultButton2) << -1 << int(vbCancel)
        << QStringList { QStringLiteral("OK"), QStringLiteral("Cancel") }
        << QStringLiteral("Export");
    QTest::newRow("Escape gives Cancel")
        << int(vbYesNoCancel) << 0 << int(vbCancel)
        << QStringList { QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("Cancel") }
        << QStringLiteral("Export");
    QTest::newRow("Escape on OK only")
        << int(vbOKOnly | vbCritical) << 0 << int(vbOK) << QStringList { QStringLiteral("OK") }
        << QString(); // no title of its own
}

void tst_HostSite::realMessageBoxAnswersWithTheButtonPressed()
{
    QFETCH(int, buttons);
    QFETCH(int, press);
    QFETCH(int, answer);
    QFETCH(QStringList, shown);
    QFETCH(QString, givenTitle);

    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tessera host"));
    HostSite site;
    QString title, text;
    QStringList buttonTexts;
    whenMessageBoxShows([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        for (QAbstractButton *b : box->buttons())
            buttonTexts << b->text();
        if (press > 0) {
            const QMessageBox::StandardButton which
                = press == vbNo ? QMessageBox::No : QMessageBox::Yes;
            QTest::mouseClick(box->button(which), Qt::LeftButton);
        } else {
            QTest::keyClick(box, press == 0 ? Qt::Key_Escape : Qt::Key_Return);
        }
    });
    QCOMPARE(site.MsgBox(QStringLiteral("Overwrite?"), buttons, givenTitle), answer);
    QCOMPARE(title, givenTitle.isEmpty() ? QStringLiteral("Tessera host") : givenTitle);
    QCOMPARE(text, QStringLiteral("Overwrite?"));
    buttonTexts.sort();
    shown.sort();
    QCOMPARE(buttonTexts, shown);
}

void tst_HostSite::systemClipboardRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("block of cells") << QStringLiteral("a\tb\r\nc\td");
    QTest::newRow("unicode") << QStringLiteral("þ q Città € 漢字");
    QTest::newRow("single cell") << QStringLiteral("42");
}

void tst_HostSite::systemClipboardRoundTrip()
{
    QFETCH(QString, text);
    HostSite site; // real services
    site.Clipboard().SetText(text);
    QCOMPARE(QApplication::clipboard()->text(), text);
    QCOMPARE(site.Clipboard().GetText(), text);
    site.Clipboard().Clear();
    QCOMPARE(site.Clipboard().GetText(vbCFText), QString());
}

void tst_HostSite::clipboardFailuresAndFormats()
{
    HostSite site;
    FakeHostServices &fake = site.useFakeServices();
    site.Clipboard().SetText(QStringLiteral("x"));
    QCOMPARE(fake.clipboard, QStringLiteral("x"));
    QVERIFY_TESSERA_ERROR(site.Clipboard().GetText(2), 5);
    QVERIFY_TESSERA_ERROR(site.Clipboard().SetText(QStringLiteral("y"), 8), 5);
    QCOMPARE(fake.clipboard, QStringLiteral("x"));

    fake.clipboardFails = true;
    QVERIFY_TESSERA_ERROR(site.Clipboard().GetText(), 521);
    QVERIFY_TESSERA_ERROR(site.Clipboard().SetText(QStringLiteral("y")), 521);
    QVERIFY_TESSERA_ERROR(site.Clipboard().Clear(), 521);
    QCOMPARE(fake.clipboard, QStringLiteral("x"));
}

void tst_HostSite::fileServices()
{
    QTemporaryDir dir;
    HostSite site;
    const QString file = dir.filePath(QStringLiteral("export.xml"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    QVERIFY(site.FileExists(file));
    QVERIFY(!site.FileExists(QString()));
    QVERIFY(!site.FileExists(dir.path()));
    QVERIFY(!site.FileExists(dir.filePath(QStringLiteral("absent.xml"))));
    QVERIFY(!site.FileExists(QStringLiteral("\n*?<>|")));

    site.Kill(file);
    QVERIFY(!QFile::exists(file));
    QVERIFY_TESSERA_ERROR(site.Kill(file), 53);
    QVERIFY_TESSERA_ERROR(site.Kill(dir.path()), 53);
    QVERIFY(QFileInfo(dir.path()).isDir());
}

void tst_HostSite::doEventsRunsPendingCalls()
{
    HostSite site;
    bool ran = false;
    QMetaObject::invokeMethod(
        &site, [&ran] { ran = true; }, Qt::QueuedConnection);
    QVERIFY(!ran);
    site.DoEvents();
    QVERIFY(ran);
}

void tst_HostSite::typeNameOfObjects_data()
{
    QTest::addColumn<QObject *>("object");
    QTest::addColumn<QString>("name");

    auto *owner = new QObject(this);
    QTest::newRow("none") << static_cast<QObject *>(nullptr) << QStringLiteral("Nothing");
    QTest::newRow("QComboBox") << static_cast<QObject *>(new QComboBox)
                               << QStringLiteral("ComboBox");
    QTest::newRow("QLineEdit") << static_cast<QObject *>(new QLineEdit)
                               << QStringLiteral("LineEdit");
    QTest::newRow("QTimer") << static_cast<QObject *>(new QTimer(owner)) << QStringLiteral("Timer");
    QTest::newRow("QObject") << new QObject(owner) << QStringLiteral("Object");
    QTest::newRow("ImageList") << static_cast<QObject *>(new ImageList(owner))
                               << QStringLiteral("ImageList");
    QTest::newRow("HostSite") << static_cast<QObject *>(new HostSite(owner))
                              << QStringLiteral("HostSite");
    QTest::newRow("host class in namespace")
        << static_cast<QObject *>(new picker::DatePicker) << QStringLiteral("DatePicker");
    QTest::newRow("host class starting with Q")
        << static_cast<QObject *>(new QuickPicker) << QStringLiteral("QuickPicker");
    QTest::newRow("subclass without meta object")
        << static_cast<QObject *>(new PlainCombo) << QStringLiteral("ComboBox");
}

void tst_HostSite::typeNameOfObjects()
{
    QFETCH(QObject *, object);
    QFETCH(QString, name);
    QCOMPARE(TypeName(object), name);
    if (object && !object->parent())
        delete object;
}

void tst_HostSite::defaultSiteIsShared()
{
    HostSite *site = HostSite::defaultSite();
    QCOMPARE(HostSite::defaultSite(), site);
    QVERIFY(site->UserMode());
    FakeHostServices &fake = site->useFakeServices();
    QCOMPARE(site->MsgBox(QStringLiteral("hello")), int(vbOK));
    QCOMPARE(fake.messageBoxes.size(), 1);
    site->setServices(nullptr); // back to the real services
    QVERIFY(dynamic_cast<FakeHostServices *>(&site->services()) == nullptr);
}

QTEST_MAIN(tst_HostSite)
#include "tst_hostsite.moc"

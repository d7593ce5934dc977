// The platform behind the host site: real message boxes, clipboard and files (QtHostServices),
// the fake tests drive (FakeHostServices), and the type names of objects.
#include <tessera/Error.h>
#include <tessera/HostSite.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>

#include <cstdio>

namespace tessera {

namespace {

QClipboard *systemClipboard()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        throw Error(errCantOpenClipboard,
            QStringLiteral("Can't open Clipboard: no GUI application is running"));
    return QGuiApplication::clipboard();
}

QMessageBox::StandardButton standardButton(int answer)
{
    switch (answer) {
    case vbOK:
        return QMessageBox::Ok;
    case vbCancel:
        return QMessageBox::Cancel;
    case vbAbort:
        return QMessageBox::Abort;
    case vbRetry:
        return QMessageBox::Retry;
    case vbIgnore:
        return QMessageBox::Ignore;
    case vbYes:
        return QMessageBox::Yes;
    case vbNo:
        return QMessageBox::No;
    default:
        return QMessageBox::NoButton;
    }
}

} // namespace

QList<int> msgBoxAnswers(int buttons)
{
    switch (buttons & 0xF) {
    case vbOKCancel:
        return { vbOK, vbCancel };
    case vbAbortRetryIgnore:
        return { vbAbort, vbRetry, vbIgnore };
    case vbYesNoCancel:
        return { vbYes, vbNo, vbCancel };
    case vbYesNo:
        return { vbYes, vbNo };
    case vbRetryCancel:
        return { vbRetry, vbCancel };
    default:
        return { vbOK };
    }
}

int msgBoxDefaultAnswer(int buttons)
{
    const QList<int> answers = msgBoxAnswers(buttons);
    const qsizetype which = (buttons >> 8) & 0x3; // vbDefaultButton1..3 (4 is beyond any set)
    return answers.value(which < answers.size() ? which : 0);
}

HostServices::~HostServices() = default;

int QtHostServices::showMessageBox(const MessageBoxRequest &request)
{
    // A box without a title of its own carries the application's name.
    const QString title = !request.title.isEmpty() ? request.title
        : qobject_cast<QGuiApplication *>(QCoreApplication::instance())
        ? QGuiApplication::applicationDisplayName()
        : QCoreApplication::applicationName();
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        // No widgets to show: tell the console and take the default, as Enter would.
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(request.text));
        return msgBoxDefaultAnswer(request.buttons);
    }

    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (request.buttons & 0x70) {
    case vbCritical:
        icon = QMessageBox::Critical;
        break;
    case vbQuestion:
        icon = QMessageBox::Question;
        break;
    case vbExclamation:
        icon = QMessageBox::Warning;
        break;
    case vbInformation:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    QMessageBox box(icon, title, request.text, QMessageBox::NoButton, QApplication::activeWindow());
    const QList<int> answers = msgBoxAnswers(request.buttons);
    for (int answer : answers)
        box.addButton(standardButton(answer));
    box.setDefaultButton(standardButton(msgBoxDefaultAnswer(request.buttons)));
    // Escape and the close button give Cancel where there is one, else the only button.
    if (answers.contains(vbCancel))
        box.setEscapeButton(standardButton(vbCancel));
    else if (answers.size() == 1)
        box.setEscapeButton(standardButton(answers.first()));
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (int answer : answers) {
        if (standardButton(answer) == clicked)
            return answer;
    }
    return answers.contains(vbCancel) ? int(vbCancel) : msgBoxDefaultAnswer(request.buttons);
}

QString QtHostServices::clipboardText()
{
    return systemClipboard()->text(QClipboard::Clipboard);
}

void QtHostServices::setClipboardText(const QString &text)
{
    systemClipboard()->setText(text, QClipboard::Clipboard);
}

void QtHostServices::clearClipboard()
{
    systemClipboard()->clear(QClipboard::Clipboard);
}

bool QtHostServices::fileExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

void QtHostServices::deleteFile(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir())
        throw Error(errFileNotFound, QStringLiteral("File not found: \"%1\"").arg(path));
    QFile file(path);
    if (!file.remove())
        throw Error(errFileAccess,
            QStringLiteral("Path/File access error: \"%1\" (%2)").arg(path, file.errorString()));
}

int FakeHostServices::showMessageBox(const MessageBoxRequest &request)
{
    messageBoxes.append(request);
    if (!answers.isEmpty())
        return answers.takeFirst();
    return msgBoxDefaultAnswer(request.buttons);
}

static void checkFakeClipboard(bool fails)
{
    if (fails)
        throw Error(errCantOpenClipboard, QStringLiteral("Can't open Clipboard"));
}

QString FakeHostServices::clipboardText()
{
    checkFakeClipboard(clipboardFails);
    return clipboard;
}

void FakeHostServices::setClipboardText(const QString &text)
{
    checkFakeClipboard(clipboardFails);
    clipboard = text;
}

void FakeHostServices::clearClipboard()
{
    checkFakeClipboard(clipboardFails);
    clipboard.clear();
}

QString TypeName(const QObject *object)
{
    if (!object)
        return QStringLiteral("Nothing");
    QString name = QString::fromLatin1(object->metaObject()->className());
    const qsizetype scope = name.lastIndexOf(QLatin1String("::"));
    if (scope >= 0)
        return name.mid(scope + 2);
    // Qt's own classes live in no namespace and start with Q and a capital.
    if (name.size() > 1 && name.at(0) == QLatin1Char('Q') && name.at(1).isUpper())
        name.remove(0, 1);
    return name;
}

} // namespace tessera

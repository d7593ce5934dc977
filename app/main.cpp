// tessera-demo: the host form that shows the grid. Run with --screenshot FILE to write a PNG
// of the form instead of opening it (used where there is no display).
#include "demo_form.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessera-demo"));

    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
        QStringLiteral("Write a PNG of the form and quit."), QStringLiteral("file"));
    parser.addOption(screenshot);
    QCommandLineOption bind(
        QStringLiteral("bind"), QStringLiteral("Start with the large record set bound."));
    parser.addOption(bind);
    parser.process(app);

    DemoForm form;
    form.show();
    if (parser.isSet(bind)) {
        if (QAction *action = form.findChild<QAction *>(QStringLiteral("actionBind")))
            action->trigger();
    }
    if (parser.isSet(screenshot)) {
        QApplication::processEvents();
        return form.grab().save(parser.value(screenshot)) ? 0 : 1;
    }
    return QApplication::exec();
}

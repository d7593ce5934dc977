// tessera-demo: the host form that shows the grid. Run with --screenshot FILE to write a PNG
// of the form instead of opening it (used where there is no display).
#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessera-demo"));

    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Write a PNG of the form and quit."),
                                  QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.process(app);

    QWidget form;
    form.setWindowTitle(QStringLiteral("Tessera demo"));
    auto *layout = new QVBoxLayout(&form);
    layout->addWidget(new QLabel(QStringLiteral(
        "Tessera demo: the grid form is not built yet; this window stands in for it.")));
    form.resize(640, 400);

    if (parser.isSet(screenshot)) {
        form.show();
        QApplication::processEvents();
        return form.grab().save(parser.value(screenshot)) ? 0 : 1;
    }
    form.show();
    return QApplication::exec();
}

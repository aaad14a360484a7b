#include <QApplication>
#include <QLabel>

// Placeholder until the main window lands.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("kestrune-demo: the main window is not built yet"));
    label.show();
    return app.exec();
}

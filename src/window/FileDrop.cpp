#include "FileDrop.h"

#include "CommandHost.h"
#include "ScriptCommands.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

namespace kest {

namespace {

// The first local file a drag carries; empty when it carries none.
QString droppedFile(const QMimeData *data)
{
    if (data != nullptr)
        for (const QUrl &url : data->urls())
            if (url.isLocalFile())
                return url.toLocalFile();
    return {};
}

} // namespace

FileDrop::FileDrop(QWidget *window, std::initializer_list<QWidget *> controls, const QWidget &loadScript,
                   CommandHost &host)
    : QObject(window), loadScript_(loadScript), host_(host)
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    for (QWidget *control : controls)
        control->installEventFilter(this);
}

bool FileDrop::eventFilter(QObject *, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    const QString path = droppedFile(drop->mimeData());
    // A copy, never a move: the program that dragged the file would delete it after a move.
    if (path.isEmpty() || !(drop->possibleActions() & Qt::CopyAction))
        return false;
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    // Loaded once the drop has been answered: the program that dragged the file waits until then.
    if (type == QEvent::Drop)
        QTimer::singleShot(0, this, [this, path] { open(path); });
    return true;
}

void FileDrop::open(const QString &path)
{
    if (!path.endsWith(QLatin1String(".sql"), Qt::CaseInsensitive))
        host_.setDatabaseText(path);
    else if (loadScript_.isEnabled())
        LoadScript(host_, path);
}

} // namespace kest

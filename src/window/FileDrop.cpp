#include "FileDrop.h"

#include "CommandHost.h"
#include "Desktop.h"
#include "ScriptCommands.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

namespace kest {

namespace {

const QString TwoLineBreaks = QStringLiteral("\r\n\r\n");

// The files a drag carries: its URLs of the file scheme, whatever their host.
QList<QUrl> droppedFiles(const QMimeData *data)
{
    QList<QUrl> files;
    if (data != nullptr)
        for (const QUrl &url : data->urls())
            if (url.isLocalFile())
                files << url;
    return files;
}

bool isScript(const QString &path)
{
    return path.endsWith(QLatin1String(".sql"), Qt::CaseInsensitive);
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
    const QList<QUrl> files = droppedFiles(drop->mimeData());
    // A copy, never a move: the program that dragged the file would delete it after a move.
    if (files.isEmpty() || !(drop->possibleActions() & Qt::CopyAction))
        return false;
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    // Taken once the drop has been answered: the program that dragged the files waits until then.
    if (type == QEvent::Drop)
        QTimer::singleShot(0, this, [this, files] { take(files); });
    return true;
}

void FileDrop::take(const QList<QUrl> &files)
{
    if (files.size() > 1) {
        QStringList names;
        for (const QUrl &url : files)
            names << url.toDisplayString(QUrl::PreferLocalFile);
        refuse(ManyFilesPrompt + TwoLineBreaks + names.join(QStringLiteral("\r\n")));
        return;
    }
    QUrl url = files.first();
    // The name the system gave the file on this computer: "localhost" is this computer.
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        url.setHost(QString());
    const QString path = url.toLocalFile();
    const QString encoded = url.path(QUrl::FullyEncoded);
    const bool utf8 = QByteArrayView(QByteArray::fromPercentEncoding(encoded.toLatin1())).isValidUtf8();
    // A name that is not UTF-8 is shown with its bytes escaped, as no decoding would show it right.
    const QString cannot = (isScript(path) ? NotLoadedPrompt : NotUsedPrompt) +
                           (utf8 ? url.toDisplayString(QUrl::PreferLocalFile) : encoded);
    if (!url.host().isEmpty())
        refuse(cannot + TwoLineBreaks + OtherComputerReason);
    else if (!utf8)
        refuse(cannot + TwoLineBreaks + NameNotUtf8Reason);
    else if (isScript(path) && !QFileInfo::exists(path))
        refuse(cannot + TwoLineBreaks + MissingReason);
    else
        open(path);
}

void FileDrop::open(const QString &path)
{
    if (!isScript(path))
        host_.setDatabaseText(path);
    else if (loadScript_.isEnabled())
        LoadScript(host_, path);
}

void FileDrop::refuse(const QString &prompt)
{
    host_.desktop().message(prompt, NotLoadedTitle, MessageButtons::Ok, MessageIcon::Critical);
}

} // namespace kest

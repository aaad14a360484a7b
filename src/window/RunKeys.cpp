#include "RunKeys.h"

#include <QAbstractButton>
#include <QShortcut>

#include <initializer_list>

namespace kest {

void AddRunKeys(QWidget *window, QAbstractButton *runQuery, QAbstractButton *exec, QAbstractButton *stop)
{
    const auto keys = [window](QAbstractButton *button, std::initializer_list<QKeySequence> sequences) {
        for (const QKeySequence &sequence : sequences)
            QObject::connect(new QShortcut(sequence, window), &QShortcut::activated, button, &QAbstractButton::click);
    };
    // Enter is the keypad's key, Return the main one; the editor would take Ctrl+Return as a new line.
    keys(runQuery, {Qt::Key_F5, Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter});
    keys(exec, {Qt::SHIFT | Qt::Key_F5, Qt::CTRL | Qt::SHIFT | Qt::Key_Return, Qt::CTRL | Qt::SHIFT | Qt::Key_Enter});
    keys(stop, {Qt::Key_Escape});
}

} // namespace kest

#pragma once
// Keys that act from anywhere in the window, as people who work in SQL tools expect: F5 and
// Ctrl+Enter run the query window with Run Query, Shift+F5 and Ctrl+Shift+Enter with Exec, and
// Esc stops a running query (Stop's access key, Alt+S, is also Save Script's and SQLite's). Each
// key clicks its button, so a key does nothing where the click would not (a disabled button),
// and a run that a click would start while another runs is refused as the click is.

class QAbstractButton;
class QWidget;

namespace kest {

void AddRunKeys(QWidget *window, QAbstractButton *runQuery, QAbstractButton *exec, QAbstractButton *stop);

} // namespace kest

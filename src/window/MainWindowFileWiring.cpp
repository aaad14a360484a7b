// The buttons of scripts, clipboard and links, the browse button and the Unicode box.

#include "MainWindow.h"

#include "BrowseDatabase.h"
#include "ClipboardCommands.h"
#include "LinkCommands.h"
#include "ScriptCommands.h"
#include "UnicodeSwitch.h"

#include <QCheckBox>
#include <QPushButton>

namespace kest {

void MainWindow::wireFileCommands()
{
    connect(button(Button::Browse), &QPushButton::clicked, this, [this] { onBrowseClicked(*this); });
    connect(button(Button::LoadScript), &QPushButton::clicked, this, [this] { onLoadScriptClicked(*this); });
    connect(button(Button::SaveScript), &QPushButton::clicked, this, [this] { onSaveScriptClicked(*this); });
    connect(button(Button::Copy), &QPushButton::clicked, this, [this] { onCopyClicked(*this); });
    connect(button(Button::Paste), &QPushButton::clicked, this, [this] { onPasteClicked(*this); });
    connect(button(Button::Website), &QPushButton::clicked, this, [this] { onWebsiteClicked(*this); });
    connect(button(Button::Sqlite), &QPushButton::clicked, this, [this] { onSqliteClicked(*this); });
    // Any change of the box's value, by a click or by the program, is its Click event.
    connect(unicodeBox, &QCheckBox::stateChanged, this, [this] { onUnicodeBoxChanged(*this); });
}

} // namespace kest

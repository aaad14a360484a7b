// The buttons of scripts, clipboard and links, the browse button and the Unicode box.

#include "frmMain.h"

#include "BrowseDatabase.h"
#include "ClipboardCommands.h"
#include "LinkCommands.h"
#include "ScriptCommands.h"
#include "UnicodeSwitch.h"

#include <QCheckBox>
#include <QPushButton>

namespace kest {

void frmMain::wireFileCommands()
{
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(*this); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(*this); });
    connect(Command17, &QPushButton::clicked, this, [this] { Command17_Click(*this); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(*this); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(*this); });
    connect(Command7, &QPushButton::clicked, this, [this] { Command7_Click(*this); });
    connect(Command8, &QPushButton::clicked, this, [this] { Command8_Click(*this); });
    // Any change of the box's value, by a click or by the program, is its Click event.
    connect(chkUnicode, &QCheckBox::stateChanged, this, [this] { chkUnicode_Click(*this); });
}

} // namespace kest

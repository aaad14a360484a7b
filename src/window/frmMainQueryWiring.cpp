// The buttons that run SQL: Run Query, Exec, Stop, Clear, the demonstration database and the
// canned queries.

#include "frmMain.h"

#include "CannedQueries.h"
#include "Exec.h"
#include "DemoDatabase.h"
#include "RunQuery.h"
#include "StopClear.h"

#include <QPushButton>

namespace kest {

void frmMain::wireQueryCommands()
{
    const auto wire = [this](QPushButton *button, void (*handler)(CommandHost &)) {
        connect(button, &QPushButton::clicked, this, [this, handler] { handler(*this); });
    };
    wire(Command1, Command1_Click);
    wire(Command12, Command12_Click);
    wire(Command14, Command14_Click);
    wire(Command15, Command15_Click);
    wire(Command11, Command11_Click);
    wire(Command16, Command16_Click);
    wire(Command13, Command13_Click);
    wire(Command18, Command18_Click);
    wire(Command9, Command9_Click);
    wire(Command10, Command10_Click);
}

} // namespace kest

// The buttons that run SQL: Run Query, Exec, Stop, Clear, the demonstration database and the
// canned queries.

#include "MainWindow.h"

#include "CannedQueries.h"
#include "Exec.h"
#include "DemoDatabase.h"
#include "RunQuery.h"
#include "StopClear.h"

#include <QPushButton>

namespace kest {

void MainWindow::wireQueryCommands()
{
    const auto wire = [this](QPushButton *button, void (*handler)(CommandHost &)) {
        connect(button, &QPushButton::clicked, this, [this, handler] { handler(*this); });
    };
    wire(button(Button::RunQuery), onRunQueryClicked);
    wire(button(Button::Exec), onExecClicked);
    wire(button(Button::Stop), onStopClicked);
    wire(button(Button::Clear), onClearClicked);
    wire(button(Button::Query1), onQuery1Clicked);
    wire(button(Button::Query2), onQuery2Clicked);
    wire(button(Button::DbInfo), onDbInfoClicked);
    wire(button(Button::Explain), onExplainClicked);
    wire(button(Button::Populate), onPopulateClicked);
    wire(button(Button::Drop), onDropClicked);
}

} // namespace kest

#pragma once
// Run Query: the query window's SQL through the table path, then the status line.

namespace kest {

class CommandHost;

void onRunQueryClicked(CommandHost &host);

} // namespace kest

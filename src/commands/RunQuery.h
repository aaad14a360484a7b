#pragma once
// Run Query: the query window's SQL through the table path, then the status line.

namespace kest {

class CommandHost;

// Refused, changing nothing, while another command that runs SQL is under way.
void onRunQueryClicked(CommandHost &host);

} // namespace kest

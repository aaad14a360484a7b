#pragma once
// Populate and Drop: the demonstration tables created, filled and removed in the database that
// the database-file box names.

namespace kest {

class CommandHost;

// Asks first, then creates both tables, fills them, shows the example query and reports the
// outcome with the time of the whole sequence.
void onPopulateClicked(CommandHost &host);

// Asks first, then drops both tables and empties the results list.
void onDropClicked(CommandHost &host);

} // namespace kest

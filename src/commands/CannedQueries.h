#pragma once
// The canned queries: each puts its SQL into the query window and performs Run Query.

namespace kest {

class CommandHost;

void onQuery1Clicked(CommandHost &host); // Query 1
void onQuery2Clicked(CommandHost &host); // Query 2
void onDbInfoClicked(CommandHost &host); // DB Info
void onExplainClicked(CommandHost &host); // Explain, built on the query window's text

} // namespace kest

#pragma once
// The canned queries: each puts its SQL into the query window and performs Run Query.
// While another command runs SQL they are refused before touching the query window.

namespace kest {

class CommandHost;

void Command11_Click(CommandHost &host); // Query 1
void Command16_Click(CommandHost &host); // Query 2
void Command13_Click(CommandHost &host); // DB Info
void Command18_Click(CommandHost &host); // Explain, built on the query window's text

} // namespace kest

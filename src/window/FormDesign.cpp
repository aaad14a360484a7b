#include "FormDesign.h"

#include <QtMath>

namespace kest::design {

namespace {

constexpr Place Places[] = {
    {"Label1", 105, 105, 1350, 255},
    {"Text1", 1575, 105, 8130, 285},
    {"Command3", 9765, 105, 540, 225},
    {"Label2", 1365, 420, 1245, 255},
    {"Text2", 2730, 420, 7605, 1440},
    {"Command7", 210, 735, 1065, 330},
    {"Command5", 1470, 735, 1065, 330},
    {"Command8", 210, 1155, 1065, 330},
    {"Command17", 1470, 1155, 1065, 330},
    {"Command2", 210, 1575, 1065, 330},
    {"chkUnicode", 1575, 1680, 960, 225},
    {"Frame1", 6720, 1890, 3585, 645},
    {"Command9", 105, 210, 855, 330},
    {"Command11", 1050, 210, 750, 330},
    {"Command10", 2730, 210, 750, 330},
    {"Command16", 1890, 210, 750, 330},
    {"Command1", 210, 2100, 960, 330},
    {"Command12", 1155, 2100, 960, 330},
    {"Command14", 2100, 2100, 645, 330},
    {"Command13", 2940, 2100, 855, 330},
    {"Command18", 3885, 2100, 750, 330},
    {"Command15", 4725, 2100, 645, 330},
    {"Command6", 5355, 2100, 645, 330},
    {"Command4", 5985, 2100, 645, 330},
    {"lvResults", 105, 2625, 10215, 3495},
    {"SB1", 0, 6195, 10455, 255},
};

constexpr Caption Captions[] = {
    {"Label1", "Database File", nullptr},
    {"Command3", ">>>", nullptr},
    {"Label2", "SQL Query", nullptr},
    {"Command1", "Run &Query",
     "Run the query in the window using sqlite_get_table (CROSS JOINs may hang your PC for a "
     "long time!)"},
    {"Command12", "&Exec", "Run the query in the window using sqlite3_exec (Safe for CROSS JOINs)"},
    {"Command14", "&Stop", "Stop a query which is running "},
    {"Command15", "&Clear", "Clear the results list"},
    {"Command5", "&Load Script", "Load an SQL text file to the interface"},
    {"Command17", "&Save Script", "Save the current SQL script to file"},
    {"Command4", "&Paste", "Paste the clipboard into the query window"},
    {"Command6", "&Copy", "Copy query to the clipboard"},
    {"Command13", "&DB Info", "Show database information and table names"},
    {"Command18", "&Explain", "Explain (Decompile) the current SQL statement"},
    {"Command16", "Query &2", "Query the demo database"},
    {"Frame1", "Demonstration Database Tables", nullptr},
    {"Command9", "P&opulate", "Create and populate a demo database"},
    {"Command10", "D&rop", "Drop the demo tables (USE WITH CAUTION)"},
    {"Command11", "Query &1", "Query the demo database"},
    {"Command8", "&SQLite", "Visit the SQLite website at sqlite.org "},
    {"Command7", "&Website", "Visit the website of this demo's author"},
    {"chkUnicode", "Unicode", "Turn Unicode (UTF-16) support On or Off"},
    {"Command2", "&Exit", nullptr},
};

constexpr const char *FocusOrder[] = {
    "Command1",  "Command12", "Command14", "Command13",  "Command18", "Command15",
    "Command6",  "Command4",  "Command9",  "Command11",  "Command16", "Command10",
    "lvResults", "Command3",  "Text1",     "Text2",      "Command5",  "Command17",
    "chkUnicode", "Command7", "Command8",  "Command2",
};

constexpr Buddy Buddies[] = {
    {"Label1", "Text1"},
    {"Label2", "Text2"},
};

// The status bar has none: its name is then its message, which screen readers follow as it changes.
constexpr AccessibleName AccessibleNames[] = {
    {"Text1", "Database file"},
    {"Command3", "Browse for a database file"},
    {"Text2", "SQL query"},
    {"lvResults", "Query results"},
};

} // namespace

std::span<const Buddy> buddies() { return Buddies; }

const char *accessibleName(std::string_view name)
{
    for (const AccessibleName &n : AccessibleNames)
        if (name == n.name)
            return n.accessibleName;
    return nullptr;
}

std::span<const AccessibleName> accessibleNames() { return AccessibleNames; }

std::span<const Place> places() { return Places; }
const Place &place(std::string_view name)
{
    for (const Place &p : Places)
        if (name == p.name)
            return p;
    Q_UNREACHABLE();
}

std::span<const Caption> captions() { return Captions; }
std::span<const char *const> focusOrder() { return FocusOrder; }

int toPixels(int twips)
{
    return qRound(static_cast<double>(twips) / TwipsPerPixel);
}

QRect toPixels(const Place &place)
{
    return {toPixels(place.left), toPixels(place.top), toPixels(place.width),
            toPixels(place.height)};
}

QSize designClientSize()
{
    return {toPixels(ClientWidthTwips), toPixels(ClientHeightTwips)};
}

} // namespace kest::design

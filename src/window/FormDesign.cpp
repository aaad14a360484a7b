#include "FormDesign.h"

#include <QtMath>

#include <algorithm>

namespace kest::design {

namespace {

constexpr Control Controls[] = {
    // name, kind, place, tab stop, caption, tooltip, accessible name, button
    {"Label1", Kind::Label, {105, 105, 1350, 255}, -1, "Database File"},
    {"Text1", Kind::LineEdit, {1575, 105, 8130, 285}, 14, nullptr, nullptr, "Database file"},
    {"Command3", Kind::Button, {9765, 105, 540, 225}, 13, ">>>", nullptr, "Browse for a database file", Button::Browse},
    {"Label2", Kind::Label, {1365, 420, 1245, 255}, -1, "SQL Query"},
    {"Text2", Kind::TextEdit, {2730, 420, 7605, 1440}, 15, nullptr, nullptr, "SQL query"},
    {"Command7", Kind::Button, {210, 735, 1065, 330}, 19, "&Website", "Visit the website of this demo's author", nullptr,
     Button::Website},
    {"Command5", Kind::Button, {1470, 735, 1065, 330}, 16, "&Load Script", "Load an SQL text file to the interface", nullptr,
     Button::LoadScript},
    {"Command8", Kind::Button, {210, 1155, 1065, 330}, 20, "&SQLite", "Visit the SQLite website at sqlite.org ", nullptr,
     Button::Sqlite},
    {"Command17", Kind::Button, {1470, 1155, 1065, 330}, 17, "&Save Script", "Save the current SQL script to file", nullptr,
     Button::SaveScript},
    {"Command2", Kind::Button, {210, 1575, 1065, 330}, 21, "&Exit", nullptr, nullptr, Button::Exit},
    {"chkUnicode", Kind::CheckBox, {1575, 1680, 960, 225}, 18, "Unicode", "Turn Unicode (UTF-16) support On or Off"},
    {"Frame1", Kind::Frame, {6720, 1890, 3585, 645}, -1, "Demonstration Database Tables"},
    {"Command9", Kind::Button, {105, 210, 855, 330, true}, 8, "P&opulate", "Create and populate a demo database", nullptr,
     Button::Populate},
    {"Command11", Kind::Button, {1050, 210, 750, 330, true}, 9, "Query &1", "Query the demo database", nullptr,
     Button::Query1},
    {"Command10", Kind::Button, {2730, 210, 750, 330, true}, 11, "D&rop", "Drop the demo tables (USE WITH CAUTION)", nullptr,
     Button::Drop},
    {"Command16", Kind::Button, {1890, 210, 750, 330, true}, 10, "Query &2", "Query the demo database", nullptr,
     Button::Query2},
    {"Command1", Kind::Button, {210, 2100, 960, 330}, 0, "Run &Query",
     "Run the query in the window using sqlite_get_table (CROSS JOINs may hang your PC for a long time!)", nullptr,
     Button::RunQuery},
    {"Command12", Kind::Button, {1155, 2100, 960, 330}, 1, "&Exec",
     "Run the query in the window using sqlite3_exec (Safe for CROSS JOINs)", nullptr, Button::Exec},
    {"Command14", Kind::Button, {2100, 2100, 645, 330}, 2, "&Stop", "Stop a query which is running ", nullptr, Button::Stop},
    {"Command13", Kind::Button, {2940, 2100, 855, 330}, 3, "&DB Info", "Show database information and table names", nullptr,
     Button::DbInfo},
    {"Command18", Kind::Button, {3885, 2100, 750, 330}, 4, "&Explain", "Explain (Decompile) the current SQL statement",
     nullptr, Button::Explain},
    {"Command15", Kind::Button, {4725, 2100, 645, 330}, 5, "&Clear", "Clear the results list", nullptr, Button::Clear},
    {"Command6", Kind::Button, {5355, 2100, 645, 330}, 6, "&Copy", "Copy query to the clipboard", nullptr, Button::Copy},
    {"Command4", Kind::Button, {5985, 2100, 645, 330}, 7, "&Paste", "Paste the clipboard into the query window", nullptr,
     Button::Paste},
    {"lvResults", Kind::List, {105, 2625, 10215, 3495}, 12, nullptr, nullptr, "Query results"},
    // No accessible name: the status bar's name is then its message, which screen readers follow.
    {"SB1", Kind::StatusBar, {0, ClientHeightTwips - StatusBarHeightTwips, ClientWidthTwips, StatusBarHeightTwips}},
};

constexpr int count(Kind kind)
{
    return int(std::ranges::count(Controls, kind, &Control::kind));
}

// Each button once: the window finds its buttons by the enum.
constexpr bool eachButtonOnce()
{
    for (int b = 0; b < ButtonCount; ++b)
        if (std::ranges::count_if(Controls, [b](const Control &c) { return c.kind == Kind::Button && int(c.button) == b; }) != 1)
            return false;
    return count(Kind::Button) == ButtonCount;
}

// Tab stops numbered from 0 without a gap or a repeat.
constexpr bool focusOrderWhole()
{
    const auto stops = std::ranges::count_if(Controls, [](const Control &c) { return c.tabStop >= 0; });
    for (int t = 0; t < stops; ++t)
        if (std::ranges::count(Controls, t, &Control::tabStop) != 1)
            return false;
    return true;
}

// A label names the field after it; the controls inside the frame come after the frame.
constexpr bool inDesignOrder()
{
    bool frame = false;
    for (std::size_t i = 0; i < std::size(Controls); ++i) {
        const Control &c = Controls[i];
        if (c.kind == Kind::Label && (i + 1 == std::size(Controls) ||
                                      (Controls[i + 1].kind != Kind::LineEdit && Controls[i + 1].kind != Kind::TextEdit)))
            return false;
        frame = frame || c.kind == Kind::Frame;
        if (c.place.inFrame && !frame)
            return false;
    }
    return true;
}

static_assert(eachButtonOnce(), "every Button, once");
static_assert(focusOrderWhole(), "tab stops 0 to n - 1, each once");
static_assert(inDesignOrder(), "each label before its field, the frame before its controls");
static_assert(count(Kind::LineEdit) == 1 && count(Kind::TextEdit) == 1 && count(Kind::CheckBox) == 1 &&
                  count(Kind::Frame) == 1 && count(Kind::List) == 1 && count(Kind::StatusBar) == 1,
              "one control of each kind but Label and Button");

} // namespace

std::span<const Control> controls() { return Controls; }

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

#pragma once
// The design of `frmMain` as the form designer would keep it: each control's place in twips,
// its caption and tooltip, the focus order, and what assistive technology calls the controls
// that a caption does not name. 15 twips make one device-independent pixel
// (96 dpi); Qt scales pixels for high-dpi screens.

#include <QRect>
#include <QSize>

#include <span>
#include <string_view>

namespace kest::design {

inline constexpr int TwipsPerPixel = 15;

// The client area at the design size.
inline constexpr int ClientWidthTwips = 10455;
inline constexpr int ClientHeightTwips = 6450;

struct Place {
    const char *name;
    int left, top, width, height; // twips; inside `Frame1` for the buttons in the frame
};

struct Caption {
    const char *name;
    const char *caption;  // "&" marks the access key
    const char *toolTip;  // nullptr: none
};

std::span<const Place> places();
// The place of the control `name`, which must be in places().
const Place &place(std::string_view name);
std::span<const Caption> captions();

// Labels and the field each names (QLabel::setBuddy), which screen readers read as the field's label.
struct Buddy {
    const char *label;
    const char *field;
};
std::span<const Buddy> buddies();

// What assistive technology calls the controls that no caption names, or whose caption does not
// say what they do; the buttons' captions name the others.
struct AccessibleName {
    const char *name;
    const char *accessibleName;
};
std::span<const AccessibleName> accessibleNames();
// The accessible name of the control `name`, or nullptr where its caption names it. A widget
// shown in a control's place (another view of the query window) takes the same name.
const char *accessibleName(std::string_view name);
// Tab order, first to last.
std::span<const char *const> focusOrder();

// Whole pixels from twips, to the nearest pixel.
int toPixels(int twips);
QRect toPixels(const Place &place);
QSize designClientSize();

} // namespace kest::design

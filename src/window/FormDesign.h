#pragma once
// The design of the main window as the form designer would keep it: one entry per control with
// its place in twips, caption, tooltip, place in the focus order and what assistive technology
// calls it. 15 twips make one device-independent pixel (96 dpi); Qt scales pixels for high-dpi
// screens.

#include "CommandHost.h"

#include <QRect>
#include <QSize>

#include <span>

namespace kest::design {

inline constexpr int TwipsPerPixel = 15;

// The client area at the design size.
inline constexpr int ClientWidthTwips = 10455;
inline constexpr int ClientHeightTwips = 6450;
// The status bar, along the bottom edge over the full width.
inline constexpr int StatusBarHeightTwips = 255;

// The window's object name, the designer's name of the form.
inline constexpr const char *WindowName = "frmMain";

enum class Kind { Label, LineEdit, TextEdit, Button, CheckBox, Frame, List, StatusBar };

struct Place {
    int left, top, width, height; // twips
    bool inFrame = false;         // inside the frame, which comes before it in the design
};

// A label names the field that follows it (QLabel::setBuddy), which screen readers read as the
// field's label. The window has one control of each kind but Label and Button.
struct Control {
    const char *name; // the designer's name, the control's object name
    Kind kind;
    Place place;
    int tabStop = -1;                     // its place in the focus order, from 0; -1: none
    const char *caption = nullptr;        // "&" marks the access key
    const char *toolTip = nullptr;
    // Where no caption names the control, or the caption does not say what it does.
    const char *accessibleName = nullptr;
    Button button = {}; // which one, for Kind::Button
};

// In the order the controls are created; checked at build time (FormDesign.cpp).
std::span<const Control> controls();

// Whole pixels from twips, to the nearest pixel.
int toPixels(int twips);
QRect toPixels(const Place &place);
QSize designClientSize();

} // namespace kest::design

// The form of the main window and of the preview panel, written once: each control's part,
// kind, place, caption, initial state, font and tab order, the sizes of the window and the
// panel, the window's caption and the file dialogs' filters. Both fronts build their controls
// by walking these tables, and the window tests compare what each front shows against them.
//
// Places and font sizes are pixels at 96 DPI, each place relative to the control's parent
// (the window, the panel or a group box), so that a front may scale them all by one factor.
#pragma once

#include <cstddef>
#include <string>

#include "WindowToolkit.h"

namespace brelka::layout {

struct Rect {
    int left, top, width, height;
};

struct Size {
    int width, height;
};

// The main window's parts: the controls of the behaviour (Control, in the same order and with
// the same numbers), then those the behaviour never touches. Window stands for the window
// itself as a parent.
enum class Part {
    SrcEdit,
    SampleList,
    AudBtn,
    LenLabel,
    ImportRadio,
    RateConvCheck,
    ConvGroup,
    RsSimple,
    RsLight,
    RsMedium,
    RsHeavy,
    RsUHeavy,
    InfoText,
    ToExecBtn,
    FromExecBtn,
    AbortBtn,
    Image,   // the folder picture before the folder field
    Label1,  // "Sample"
    Gauge,   // the progress bar
    ImportL, // the items of ImportRadio, in its index order
    ImportR,
    ImportMix,
    Window,
};

// The preview panel's parts; Panel stands for the panel itself.
enum class PanelPart { Bevel1, FsLabel, FramesLabel, BitLabel, AudBtn, Panel };
// The labels the panel's behaviour fills, as parts of the panel.
constexpr PanelPart PartOf(PanelLabel label) {
    return static_cast<PanelPart>(static_cast<int>(label) + static_cast<int>(PanelPart::FsLabel));
}

constexpr int kControlParts = 16; // the parts that are Controls
constexpr int PartIndex(Part part) {
    return static_cast<int>(part);
}
constexpr bool IsControl(Part part) {
    return PartIndex(part) < kControlParts;
}
constexpr Control ControlOf(Part part) {
    return static_cast<Control>(part);
}
constexpr Part PartOf(Control control) {
    return static_cast<Part>(control);
}

enum class Kind {
    Picture,       // a fixed picture
    FolderEdit,    // read-only one-line text with a sunken edge
    SlotCombo,     // an editable text with a drop-down list
    ToggleSpeaker, // the speaker button that stays down while the sound plays
    HoldSpeaker,   // the speaker button that plays while a mouse button is held on it
    Label,         // one line of text that never wraps
    SunkenLabel,   // the same in a sunken panel, centred vertically
    GroupBox,      // a frame with a caption (none for the conversion group)
    RadioButton,   // inside a group box; the first of a group starts it
    CheckBox,
    PushButton,
    Gauge, // 0 to 100, its percentage shown over a blue bar
    Bevel, // a sunken frame
};

enum class Font { Window, JobButton };

struct FontSpec {
    int pixels;
    bool bold, italic;
};

// The face of both fonts; the fronts fall back to another gothic face when it is missing.
extern const char* const kFontFace;
FontSpec FontOf(Font font);

// Ordered as the tables read, not packed: there are a few dozen rows.
template <typename P> struct ControlSpec { // NOLINT(clang-analyzer-optin.performance.Padding)
    P part;
    const char* name; // also the control's object name where the toolkit has one
    Kind kind;
    P parent;
    Rect place;          // in the parent's client area
    const char* caption; // the caption, or the initial text of a text control
    bool enabled;        // at start
    bool checked;        // at start: radio buttons and check boxes
    Font font;
    bool inTabOrder;     // the table's order is the tab order of the controls that have this
    const char* toolTip; // nullptr: none
    int listHeight;      // a combo's height with its list open; 0 for the others
};

using MainControl = ControlSpec<Part>;
using PanelControl = ControlSpec<PanelPart>;

// A table's rows, to walk with a range for.
template <typename T> struct Rows {
    const T* first;
    size_t count;
    const T* begin() const { return first; }
    const T* end() const { return first + count; }
};

// The main window's controls in their tab order, those outside it last. Each front makes them
// in this order, so that a control made later lies in front of one made earlier (the
// conversion check box over its group's top edge).
Rows<MainControl> MainControls();
Rows<PanelControl> PanelControls();

// The client area of the window (fixed) and of the panel (its least size; it grows in width
// with its dialog).
constexpr Size kWindowSize{356, 278};
constexpr Size kPanelSize{416, 84};
// The size of the pictures on the speaker buttons.
constexpr Size kSpeakerIconSize{18, 18};

const MainControl& Spec(Part part);
const PanelControl& Spec(PanelPart part);

// The screen's pixels per inch at which the places above are exact.
constexpr int kDesignDpi = 96;
// A length or coordinate of the design (never negative) at dpi, rounded to the nearest pixel.
constexpr int Scaled(int pixels, int dpi) {
    return (pixels * dpi + kDesignDpi / 2) / kDesignDpi;
}
// A place at dpi: its edges are scaled, so that controls that touch in the design still touch
// and the same edge of two controls stays one line.
constexpr Rect Scaled(const Rect& r, int dpi) {
    const int left = Scaled(r.left, dpi), top = Scaled(r.top, dpi);
    return {left, top, Scaled(r.left + r.width, dpi) - left, Scaled(r.top + r.height, dpi) - top};
}
constexpr Size Scaled(const Size& s, int dpi) {
    return {Scaled(s.width, dpi), Scaled(s.height, dpi)};
}
// A control's place in the window's client area at dpi (a radio button's group box moves it).
Rect WindowPlace(const MainControl& spec, int dpi);

// The window's caption: "<product> Ver.<file version>".
std::string WindowCaption(const std::string& productName, const std::string& fileVersion);

// One entry of a file dialog's type list: the caption the user reads, and its patterns
// separated by ';'.
struct FileFilter {
    const char* caption;
    const char* patterns;
};
Rows<FileFilter> OpenFilters();
Rows<FileFilter> SaveFilters();
// The extension both file dialogs add to a name typed without one.
extern const char* const kDefaultExtension;

// The "Card" menu of both windows' menu bars, in its order; a separator goes before an item
// that has `separatorBefore`.
struct MenuEntry {
    const char* caption;  // as the menu shows it while nothing changes it
    const char* shortcut; // "Ctrl+K" (as Qt's QKeySequence reads it); nullptr: none
    const char* alternativeShortcut;
    CardMenuItem item;
    bool separatorBefore;
};
extern const char* const kCardMenuTitle; // "&Card"
Rows<MenuEntry> CardMenu();
const MenuEntry& MenuSpec(CardMenuItem item);

// The card view: its caption, its size at first (it can be resized), its least size, the
// columns of its rows with their widths at first, the height of a row, and how many columns of
// the slot's envelope its thumbnail draws.
extern const char* const kCardViewCaption; // "Card View"
constexpr Size kCardViewSize{560, 640};
constexpr Size kCardViewMinSize{380, 240};
struct Column {
    const char* caption;
    int width; // 96-DPI pixels; 0: takes what is left
};
Rows<Column> CardViewColumns(); // "No.", "Name", "Length", "Sound", "Note"
constexpr int kSoundColumn = 3;
constexpr int kCardRowHeight = 22;
constexpr int kThumbnailColumns = 120;
extern const char* const kFolderButtonCaption; // "Choose Folder..."
extern const char* const kNoFolderText;        // the status line while no folder is chosen

// The row commands of the card view's context menu, in its order, with their captions.
struct RowCommandEntry {
    RowCommand command;
    const char* caption;
    const char* key; // the key that does the same, as the menu shows it
};
Rows<RowCommandEntry> RowCommands();

// The "Import Options..." dialog: its caption and its rows, top to bottom. A row is a check
// box (or, for normalize, three radio buttons) with an optional field and its unit after it.
extern const char* const kImportOptionsCaption; // "Import Options"
struct OptionsTexts {
    const char* trim = "Trim silence below";
    const char* normalizeOff = "Keep the level";
    const char* normalizeEach = "Normalize each sound to";
    const char* normalizeKit = "Normalize the kit as one to";
    const char* fadeIn = "Fade in";
    const char* fadeOut = "Fade out";
    const char* dither = "Dither to 16 bits (TPDF)";
    const char* dbfs = "dBFS";
    const char* ms = "ms";
    const char* note = "Applied to every import of both windows until the program ends.";
};
constexpr OptionsTexts kOptionsTexts{};

} // namespace brelka::layout

#include "WindowLayout.h"

#include <iterator>

namespace brelka::layout {

const char* const kFontFace = "MS Gothic";

FontSpec FontOf(Font font) {
    return font == Font::JobButton ? FontSpec{16, true, true} : FontSpec{12, false, false};
}

namespace {

constexpr Font kW = Font::Window;
constexpr Font kJob = Font::JobButton;
constexpr const char* kHear = "Hear the Sound";

// clang-format off
const MainControl kMainControls[] = {
    // part               name             kind                 parent             place              caption                    on     checked font  tab    tip     list
    {Part::ToExecBtn,     "ToExecBtn",     Kind::PushButton,    Part::Window,      {12, 238, 140, 25}, "to WAV/AIFF",             false, false, kJob, true,  nullptr, 0},
    {Part::SrcEdit,       "SrcEdit",       Kind::FolderEdit,    Part::Window,      {36, 12, 305, 20},  "(not specified)",         true,  false, kW,   true,  nullptr, 0},
    {Part::ConvGroup,     "ConvGroup",     Kind::GroupBox,      Part::Window,      {12, 94, 329, 79},  "",                        true,  false, kW,   true,  nullptr, 0},
    {Part::RsSimple,      "RsSimple",      Kind::RadioButton,   Part::ConvGroup,   {16, 17, 81, 17},   "Simple",                  false, true,  kW,   true,  nullptr, 0},
    {Part::RsLight,       "RsLight",       Kind::RadioButton,   Part::ConvGroup,   {16, 37, 81, 17},   "Light",                   false, false, kW,   true,  nullptr, 0},
    {Part::RsMedium,      "RsMedium",      Kind::RadioButton,   Part::ConvGroup,   {118, 37, 81, 17},  "Medium",                  false, false, kW,   true,  nullptr, 0},
    {Part::RsHeavy,       "RsHeavy",       Kind::RadioButton,   Part::ConvGroup,   {220, 37, 81, 17},  "Heavy",                   false, false, kW,   true,  nullptr, 0},
    {Part::RsUHeavy,      "RsUHeavy",      Kind::RadioButton,   Part::ConvGroup,   {16, 57, 84, 17},   "Ultra Heavy",             false, false, kW,   true,  nullptr, 0},
    {Part::InfoText,      "InfoText",      Kind::SunkenLabel,   Part::Window,      {12, 182, 329, 19}, "",                        true,  false, kW,   true,  nullptr, 0},
    // Laid over the conversion group's top edge as its caption.
    {Part::RateConvCheck, "RateConvCheck", Kind::CheckBox,      Part::Window,      {28, 91, 161, 17},  "SamplingRate Conversion", true,  false, kW,   true,  nullptr, 0},
    {Part::SampleList,    "SampleList",    Kind::SlotCombo,     Part::Window,      {61, 40, 49, 20},   "01",                      true,  false, kW,   true,  nullptr, 240},
    {Part::FromExecBtn,   "FromExecBtn",   Kind::PushButton,    Part::Window,      {152, 238, 140, 25},"from WAV/AIFF",           false, false, kJob, true,  nullptr, 0},
    {Part::ImportRadio,   "ImportRadio",   Kind::GroupBox,      Part::Window,      {141, 40, 185, 41}, "Import Channel",          true,  false, kW,   true,  nullptr, 0},
    {Part::ImportL,       "ImportRadioL",  Kind::RadioButton,   Part::ImportRadio, {8, 18, 56, 17},    "L",                       true,  false, kW,   true,  nullptr, 0},
    {Part::ImportR,       "ImportRadioR",  Kind::RadioButton,   Part::ImportRadio, {66, 18, 56, 17},   "R",                       true,  false, kW,   true,  nullptr, 0},
    {Part::ImportMix,     "ImportRadioMIX",Kind::RadioButton,   Part::ImportRadio, {124, 18, 56, 17},  "MIX",                     true,  true,  kW,   true,  nullptr, 0},
    {Part::AbortBtn,      "AbortBtn",      Kind::PushButton,    Part::Window,      {292, 238, 48, 25}, "Abort",                   false, false, kW,   true,  nullptr, 0},
    {Part::Image,         "Image",         Kind::Picture,       Part::Window,      {15, 12, 20, 20},   "",                        true,  false, kW,   false, nullptr, 0},
    {Part::Label1,        "Label1",        Kind::Label,         Part::Window,      {13, 44, 45, 12},   "Sample",                  true,  false, kW,   false, nullptr, 0},
    {Part::AudBtn,        "AudBtn",        Kind::ToggleSpeaker, Part::Window,      {111, 40, 23, 22},  "",                        false, false, kW,   false, kHear,   0},
    {Part::LenLabel,      "LenLabel",      Kind::Label,         Part::Window,      {60, 64, 50, 12},   "---:--:---",              true,  false, kW,   false, nullptr, 0},
    {Part::Gauge,         "Gauge",         Kind::Gauge,         Part::Window,      {12, 208, 329, 20}, "",                        true,  false, kW,   false, nullptr, 0},
};

// The captions reserve the width of their values with trailing spaces; a label grows to show
// its whole text and never shrinks below its place.
const PanelControl kPanelControls[] = {
    {PanelPart::Bevel1,      "Bevel1",      Kind::Bevel,       PanelPart::Panel, {8, 4, 393, 41},   "",                                      true, false, kW, false, nullptr, 0},
    {PanelPart::FsLabel,     "FsLabel",     Kind::Label,       PanelPart::Panel, {16, 8, 164, 12},  "Sampling Rate :                     ", true, false, kW, false, nullptr, 0},
    {PanelPart::FramesLabel, "FramesLabel", Kind::Label,       PanelPart::Panel, {16, 24, 162, 12}, "Sampling Frames :                 ",   true, false, kW, false, nullptr, 0},
    {PanelPart::BitLabel,    "BitLabel",    Kind::Label,       PanelPart::Panel, {196, 8, 78, 12},  "Bits / Word :   ",                     true, false, kW, false, nullptr, 0},
    {PanelPart::AudBtn,      "AudBtn",      Kind::HoldSpeaker, PanelPart::Panel, {364, 12, 23, 22}, "",                                      true, false, kW, false, kHear,   0},
};
// clang-format on

} // namespace

Rows<MainControl> MainControls() {
    return {kMainControls, std::size(kMainControls)};
}

Rows<PanelControl> PanelControls() {
    return {kPanelControls, std::size(kPanelControls)};
}

const MainControl& Spec(Part part) {
    for (const MainControl& c : kMainControls)
        if (c.part == part) return c;
    return kMainControls[0]; // every part but Window has its row
}

const PanelControl& Spec(PanelPart part) {
    for (const PanelControl& c : kPanelControls)
        if (c.part == part) return c;
    return kPanelControls[0];
}

Rect WindowPlace(const MainControl& spec, int dpi) {
    Rect r = spec.place;
    if (spec.parent != Part::Window) {
        const Rect& box = Spec(spec.parent).place;
        r.left += box.left;
        r.top += box.top;
    }
    return Scaled(r, dpi);
}

std::string WindowCaption(const std::string& productName, const std::string& fileVersion) {
    return productName + " Ver." + fileVersion;
}

namespace {

const FileFilter kOpenFilters[] = {
    {"PCM(*.wav;*.aif)", "*.wav;*.aif"},
    {"WinPCM(*.wav)", "*.wav"},
    {"AIFF(*.aif)", "*.aif"},
};
const FileFilter kSaveFilters[] = {
    {"WinPCM(*.wav)", "*.wav"},
    {"AIFF(*.aif)", "*.aif"},
};

} // namespace

Rows<FileFilter> OpenFilters() {
    return {kOpenFilters, std::size(kOpenFilters)};
}

Rows<FileFilter> SaveFilters() {
    return {kSaveFilters, std::size(kSaveFilters)};
}

const char* const kDefaultExtension = "wav";

const char* const kCardMenuTitle = "&Card";
const char* const kCardViewCaption = "Card View";
const char* const kFolderButtonCaption = "Choose Folder...";
const char* const kNoFolderText = "No folder chosen: choose the card's sample folder.";
const char* const kImportOptionsCaption = "Import Options";

namespace {

// clang-format off
const MenuEntry kCardMenu[] = {
    {"Card View...", "Ctrl+K", nullptr, CardMenuItem::CardView, false},
    {"Import Options...", nullptr, nullptr, CardMenuItem::ImportOptions, false},
    {"Undo", "Ctrl+Z", nullptr, CardMenuItem::Undo, true},
    {"Redo", "Ctrl+Y", "Ctrl+Shift+Z", CardMenuItem::Redo, false},
    {"Back Up Card...", nullptr, nullptr, CardMenuItem::BackUp, true},
    {"Restore Card...", nullptr, nullptr, CardMenuItem::Restore, false},
};

const Column kCardViewColumns[] = {
    {"No.", 36}, {"Name", 170}, {"Length", 76}, {"Sound", 160}, {"Note", 0},
};

const RowCommandEntry kRowCommands[] = {
    {RowCommand::Listen, "Listen",    "Enter"},
    {RowCommand::Rename, "Rename",    "F2"},
    {RowCommand::Export, "Export...", nullptr},
    {RowCommand::Clear,  "Clear...",  "Del"},
};
// clang-format on

} // namespace

Rows<MenuEntry> CardMenu() {
    return {kCardMenu, std::size(kCardMenu)};
}

const MenuEntry& MenuSpec(CardMenuItem item) {
    for (const MenuEntry& e : kCardMenu)
        if (e.item == item) return e;
    return kCardMenu[0];
}

Rows<Column> CardViewColumns() {
    return {kCardViewColumns, std::size(kCardViewColumns)};
}

Rows<RowCommandEntry> RowCommands() {
    return {kRowCommands, std::size(kRowCommands)};
}

} // namespace brelka::layout

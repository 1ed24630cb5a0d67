#include "CardMenu.h"

#include <vector>

#include "ControlIds.h"
#include "Win32Text.h"
#include "WindowLayout.h"

namespace brelka {

namespace {

UINT IdOf(CardMenuItem item) {
    return IDM_CARD_FIRST + static_cast<UINT>(item);
}

HMENU CardPopup(HMENU bar) {
    return GetSubMenu(bar, 0);
}

std::wstring Caption(const std::string& text, const char* shortcut) {
    std::wstring caption = Wide(text);
    if (shortcut) caption += L"\t" + Wide(shortcut);
    return caption;
}

// "Ctrl+Shift+Z" as an accelerator's flags and key; false for what it cannot read.
bool ReadShortcut(const std::string& text, UINT id, ACCEL& accel) {
    accel = ACCEL{FVIRTKEY, 0, static_cast<WORD>(id)};
    size_t from = 0;
    for (;;) {
        const size_t plus = text.find('+', from);
        const std::string part = text.substr(from, plus == std::string::npos ? plus : plus - from);
        if (plus == std::string::npos) {
            if (part.size() == 1 && part[0] >= 'A' && part[0] <= 'Z') {
                accel.key = static_cast<WORD>(static_cast<unsigned char>(part[0]));
                return true;
            }
            if (part.size() >= 2 && part[0] == 'F') {
                accel.key = static_cast<WORD>(VK_F1 - 1 + std::stoi(part.substr(1)));
                return true;
            }
            return false;
        }
        if (part == "Ctrl")
            accel.fVirt |= FCONTROL;
        else if (part == "Shift")
            accel.fVirt |= FSHIFT;
        else if (part == "Alt")
            accel.fVirt |= FALT;
        else
            return false;
        from = plus + 1;
    }
}

} // namespace

HMENU MakeCardMenuBar() {
    HMENU popup = CreatePopupMenu();
    bool first = true;
    for (const layout::MenuEntry& entry : layout::CardMenu()) {
        if (entry.separatorBefore && !first) AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        first = false;
        AppendMenuW(popup, MF_STRING, IdOf(entry.item),
                    Caption(entry.caption, entry.shortcut).c_str());
    }
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                Wide(layout::kCardMenuTitle).c_str());
    return bar;
}

HACCEL CardAccelerators() {
    static HACCEL table = [] {
        std::vector<ACCEL> keys;
        for (const layout::MenuEntry& entry : layout::CardMenu())
            for (const char* shortcut : {entry.shortcut, entry.alternativeShortcut}) {
                ACCEL accel{};
                if (shortcut && ReadShortcut(shortcut, IdOf(entry.item), accel))
                    keys.push_back(accel);
            }
        return CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
    }();
    return table;
}

bool CardMenuItemOf(UINT id, CardMenuItem& item) {
    if (id < IDM_CARD_FIRST || id >= IDM_CARD_FIRST + kCardMenuItems) return false;
    item = static_cast<CardMenuItem>(id - IDM_CARD_FIRST);
    return true;
}

void SetCardMenuItem(HMENU bar, CardMenuItem item, const std::string& text, bool enabled) {
    const std::wstring caption = Caption(text, layout::MenuSpec(item).shortcut);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING | MIIM_STATE;
    info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
    info.fState = enabled ? MFS_ENABLED : MFS_GRAYED;
    SetMenuItemInfoW(CardPopup(bar), IdOf(item), FALSE, &info);
}

HMENU MakeRowMenu(bool enabled) {
    HMENU menu = CreatePopupMenu();
    UINT id = IDM_ROW_FIRST;
    for (const layout::RowCommandEntry& entry : layout::RowCommands())
        AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id++,
                    Caption(entry.caption, entry.key).c_str());
    return menu;
}

bool RowCommandOf(UINT id, RowCommand& command) {
    UINT next = IDM_ROW_FIRST;
    for (const layout::RowCommandEntry& entry : layout::RowCommands())
        if (next++ == id) {
            command = entry.command;
            return true;
        }
    return false;
}

UINT MenuQueryMessage() {
    static const UINT message = RegisterWindowMessageW(BRELKA_MENU_QUERY);
    return message;
}

LRESULT AnswerMenuQuery(HMENU bar, WPARAM item) {
    if (item >= static_cast<WPARAM>(kCardMenuItems)) return 0;
    const UINT id = IdOf(static_cast<CardMenuItem>(item));
    wchar_t text[256] = {};
    GetMenuStringW(CardPopup(bar), id, text, 256, MF_BYCOMMAND);
    const UINT state = GetMenuState(CardPopup(bar), id, MF_BYCOMMAND);
    const ATOM atom = GlobalAddAtomW(text[0] ? text : L"?");
    const bool enabled = (state & (MF_GRAYED | MF_DISABLED)) == 0;
    return MAKELRESULT(atom, enabled ? 1 : 0);
}

} // namespace brelka

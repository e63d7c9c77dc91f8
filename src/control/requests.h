#pragma once
// The numbered requests the editor control answers through Perform: its own codes and the
// standard edit-control codes, with the bits of their arguments.

#include <cstdint>

namespace tarnwick {

// The control's own requests.
enum TSMRequest : int {
    SM_SELECTION = 0x0C00,
    SM_OPTIONS = 0x0C01,
    SM_REPLACESEL = 0x0C02,
    SM_LOCKUPDATE = 0x0C05,
    SM_INSERTSTREAM = 0x0C06,
    SM_WRITESTREAM = 0x0C07,
    SM_MODIFIED = 0x0C08,
    SM_TOPLINE = 0x0C09,
    SM_LEFTCOLUMN = 0x0C0A,
    SM_FIND = 0x0C0B,
    SM_REPLACEDIALOG = 0x0C0C,
    SM_GETSELTEXT = 0x0C0D,
    SM_CANREDO = 0x0C0E,
    SM_REDO = 0x0C0F,
    SM_BLOCKINDENT = 0x0C10,
    SM_BLOCKUNINDENT = 0x0C11,
    SM_APPLYSETTINGS = 0x0C12,
    SM_SETTOKENBYTES = 0x0C13,
    SM_GETTOKENBYTES = 0x0C14,
    SM_UNDOSTACK = 0x0C15,
    SM_TEXTSTORE = 0x0C18,
    SM_RESCANLINE = 0x0C21,
    SM_GETINFO = 0x0C40,
};
// Bits of the first argument of the control's requests.
inline constexpr std::intptr_t smSet = 1;
inline constexpr std::intptr_t smQuiet = 2;

// The standard edit-control requests the control answers.
enum EditRequest : int {
    EM_GETSEL = 0x00B0,
    EM_SETSEL = 0x00B1,
    EM_LINESCROLL = 0x00B6,
    EM_SCROLLCARET = 0x00B7,
    EM_GETMODIFY = 0x00B8,
    EM_GETLINECOUNT = 0x00BA,
    EM_LINEINDEX = 0x00BB,
    EM_LINELENGTH = 0x00C1,
    EM_REPLACESEL = 0x00C2,
    EM_GETLINE = 0x00C4,
    EM_CANUNDO = 0x00C6,
    EM_UNDO = 0x00C7,
    EM_LINEFROMCHAR = 0x00C9,
    EM_EMPTYUNDOBUFFER = 0x00CD,
    EM_GETFIRSTVISIBLELINE = 0x00CE,
    EM_POSFROMCHAR = 0x00D6,
    EM_CHARFROMPOS = 0x00D7,
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_GETTEXTLENGTH = 0x000E,
    WM_CUT = 0x0300,
    WM_COPY = 0x0301,
    WM_PASTE = 0x0302,
    WM_UNDO = 0x0304,
    EM_CANPASTE = 0x0432,
    WM_GETDLGCODE = 0x0087,
};
inline constexpr std::intptr_t DLGC_WANTARROWS = 0x0001;
inline constexpr std::intptr_t DLGC_WANTTAB = 0x0002;
inline constexpr std::intptr_t DLGC_WANTCHARS = 0x0080;
inline constexpr std::intptr_t DLGC_WANTALLKEYS = 0x0004;

}  // namespace tarnwick

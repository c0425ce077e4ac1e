#pragma once
// What wx does not say about GTK's own widgets: the text area of an entry and its scrolling,
// the width GTK gives a text there, and the names that screen readers announce. The functions
// are looked up in the GTK, Pango and ATK that wx has loaded already; on another toolkit they
// answer -1 and do nothing.

#include <string>

#include <wx/string.h>
#include <wx/window.h>

// The width in pixels of the part of a single-line text field that shows text (the field
// without its frame and padding), or -1.
int AfxEntryTextAreaWidth(wxWindow* field);
// The width in pixels that `text` takes in the field, in the field's own font, or -1.
int AfxEntryTextWidth(wxWindow* field, const wxString& text);
// How many pixels of the field's text are scrolled out of view on the left, or -1.
int AfxEntryScrollOffset(wxWindow* field);

// The name assistive technologies announce for `window` (UTF-8).
void AfxSetAccessibleName(wxWindow* window, const std::string& name);
// The name they announce now, or "" when none is set or known.
std::string AfxGetAccessibleName(wxWindow* window);
// The description they read after the name (UTF-8), and the one set now ("" when none).
void AfxSetAccessibleDescription(wxWindow* window, const std::string& description);
std::string AfxGetAccessibleDescription(wxWindow* window);
// The role they announce for `window`, by its name in the accessibility toolkit ("tool bar").
void AfxSetAccessibleRole(wxWindow* window, const char* role);

// The file a GTK file chooser dialog was left on, as the bytes of its name in the file system
// (which need not be UTF-8), or "" when there is none or the dialog is no GTK one.
std::string AfxFileChooserFileName(wxWindow* dialog);

// Asks the window manager for a title bar with a window menu and a close button only (no
// minimise, maximise or resize): what a modal pop-up with a caption and a system menu has.
void AfxSetModalPopupFrame(wxWindow* window);

// Keeps the widget of `window` from ever taking the keyboard's focus, by Tab or by a click.
void AfxNeverTakeFocus(wxWindow* window);

#pragma once
// Builds windows from the dialog templates in res/: the template's font, and every control at its
// position and size in dialog units, converted by wx for that font.

#include <string>

#include <wx/font.h>
#include <wx/window.h>

#include "command_ids.h"
#include "ui_resources.h"

// The template's face, or the installed font that stands in for it (a Japanese Gothic for the
// Windows Japanese faces), at the template's point size.
wxFont AfxDialogFont(const DialogTemplate& tmpl);
// The installed face used for `face`; the face itself when it is installed or unknown.
std::string AfxMapFontFace(const std::string& face);

// The template's client size in pixels. The conversion uses the font of the top-level window
// that holds `window`, which must already be the template's font.
wxSize AfxDialogClientSize(wxWindow* window, const DialogTemplate& tmpl);

// Creates the template's controls as children of `parent`, in tab order.
void AfxCreateDialogControls(wxWindow* parent, const DialogTemplate& tmpl);

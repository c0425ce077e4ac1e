#include "dialog_template.h"

#include <algorithm>

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/odcombo.h>
#include <wx/textctrl.h>
#include <wx/fontenum.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "gtk_native.h"

namespace
{

struct FaceSubstitute
{
    const char* face;
    const char* substitutes[4];
};

// The Windows Japanese faces and the free fonts of the same cut: proportional for the "P" faces.
const FaceSubstitute kSubstitutes[] = {
    {"ＭＳ Ｐゴシック", {"IPAPGothic", "IPA Pゴシック", "VL PGothic", "Noto Sans CJK JP"}},
    {"MS PGothic", {"IPAPGothic", "IPA Pゴシック", "VL PGothic", "Noto Sans CJK JP"}},
    {"ＭＳ ゴシック", {"IPAGothic", "IPAゴシック", "VL Gothic", "Noto Sans Mono CJK JP"}},
    {"MS Gothic", {"IPAGothic", "IPAゴシック", "VL Gothic", "Noto Sans Mono CJK JP"}},
};

wxString FromUtf8(const char* text)
{
    return text != nullptr ? wxString::FromUTF8(text) : wxString();
}

// A combo box whose field takes no more text than it can show: typing that would scroll the
// field is refused, as for a Windows combo box without automatic horizontal scrolling. It is
// wx's own combo box rather than GTK's, whose drop button alone is wider than a narrow box.
class CTemplateComboBox : public wxOwnerDrawnComboBox
{
public:
    CTemplateComboBox(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                      long style, int buttonWidth, bool fixedField)
    {
        // Made here rather than by the base's constructor, so that the creation calls this
        // class's OnThemeChange().
        Create(parent, id, wxEmptyString, pos, size, 0, nullptr, style);
        SetButtonPosition(buttonWidth, -1, wxRIGHT, 0);
        if (fixedField)
            Bind(wxEVT_TEXT, &CTemplateComboBox::OnText, this);
    }

    // The program's own changes count as accepted text, as much as the user's.
    void ChangeValue(const wxString& value) override
    {
        m_strAccepted = value;
        wxOwnerDrawnComboBox::ChangeValue(value);
    }

protected:
    // wx asks a throwaway GTK combo box for the field's colours at every box it makes, which
    // costs milliseconds at start-up; they are the same for every box, so the first box's are
    // kept (a change of theme asks again).
    void OnThemeChange() override
    {
        static wxVisualAttributes attributes;
        static bool known = false;
        // A box's first call comes from its creation, any later one from a change of theme.
        if (!known || m_bCreated)
        {
            attributes = wxComboBox::GetClassDefaultAttributes();
            known = true;
        }
        m_bCreated = true;
        if (!m_hasTcBgCol)
            m_tcBgCol = attributes.colBg;
        if (!m_hasFgCol)
            SetOwnForegroundColour(attributes.colFg);
        if (!HasTransparentBackground())
            SetOwnBackgroundColour(GetParent()->GetBackgroundColour());
    }

private:
    // Whether `text` shows whole in the field's text area, without scrolling.
    bool Fits(const wxString& text) const
    {
        wxTextCtrl* field = GetTextCtrl();
        int room = AfxEntryTextAreaWidth(field);
        int width = AfxEntryTextWidth(field, text);
        if (room < 0 || width < 0)
        {
            // Not a GTK entry: the field's client area and wx's measure.
            room = field != nullptr ? field->GetClientSize().x : GetTextRect().width;
            width = (field != nullptr ? field : static_cast<const wxWindow*>(this))
                        ->GetTextExtent(text)
                        .x;
        }
        return width <= room;
    }

    void OnText(wxCommandEvent& event)
    {
        const wxString text = GetValue();
        if (text == m_strAccepted || text.length() <= m_strAccepted.length() || Fits(text))
        {
            m_strAccepted = text;
            return event.Skip();
        }
        // What was typed or pasted lies between the part kept before it and the part kept
        // after it; of that, as much is taken as fits. A paste over a selection arrives as a
        // deletion, then an insertion, so the field keeps the pasted text's start.
        std::size_t head = 0;
        while (head < m_strAccepted.length() && head < text.length() &&
               text[head] == m_strAccepted[head])
            ++head;
        std::size_t tail = 0;
        while (tail < m_strAccepted.length() - head && tail < text.length() - head &&
               text[text.length() - 1 - tail] == m_strAccepted[m_strAccepted.length() - 1 - tail])
            ++tail;
        const wxString before = text.Left(head);
        const wxString after = text.Right(tail);
        const wxString inserted = text.Mid(head, text.length() - head - tail);
        std::size_t taken = 0;
        while (taken < inserted.length() && Fits(before + inserted.Left(taken + 1) + after))
            ++taken;
        m_strAccepted = before + inserted.Left(taken) + after;
        ChangeValue(m_strAccepted);
        SetInsertionPoint(static_cast<long>(head + taken));
        wxBell();
    }

    wxString m_strAccepted;
    bool m_bCreated = false;
};

} // namespace

std::string AfxMapFontFace(const std::string& face)
{
    for (const FaceSubstitute& substitute : kSubstitutes)
    {
        if (face != substitute.face)
            continue;
        for (const char* candidate : substitute.substitutes)
            if (wxFontEnumerator::IsValidFacename(wxString::FromUTF8(candidate)))
                return candidate;
    }
    return face;
}

wxFont AfxDialogFont(const DialogTemplate& tmpl)
{
    wxFont font(wxFontInfo(tmpl.nPointSize)
                    .FaceName(wxString::FromUTF8(
                        AfxMapFontFace(tmpl.fontFace != nullptr ? tmpl.fontFace : "").c_str())));
    return font.IsOk() ? font : *wxNORMAL_FONT;
}

wxSize AfxDialogClientSize(wxWindow* window, const DialogTemplate& tmpl)
{
    return window->ConvertDialogToPixels(wxSize(tmpl.cx, tmpl.cy));
}

void AfxCreateDialogControls(wxWindow* parent, const DialogTemplate& tmpl)
{
    for (const ControlTemplate& control : tmpl.controls)
    {
        const wxPoint pos = parent->ConvertDialogToPixels(wxPoint(control.x, control.y));
        wxSize size = parent->ConvertDialogToPixels(wxSize(control.cx, control.cy));
        const wxWindowID id = control.nId == IDC_STATIC ? wxID_ANY : AfxWxId(control.nId);
        wxWindow* window = nullptr;
        switch (control.kind)
        {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
        {
            auto* button = new wxButton(parent, id, FromUtf8(control.text), pos, size);
            if (control.kind == ControlKind::DefPushButton)
                button->SetDefault();
            window = button;
            break;
        }
        case ControlKind::ComboBox:
        {
            // A Windows combo box's height includes its drop-down list; here the list has its
            // own height and the box keeps the height of its field.
            size.y = -1;
            long style = (control.style & CS_DROPDOWN) ? wxCB_DROPDOWN : wxCB_READONLY;
            // Entries go in by position and keep that order, so the sort style changes nothing.
            // The drop button is as wide as a scroll bar, as on Windows.
            const int button = parent->ConvertDialogToPixels(wxSize(10, 0)).x;
            window = new CTemplateComboBox(parent, id, pos, size, style, button,
                                           (control.style & CS_AUTOHSCROLL) == 0);
            break;
        }
        case ControlKind::Static:
        {
            auto* label =
                new wxStaticText(parent, id, wxEmptyString, pos, size, wxST_NO_AUTORESIZE);
            if (control.style & CS_NOPREFIX)
                label->SetLabelText(FromUtf8(control.text));
            else
                label->SetLabel(FromUtf8(control.text));
            // The stand-in font runs a little wider than the one the layout was made for: a
            // label keeps its place but is never cut short.
            const wxSize text = label->GetTextExtent(label->GetLabelText());
            if (text.x > size.x || text.y > size.y)
                label->SetSize(std::max(size.x, text.x + 2), std::max(size.y, text.y));
            window = label;
            break;
        }
        case ControlKind::Icon:
        {
            // An icon keeps its own size, whatever the template gives it.
            const char* const* xpm = FindIconXpm(control.nIconId, 32);
            window =
                new wxStaticBitmap(parent, id, xpm != nullptr ? wxBitmap(xpm) : wxBitmap(), pos);
            break;
        }
        }
        (void)window;
    }
    // A combo box keeps the height of its field, which the toolkit may make taller than the
    // template's room: it stops short of whatever the template puts below it.
    for (wxWindow* combo : parent->GetChildren())
    {
        if (dynamic_cast<CTemplateComboBox*>(combo) == nullptr)
            continue;
        const wxRect box = combo->GetRect();
        int bottom = box.GetBottom();
        for (wxWindow* other : parent->GetChildren())
        {
            const wxRect rect = other->GetRect();
            if (other != combo && rect.GetTop() > box.GetTop() && rect.GetTop() <= bottom &&
                rect.GetLeft() <= box.GetRight() && rect.GetRight() >= box.GetLeft())
                bottom = rect.GetTop() - 1;
        }
        if (bottom < box.GetBottom())
            combo->SetSize(box.width, bottom - box.GetTop() + 1);
    }
}

#include "dialog.h"

#include <wx/app.h>

#include "dialog_template.h"
#include "gtk_native.h"
#include "message_box.h"

wxBEGIN_EVENT_TABLE(CDialog, wxDialog)
    ON_BN_CLICKED(IDOK, CDialog::OnOkButton)
    EVT_CLOSE(CDialog::OnCloseWindow)
    EVT_CHAR_HOOK(CDialog::OnCharHook)
wxEND_EVENT_TABLE()

CDialog::CDialog(UINT nIDTemplate, wxWindow* parent)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(parent)
{
}

bool CDialog::Create()
{
    if (GetHandle() != nullptr)
        return true;
    const DialogTemplate* tmpl = FindDialogTemplate(m_nIDTemplate);
    if (tmpl == nullptr)
        return false;
    wxWindow* parent =
        m_pParentWnd != nullptr ? m_pParentWnd : (wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
    const wxString caption = tmpl->caption ? wxString::FromUTF8(tmpl->caption) : wxString();
    if (!wxDialog::Create(parent, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
                          wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX))
        return false;
    // The dialog is its own top-level window: its font sets its dialog units.
    SetFont(AfxDialogFont(*tmpl));
    SetClientSize(AfxDialogClientSize(this, *tmpl));
    AfxCreateDialogControls(this, *tmpl);
    SetAffirmativeId(IDOK);
    SetEscapeId(IDOK);
    CentreOnParent();
    if (tmpl->style & DS_MODAL_CAPTION)
        AfxSetModalPopupFrame(this);
    CDataExchange dx(this, false);
    DoDataExchange(&dx);
    return OnInitDialog();
}

int CDialog::DoModal()
{
    if (!Create())
        return -1;
    return ShowModal();
}

bool CDialog::OnInitDialog()
{
    return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK()
{
    if (IsModal())
        EndModal(IDOK);
    else
        Hide();
}

void CDialog::OnCancel()
{
    if (IsModal())
        EndModal(IDCANCEL);
    else
        Hide();
}

void CDialog::OnOkButton(wxCommandEvent&)
{
    OnOK();
}

void CDialog::OnCloseWindow(wxCloseEvent&)
{
    OnCancel();
}

void CDialog::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() == WXK_ESCAPE)
        return OnCancel();
    event.Skip();
}

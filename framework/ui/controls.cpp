#include "controls.h"

#include <cassert>

#include <wx/button.h>

#include "wx_text.h"

bool CWnd::Attach(wxWindow* window)
{
    m_hWnd = window;
    return window != nullptr;
}

void CWnd::SetWindowText(const std::string& text)
{
    if (auto* field = dynamic_cast<wxTextEntry*>(m_hWnd))
        field->ChangeValue(FromUtf8(text));
    else if (m_hWnd != nullptr)
        m_hWnd->SetLabel(FromUtf8(text));
}

std::string CWnd::GetWindowText() const
{
    if (auto* field = dynamic_cast<wxTextEntry*>(m_hWnd))
        return ToUtf8(field->GetValue());
    return m_hWnd != nullptr ? ToUtf8(m_hWnd->GetLabel()) : std::string();
}

UINT CWnd::GetDlgCtrlID() const
{
    return m_hWnd != nullptr ? AfxCommandId(m_hWnd->GetId()) : 0;
}

bool CButton::Attach(wxWindow* window)
{
    return dynamic_cast<wxButton*>(window) != nullptr && CWnd::Attach(window);
}

bool CComboBox::Attach(wxWindow* window)
{
    return dynamic_cast<wxOwnerDrawnComboBox*>(window) != nullptr && CWnd::Attach(window);
}

wxOwnerDrawnComboBox* CComboBox::GetComboBox() const
{
    return static_cast<wxOwnerDrawnComboBox*>(m_hWnd);
}

void CComboBox::ResetContent()
{
    // Emptying the list empties the field too, as it does for a Windows combo box.
    GetComboBox()->Clear();
    GetComboBox()->ChangeValue(wxString());
}

int CComboBox::InsertString(int index, const std::string& text)
{
    wxOwnerDrawnComboBox* combo = GetComboBox();
    const unsigned count = combo->GetCount();
    const unsigned pos =
        index < 0 || static_cast<unsigned>(index) > count ? count : static_cast<unsigned>(index);
    return combo->Insert(FromUtf8(text), pos);
}

int CComboBox::GetCount() const
{
    return static_cast<int>(GetComboBox()->GetCount());
}

void DDX_Control(CDataExchange* pDX, UINT id, CWnd& control)
{
    if (control.GetSafeHwnd() != nullptr)
        return;
    wxWindow* child = pDX->m_pDlgWnd->FindWindow(static_cast<long>(AfxWxId(id)));
    const bool bound = control.Attach(child);
    assert(bound && "the dialog template has no control of this kind with this id");
    (void)bound;
}

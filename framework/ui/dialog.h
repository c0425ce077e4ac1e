#pragma once
// A dialog made from a dialog template, run modally by DoModal(). OK ends it with IDOK; closing
// it or Escape with IDCANCEL.

#include <wx/dialog.h>

#include "controls.h"

constexpr int IDCANCEL = 2;

class CDialog : public wxDialog
{
public:
    explicit CDialog(UINT nIDTemplate, wxWindow* parent = nullptr);

    // Creates the window and its controls without showing it; DoModal() calls it when needed.
    bool Create();
    // Shows the dialog and returns the id of the button that ended it.
    int DoModal();

protected:
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();

private:
    void OnOkButton(wxCommandEvent& event);
    void OnCloseWindow(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);

    UINT m_nIDTemplate;
    wxWindow* m_pParentWnd;

    wxDECLARE_EVENT_TABLE();
};

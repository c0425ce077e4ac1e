#pragma once
// Member objects that stand for controls made from a dialog template. DDX_Control binds one to
// the template's control with the same id; the control itself belongs to its window.

#include <string>

#include <wx/odcombo.h>
#include <wx/window.h>

#include "command_ids.h"

using UINT = unsigned int;

class CWnd
{
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Binds this object to `window`; false if it is not a control of the expected kind.
    virtual bool Attach(wxWindow* window);
    wxWindow* GetSafeHwnd() const { return m_hWnd; }

    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    UINT GetDlgCtrlID() const;

protected:
    wxWindow* m_hWnd = nullptr;
};

class CButton : public CWnd
{
public:
    bool Attach(wxWindow* window) override;
};

// A drop-down combo box with an edit field. The field's text is its window text.
class CComboBox : public CWnd
{
public:
    bool Attach(wxWindow* window) override;

    void ResetContent();
    // Inserts at `index` (-1: at the end) whatever the box's sort style; returns the position.
    int InsertString(int index, const std::string& text);
    int GetCount() const;

    wxOwnerDrawnComboBox* GetComboBox() const;
};

class CDataExchange
{
public:
    CDataExchange(wxWindow* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate)
    {
    }
    wxWindow* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

// Binds `control` to the child of the dialog with id `id`. A missing control is a programmer
// error: the template and the code disagree.
void DDX_Control(CDataExchange* pDX, UINT id, CWnd& control);

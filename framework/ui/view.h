#pragma once
// Views: a window inside the frame that shows the document. A form view is made from a dialog
// template and binds its member controls by data exchange.

#include <wx/panel.h>

#include "controls.h"
#include "document.h"

class CFrameWnd;
class wxDC;

// What the print hooks of a view get for one print job.
struct CPrintInfo
{
    int m_nNumPreviewPages = 1;
    int m_nFromPage = 1;
    int m_nToPage = 1;
    int m_nCurPage = 1;
    bool m_bPreview = false;
};

// The window id of the frame's single view.
constexpr int AFX_IDW_PANE_FIRST = 0xE900;

class CView : public wxPanel
{
public:
    CView() = default;

    // Creates the window as the frame's single view, over `document`.
    virtual bool Create(CFrameWnd* frame, CDocument* document);

    CDocument* GetDocument() const { return m_pDocument; }
    CFrameWnd* GetParentFrame() const;

    // After every new and every successfully opened document.
    virtual void OnInitialUpdate();
    // Every repaint of the view.
    virtual void OnDraw(wxDC& dc);

    virtual bool OnPreparePrinting(CPrintInfo* info);
    virtual void OnBeginPrinting(wxDC& dc, CPrintInfo* info);
    virtual void OnPrint(wxDC& dc, CPrintInfo* info);
    virtual void OnEndPrinting(wxDC& dc, CPrintInfo* info);

    // The framework's print commands, for a view's event table.
    void OnFilePrint(wxCommandEvent& event);
    void OnFilePrintDirect(wxCommandEvent& event);
    void OnFilePrintPreview(wxCommandEvent& event);

protected:
    // The print dialog, then the pages through the print hooks. False if the user cancelled
    // or the printer refused.
    bool DoPrint(bool prompt);

private:
    void OnPaint(wxPaintEvent& event);

    CDocument* m_pDocument = nullptr;

    wxDECLARE_EVENT_TABLE();
};

class CFormView : public CView
{
public:
    explicit CFormView(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}

    bool Create(CFrameWnd* frame, CDocument* document) override;
    // Binds the member controls (DoDataExchange), then the view's own initial update.
    void OnInitialUpdate() override;

    // Loads (false) or saves (true) the data exchange.
    bool UpdateData(bool saveAndValidate = true);
    // The size of the template in pixels.
    wxSize GetTemplateSize() const { return m_sizeTemplate; }
    // Sizes the frame around the form; with `shrinkOnly` the frame only ever gets smaller.
    void ResizeParentToFit(bool shrinkOnly = true);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

private:
    UINT m_nIDTemplate;
    wxSize m_sizeTemplate;
};

// Makes a view of class T for a document template.
template <class T> CView* CreateView()
{
    return new T();
}

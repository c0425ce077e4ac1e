#include "view.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/print.h>
#include <wx/printdlg.h>

#include "dialog_template.h"
#include "frame_wnd.h"

namespace
{

// Hands the pages of a print job to the view's print hooks.
class CViewPrintout : public wxPrintout
{
public:
    CViewPrintout(CView* view, const CPrintInfo& info)
        : wxPrintout("tarvel1"), m_pView(view), m_info(info)
    {
    }

    void GetPageInfo(int* minPage, int* maxPage, int* selFrom, int* selTo) override
    {
        *minPage = *selFrom = m_info.m_nFromPage;
        *maxPage = *selTo = m_info.m_nToPage;
    }
    bool HasPage(int page) override
    {
        return page >= m_info.m_nFromPage && page <= m_info.m_nToPage;
    }
    void OnBeginPrinting() override
    {
        if (wxDC* dc = GetDC())
            m_pView->OnBeginPrinting(*dc, &m_info);
    }
    bool OnPrintPage(int page) override
    {
        wxDC* dc = GetDC();
        if (dc == nullptr)
            return false;
        m_info.m_nCurPage = page;
        m_pView->OnPrint(*dc, &m_info);
        return true;
    }
    void OnEndPrinting() override
    {
        if (wxDC* dc = GetDC())
            m_pView->OnEndPrinting(*dc, &m_info);
    }

private:
    CView* m_pView;
    // Each printout keeps its own copy: a preview outlives the command that made it.
    CPrintInfo m_info;
};

} // namespace

wxBEGIN_EVENT_TABLE(CView, wxPanel)
    EVT_PAINT(CView::OnPaint)
wxEND_EVENT_TABLE()

bool CView::Create(CFrameWnd* frame, CDocument* document)
{
    m_pDocument = document;
    return wxPanel::Create(frame, AfxWxId(AFX_IDW_PANE_FIRST), wxDefaultPosition, wxDefaultSize,
                           wxTAB_TRAVERSAL | wxBORDER_NONE);
}

CFrameWnd* CView::GetParentFrame() const
{
    return dynamic_cast<CFrameWnd*>(wxGetTopLevelParent(const_cast<CView*>(this)));
}

void CView::OnInitialUpdate()
{
    Refresh();
}

void CView::OnDraw(wxDC&) {}

void CView::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    OnDraw(dc);
}

bool CView::OnPreparePrinting(CPrintInfo* info)
{
    info->m_nFromPage = 1;
    info->m_nToPage = 1;
    return true;
}

void CView::OnBeginPrinting(wxDC&, CPrintInfo*) {}

void CView::OnPrint(wxDC& dc, CPrintInfo*)
{
    OnDraw(dc);
}

void CView::OnEndPrinting(wxDC&, CPrintInfo*) {}

bool CView::DoPrint(bool prompt)
{
    CPrintInfo info;
    if (!OnPreparePrinting(&info))
        return false;
    wxPrinter printer;
    CViewPrintout printout(this, info);
    return printer.Print(GetParentFrame(), &printout, prompt);
}

void CView::OnFilePrint(wxCommandEvent&)
{
    DoPrint(true);
}

void CView::OnFilePrintDirect(wxCommandEvent&)
{
    DoPrint(false);
}

void CView::OnFilePrintPreview(wxCommandEvent&)
{
    CPrintInfo info;
    info.m_bPreview = true;
    if (!OnPreparePrinting(&info))
        return;
    // The preview owns both printouts, and the preview frame owns the preview.
    auto* preview =
        new wxPrintPreview(new CViewPrintout(this, info), new CViewPrintout(this, info));
    if (!preview->IsOk())
    {
        delete preview;
        return;
    }
    auto* frame = new wxPreviewFrame(preview, GetParentFrame(), GetParentFrame()->GetTitle());
    frame->InitializeWithModality(wxPreviewFrame_AppModal);
    frame->Show();
}

bool CFormView::Create(CFrameWnd* frame, CDocument* document)
{
    const DialogTemplate* tmpl = FindDialogTemplate(m_nIDTemplate);
    if (tmpl == nullptr)
        return false;
    // Dialog units are counted in the top-level window's font: the frame takes the form's.
    frame->SetFont(AfxDialogFont(*tmpl));
    if (!CView::Create(frame, document))
        return false;
    SetWindowStyleFlag(wxTAB_TRAVERSAL | wxBORDER_THEME);
    m_sizeTemplate = AfxDialogClientSize(this, *tmpl);
    AfxCreateDialogControls(this, *tmpl);
    SetMinSize(m_sizeTemplate);
    SetSize(m_sizeTemplate);
    return true;
}

void CFormView::OnInitialUpdate()
{
    UpdateData(false);
    CView::OnInitialUpdate();
}

bool CFormView::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return true;
}

void CFormView::DoDataExchange(CDataExchange*) {}

void CFormView::ResizeParentToFit(bool shrinkOnly)
{
    CFrameWnd* frame = GetParentFrame();
    if (frame == nullptr)
        return;
    // The frame's client area holds the form and the docked bars: it changes by as much as the
    // form must change to have its template's size.
    const wxSize form = GetSize();
    const wxSize wanted = m_sizeTemplate + (GetSize() - GetClientSize());
    wxSize client = frame->GetClientSize();
    wxSize fitted = client + (wanted - form);
    if (shrinkOnly)
        fitted.Set(std::min(fitted.x, client.x), std::min(fitted.y, client.y));
    frame->SetClientSize(fitted);
    frame->RecalcLayout();
}

#include "doc_template.h"

#include <wx/event.h>

#include "afxres.h"
#include "message_box.h"
#include "string_table.h"
#include "ui_hooks.h"
#include "view.h"
#include "win_app.h"

namespace
{

// The document's own commands, which come after the view's and before the frame's.
class CDocCommandTarget : public wxEvtHandler
{
public:
    explicit CDocCommandTarget(CSingleDocTemplate& tmpl) : m_template(tmpl) {}

private:
    void OnFileSave(wxCommandEvent&) { m_template.DoFileSave(); }
    void OnFileSaveAs(wxCommandEvent&) { m_template.DoSaveAs(); }

    CSingleDocTemplate& m_template;

    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(CDocCommandTarget, wxEvtHandler)
    ON_COMMAND(ID_FILE_SAVE, CDocCommandTarget::OnFileSave)
    ON_COMMAND(ID_FILE_SAVE_AS, CDocCommandTarget::OnFileSaveAs)
wxEND_EVENT_TABLE()

} // namespace

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, DocumentFactory document,
                                       FrameFactory frame, ViewFactory view)
    : m_nIDResource(nIDResource), m_makeDocument(std::move(document)),
      m_makeFrame(std::move(frame)), m_makeView(std::move(view)),
      m_pDocCommands(std::make_unique<CDocCommandTarget>(*this))
{
}

CSingleDocTemplate::~CSingleDocTemplate()
{
    // The frame and its view go first: the view may still look at the document on its way out.
    if (CFrameWnd* frame = m_pFrame.get())
    {
        OnFrameClosing(frame);
        delete frame;
    }
}

bool CSingleDocTemplate::CreateFrame()
{
    CFrameWnd* frame = m_makeFrame();
    CCreateContext context;
    context.m_pNewViewClass = m_makeView;
    context.m_pCurrentDoc = m_pOnlyDoc.get();
    context.m_pDocCommands = m_pDocCommands.get();
    if (!frame->LoadFrame(m_nIDResource, &context))
    {
        frame->Destroy();
        return false;
    }
    m_pFrame = frame;
    return true;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const std::string& path)
{
    const bool first = m_pOnlyDoc == nullptr;
    if (first)
    {
        m_pOnlyDoc = m_makeDocument();
        if (!CreateFrame())
        {
            m_pOnlyDoc.reset();
            return nullptr;
        }
    }

    const bool loaded =
        path.empty() ? m_pOnlyDoc->OnNewDocument() : m_pOnlyDoc->OnOpenDocument(path);
    if (!loaded)
    {
        if (first)
        {
            CFrameWnd* frame = m_pFrame.get();
            m_pFrame = nullptr;
            delete frame;
            m_pOnlyDoc.reset();
        }
        return nullptr;
    }
    InitialUpdateFrame();
    return m_pOnlyDoc.get();
}

void CSingleDocTemplate::InitialUpdateFrame()
{
    CFrameWnd* frame = m_pFrame.get();
    if (frame == nullptr)
        return;
    if (CView* view = frame->GetActiveView())
    {
        // Start-up has no command boundary around it: a file error from the view's update is
        // reported here, and the document stays open.
        try
        {
            view->OnInitialUpdate();
        }
        catch (const CException& error)
        {
            AfxReportException(error);
        }
    }
    frame->OnUpdateFrameTitle();
}

void CSingleDocTemplate::OnFrameClosing(CFrameWnd* frame)
{
    if (m_pFrame.get() == frame)
        m_pFrame = nullptr;
}

bool CSingleDocTemplate::DoFileSave()
{
    if (m_pOnlyDoc == nullptr)
        return false;
    const std::string path = m_pOnlyDoc->GetPathName();
    if (path.empty())
        return DoSaveAs();
    return m_pOnlyDoc->OnSaveDocument(path);
}

bool CSingleDocTemplate::DoSaveAs()
{
    if (m_pOnlyDoc == nullptr || !m_pOnlyDoc->CanSaveDocument())
        return false;
    std::string path = m_pOnlyDoc->GetPathName();
    if (!AfxPromptFileName(false, LoadResString(AFX_IDS_SAVEFILE), path))
        return false;
    if (!m_pOnlyDoc->OnSaveDocument(path))
        return false;
    m_pOnlyDoc->SetPathName(path);
    if (CWinApp* app = AfxGetApp())
        app->AddToRecentFileList(path);
    if (CFrameWnd* frame = m_pFrame.get())
        frame->OnUpdateFrameTitle();
    return true;
}

#pragma once
// The single-document template: one document, one frame and one view for the whole run. File
// New and File Open reuse the document; the view's OnInitialUpdate follows every new and every
// successful open, and a failed open leaves the document as it was.

#include <functional>
#include <memory>
#include <string>

#include <wx/weakref.h>

#include "document.h"
#include "frame_wnd.h"

class wxEvtHandler;

class CSingleDocTemplate
{
public:
    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<CFrameWnd*()>;
    using ViewFactory = std::function<CView*()>;

    CSingleDocTemplate(UINT nIDResource, DocumentFactory document, FrameFactory frame,
                       ViewFactory view);
    ~CSingleDocTemplate();
    CSingleDocTemplate(const CSingleDocTemplate&) = delete;
    CSingleDocTemplate& operator=(const CSingleDocTemplate&) = delete;

    // An empty path starts a new document, any other opens that file. The first call also makes
    // the document, its frame and its view; if that first load fails, they are all discarded.
    // Returns the document, or nullptr when the new or the open failed.
    CDocument* OpenDocumentFile(const std::string& path);

    CDocument* GetDocument() const { return m_pOnlyDoc.get(); }
    CFrameWnd* GetFrame() const { return m_pFrame.get(); }

    // The frame is going away: the document stays until the template does.
    void OnFrameClosing(CFrameWnd* frame);

    // Save (prompting for a name when the document has none) and Save As.
    bool DoFileSave();
    bool DoSaveAs();

private:
    bool CreateFrame();
    void InitialUpdateFrame();

    UINT m_nIDResource;
    DocumentFactory m_makeDocument;
    FrameFactory m_makeFrame;
    ViewFactory m_makeView;
    std::unique_ptr<CDocument> m_pOnlyDoc;
    wxWeakRef<CFrameWnd> m_pFrame;
    std::unique_ptr<wxEvtHandler> m_pDocCommands;
};

template <class T> std::unique_ptr<CDocument> CreateDocument()
{
    // Documents can be large (a song document holds two fixed song buffers): always on the heap.
    return std::make_unique<T>();
}

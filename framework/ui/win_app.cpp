#include "win_app.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include <langinfo.h>
#include <unistd.h>

#include <wx/intl.h>
#include <wx/printdlg.h>
#include <wx/translation.h>

#include "afxres.h"
#include "message_box.h"
#include "message_catalog.h"
#include "string_table.h"
#include "ui_hooks.h"
#include "user_folders.h"
#include "wx_text.h"

namespace
{

std::vector<std::string>& RawCommandLine()
{
    static std::vector<std::string> args;
    return args;
}

// The path made absolute and its "." and ".." steps resolved, on the bytes as given: a file name
// need not be UTF-8.
std::string AbsolutePath(const std::string& path)
{
    std::string full = path;
    if (full.empty() || full[0] != '/')
    {
        std::vector<char> cwd(4096);
        while (getcwd(cwd.data(), cwd.size()) == nullptr && errno == ERANGE)
            cwd.resize(cwd.size() * 2);
        full = std::string(cwd.data()) + "/" + path;
    }
    std::vector<std::string> steps;
    std::size_t begin = 0;
    while (begin <= full.size())
    {
        std::size_t end = full.find('/', begin);
        if (end == std::string::npos)
            end = full.size();
        const std::string step = full.substr(begin, end - begin);
        if (step == "..")
        {
            if (!steps.empty())
                steps.pop_back();
        }
        else if (!step.empty() && step != ".")
            steps.push_back(step);
        begin = end + 1;
    }
    std::string result;
    for (const std::string& step : steps)
        result += "/" + step;
    return result.empty() ? "/" : result;
}

// GTK's and GDK's own options, which the toolkit reads before the program does. Given as
// "--display :1", the option takes the next argument as its value; "--display=:1" does not.
bool IsToolkitOption(const std::string& arg, bool& takesValue)
{
    static const char* const withValue[] = {"--display",    "--class",       "--name",
                                            "--gtk-module", "--gtk-debug",   "--gtk-no-debug",
                                            "--gdk-debug",  "--gdk-no-debug"};
    static const char* const flags[] = {"--g-fatal-warnings", "--sync"};
    takesValue = false;
    for (const char* option : flags)
        if (arg == option)
            return true;
    for (const char* option : withValue)
    {
        const std::string name(option);
        if (arg == name)
        {
            takesValue = true;
            return true;
        }
        if (arg.compare(0, name.size() + 1, name + "=") == 0)
            return true;
    }
    return false;
}

} // namespace

void CCommandLineInfo::ParseParam(const std::string& param, bool isFlag)
{
    if (isFlag || m_nShellCommand == FileOpen)
        return;
    m_nShellCommand = FileOpen;
    m_strFileName = param;
}

wxBEGIN_EVENT_TABLE(CWinApp, wxApp)
    ON_COMMAND(ID_APP_EXIT, CWinApp::OnAppExit)
wxEND_EVENT_TABLE()

CWinApp::CWinApp() = default;

CWinApp::~CWinApp() = default;

CWinApp* AfxGetApp()
{
    return dynamic_cast<CWinApp*>(wxTheApp);
}

wxFrame* AfxGetMainWnd()
{
    CWinApp* app = AfxGetApp();
    return app != nullptr ? app->m_pMainWnd : nullptr;
}

void AfxReportException(const CException& error)
{
    // Outside an open or a save, the files a command touches are files it writes; an archive
    // error there can only come from reading.
    const bool reading = dynamic_cast<const CArchiveException*>(&error) != nullptr;
    AfxMessageBox(AfxExceptionMessage(error, error.GetFileName(),
                                      reading ? AFX_IDP_FAILED_TO_READ : AFX_IDP_FAILED_TO_WRITE));
}

namespace
{

void InitMessageLocale()
{
    // GTK's own texts (the file dialog's buttons and columns) follow LC_MESSAGES, which wx leaves
    // at C, that is English. Our Japanese texts take a Japanese locale for them when the system
    // has one, also under C, where the program shows Japanese; English keeps C.
    if (ResLanguage().empty())
    {
        const char* user = std::setlocale(LC_MESSAGES, "");
        if (user == nullptr || std::strncmp(user, "ja", 2) != 0)
        {
            if (std::setlocale(LC_MESSAGES, "ja_JP.UTF-8") == nullptr)
                std::setlocale(LC_MESSAGES, "C");
        }
    }
    else if (ResLanguage() != "en")
    {
        std::setlocale(LC_MESSAGES, "");
    }
    // The system's reasons (strerror) come in LC_MESSAGES's language but in LC_CTYPE's
    // character set, which wx leaves at C: Japanese came out as "?????". The user's own
    // setting is taken; where that cannot write every character, UTF-8 is.
    const char* ctype = std::setlocale(LC_CTYPE, "");
    if (ctype == nullptr || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

} // namespace

void AfxInitTranslations()
{
    // wx's own texts (stock buttons, its dialogs) in the language of ours, so that no dialog
    // mixes two; Japanese needs no system locale, English needs no catalog.
    if (wxTranslations::Get() != nullptr)
        return;
    InitMessageLocale();
    auto* translations = new wxTranslations();
    translations->SetLanguage(ResLanguage().empty() ? wxString("ja")
                                                    : wxString::FromUTF8(ResLanguage()));
    translations->AddStdCatalog();
    wxTranslations::Set(translations);
}

void CWinApp::SetCommandLine(int argc, char** argv)
{
    RawCommandLine().assign(argv, argv + argc);
}

bool CWinApp::OnInit()
{
    // wx's catalog takes milliseconds to read and is first wanted by a dialog:
    // AfxInitTranslations() comes once the window is up, or before a message box that comes sooner.
    // GTK's texts follow the locale from the start.
    InitMessageLocale();
    SetAppName("tarvel1");
    SetAppDisplayName(FromUtf8(LoadResString(AFX_IDS_APP_TITLE)));
    AfxInstallWindowMessagePresenter();
    return InitInstance();
}

int CWinApp::OnExit()
{
    const int status = ExitInstance();
    wxApp::OnExit();
    return status;
}

bool CWinApp::InitInstance()
{
    return true;
}

int CWinApp::ExitInstance()
{
    if (m_pRecentFileList)
        m_pRecentFileList->WriteList();
    m_pDocTemplate.reset();
    m_pRecentFileList.reset();
    m_pMainWnd = nullptr;
    return 0;
}

void CWinApp::HandleEvent(wxEvtHandler* handler, wxEventFunction func, wxEvent& event) const
{
    // The command boundary: no file or archive exception goes further than the handler that
    // raised it.
    try
    {
        wxApp::HandleEvent(handler, func, event);
    }
    catch (const CException& error)
    {
        AfxReportException(error);
    }
}

bool CWinApp::OnExceptionInMainLoop()
{
    try
    {
        throw;
    }
    catch (const CException& error)
    {
        AfxReportException(error);
        return true;
    }
}

void CWinApp::SetRegistryKey(const std::string& key)
{
    m_strRegistryKey = key;
}

std::string CWinApp::GetProfilePath() const
{
    std::string folder;
    try
    {
        folder = UserFolderPath(UserFolder::config);
    }
    catch (const CFileException&)
    {
        // No home folder anywhere: the settings live for this run only, as a failed save
        // leaves them.
        return "";
    }
    if (!m_strRegistryKey.empty())
        folder += "/" + m_strRegistryKey;
    return folder + "/" + LoadResString(AFX_IDS_APP_TITLE) + ".conf";
}

void CWinApp::LoadStdProfileSettings(unsigned maxRecentFiles)
{
    m_pRecentFileList = std::make_unique<CRecentFileList>(GetProfilePath(), maxRecentFiles);
    m_pRecentFileList->ReadList();
}

void CWinApp::AddDocTemplate(CSingleDocTemplate* docTemplate)
{
    m_pDocTemplate.reset(docTemplate);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info)
{
    std::vector<std::string> args = RawCommandLine();
    if (args.empty())
        for (int i = 0; i < argc; ++i)
            args.push_back(ToFileName(argv[i]));
    bool options = true;
    for (std::size_t i = 1; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (options && arg == "--")
        {
            options = false;
            continue;
        }
        bool takesValue = false;
        if (options && IsToolkitOption(arg, takesValue))
        {
            // The toolkit has used it (and its value) already.
            if (takesValue)
                ++i;
            continue;
        }
        const bool flag = options && arg.size() > 1 && arg[0] == '-';
        info.ParseParam(flag ? arg.substr(1) : arg, flag);
    }
}

bool CWinApp::ProcessShellCommand(CCommandLineInfo& info)
{
    switch (info.m_nShellCommand)
    {
    case CCommandLineInfo::FileNew:
        return NewDocumentFile() != nullptr;
    case CCommandLineInfo::FileOpen:
        return OpenDocumentFile(info.m_strFileName) != nullptr;
    case CCommandLineInfo::FileNothing:
        break;
    }
    return true;
}

CDocument* CWinApp::OpenDocumentFile(const std::string& path)
{
    if (!m_pDocTemplate)
        return nullptr;
    const std::string absolute = AbsolutePath(path);
    CDocument* document = m_pDocTemplate->OpenDocumentFile(absolute);
    if (document != nullptr)
    {
        AdoptMainFrame();
        AddToRecentFileList(absolute);
    }
    return document;
}

CDocument* CWinApp::NewDocumentFile()
{
    if (!m_pDocTemplate)
        return nullptr;
    CDocument* document = m_pDocTemplate->OpenDocumentFile("");
    if (document != nullptr)
        AdoptMainFrame();
    return document;
}

void CWinApp::AdoptMainFrame()
{
    m_pMainWnd = m_pDocTemplate->GetFrame();
    SetTopWindow(m_pMainWnd);
}

void CWinApp::AddToRecentFileList(const std::string& path)
{
    if (!m_pRecentFileList)
        return;
    m_pRecentFileList->Add(path);
    // Written at once: the list survives a run that does not end normally.
    m_pRecentFileList->WriteList();
}

void CWinApp::OnMainFrameClosing(wxFrame* frame)
{
    if (m_pDocTemplate)
        m_pDocTemplate->OnFrameClosing(dynamic_cast<CFrameWnd*>(frame));
    if (m_pMainWnd == frame)
        m_pMainWnd = nullptr;
}

void CWinApp::OnFileNew(wxCommandEvent&)
{
    NewDocumentFile();
}

void CWinApp::OnFileOpen(wxCommandEvent&)
{
    std::string path;
    if (AfxPromptFileName(true, LoadResString(AFX_IDS_OPENFILE), path))
        OpenDocumentFile(path);
}

void CWinApp::OnFilePrintSetup(wxCommandEvent&)
{
    wxPageSetupDialog dialog(m_pMainWnd);
    dialog.ShowModal();
}

void CWinApp::OnAppExit(wxCommandEvent&)
{
    if (m_pMainWnd != nullptr)
        m_pMainWnd->Close();
}

#include "ui_hooks.h"

#include <utility>

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "gtk_native.h"
#include "message_box.h"
#include "string_table.h"
#include "win_app.h"
#include "wx_text.h"

namespace
{

bool ShowFileDialog(bool open, const std::string& title, std::string& path)
{
    // The song files carry no fixed extension: every file is offered.
    const wxString wildcard = FromUtf8(LoadResString(AFX_IDS_ALLFILTER)) + "|*";
    const long style =
        open ? (wxFD_OPEN | wxFD_FILE_MUST_EXIST) : (wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    // The suggestion opens the dialog in its folder with its name filled in.
    const wxFileName suggestion(FromFileName(path));
    AfxInitTranslations();
    wxFileDialog dialog(wxTheApp ? wxTheApp->GetTopWindow() : nullptr, FromUtf8(title),
                        suggestion.GetPath(), suggestion.GetFullName(), wildcard, style);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    // wx hands the chosen name over as text, and a name that is not UTF-8 does not survive that
    // (it came back empty, which opened the working folder): GTK's own bytes are taken.
    const std::string bytes = AfxFileChooserFileName(&dialog);
    path = !bytes.empty() ? bytes : ToFileName(dialog.GetPath());
    return true;
}

bool LaunchBrowser(const std::string& url)
{
    return wxLaunchDefaultBrowser(FromUtf8(url));
}

FilePrompter& Prompter()
{
    static FilePrompter prompter = ShowFileDialog;
    return prompter;
}

UrlOpener& Opener()
{
    static UrlOpener opener = LaunchBrowser;
    return opener;
}

} // namespace

void AfxInstallWindowMessagePresenter()
{
    AfxSetMessagePresenter(
        [](const std::string& text)
        {
            AfxInitTranslations();
            wxWindow* owner = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
            if (owner != nullptr && !owner->IsShown())
                owner = nullptr;
            wxMessageBox(FromUtf8(text), FromUtf8(LoadResString(AFX_IDS_APP_TITLE)),
                         wxOK | wxCENTRE, owner);
        });
}

FilePrompter AfxSetFilePrompter(FilePrompter prompter)
{
    if (!prompter)
        prompter = ShowFileDialog;
    return std::exchange(Prompter(), std::move(prompter));
}

bool AfxPromptFileName(bool open, const std::string& title, std::string& path)
{
    return Prompter()(open, title, path);
}

UrlOpener AfxSetUrlOpener(UrlOpener opener)
{
    if (!opener)
        opener = LaunchBrowser;
    return std::exchange(Opener(), std::move(opener));
}

bool AfxOpenUrl(const std::string& url)
{
    return Opener()(url);
}

std::string AfxStatusPrompt(UINT id)
{
    const std::string& prompt = LoadResString(id);
    return prompt.substr(0, prompt.find('\n'));
}

std::string AfxToolTipPrompt(UINT id)
{
    const std::string& prompt = LoadResString(id);
    const std::size_t feed = prompt.find('\n');
    return feed == std::string::npos ? std::string() : prompt.substr(feed + 1);
}

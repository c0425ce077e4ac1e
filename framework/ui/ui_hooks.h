#pragma once
// The places where the window framework meets the desktop: the message box, the file dialogs and
// the web browser. Each can be replaced, so that tests record instead of showing anything modal.

#include <functional>
#include <string>

using UINT = unsigned int;

// Makes AfxMessageBox show a modal box with an OK button over the main window, captioned with
// the application's title.
void AfxInstallWindowMessagePresenter();

// Asks for a file name: `open` picks an existing file, otherwise a name to save under. `path`
// holds the suggestion on the way in and the choice on the way out. False when cancelled.
using FilePrompter = std::function<bool(bool open, const std::string& title, std::string& path)>;
// Installs the prompter and returns the one it replaces; an empty one restores the file dialog.
FilePrompter AfxSetFilePrompter(FilePrompter prompter);
bool AfxPromptFileName(bool open, const std::string& title, std::string& path);

// Opens an address in the desktop's default browser. Returns what the desktop answered.
using UrlOpener = std::function<bool(const std::string& url)>;
UrlOpener AfxSetUrlOpener(UrlOpener opener);
bool AfxOpenUrl(const std::string& url);

// The UTF-8 text before the line feed of a command's prompt (the status-bar text), or after it
// (the tooltip); empty when the string table has none.
std::string AfxStatusPrompt(UINT id);
std::string AfxToolTipPrompt(UINT id);

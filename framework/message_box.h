#pragma once
// Modal messages with an OK button. The document and the player never own a window: they ask
// here, and the program installs what shows the text (the window, stderr, or a recorder in tests).

#include <functional>
#include <string>
#include <utility>

using UINT = unsigned int;

constexpr int IDOK = 1;

// Shows one UTF-8 text and returns when the user has acknowledged it.
using MessagePresenter = std::function<void(const std::string& text)>;

// Installs the presenter and returns the one it replaces. An empty presenter restores the
// default, which writes the text to stderr.
MessagePresenter AfxSetMessagePresenter(MessagePresenter presenter);

// Installs a presenter for as long as it lives, then puts the one it replaced back.
class CMessagePresenterScope
{
public:
    explicit CMessagePresenterScope(MessagePresenter presenter)
        : m_previous(AfxSetMessagePresenter(std::move(presenter)))
    {
    }
    ~CMessagePresenterScope() { AfxSetMessagePresenter(std::move(m_previous)); }
    CMessagePresenterScope(const CMessagePresenterScope&) = delete;
    CMessagePresenterScope& operator=(const CMessagePresenterScope&) = delete;

private:
    MessagePresenter m_previous;
};

int AfxMessageBox(const std::string& text);
// Shows the string resource `idPrompt`.
int AfxMessageBox(UINT idPrompt);

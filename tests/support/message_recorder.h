#pragma once
// Records every message box instead of showing it, for as long as it lives.

#include <string>
#include <utility>
#include <vector>

#include "message_box.h"

class CMessageRecorder
{
public:
    CMessageRecorder()
        : m_previous(AfxSetMessagePresenter([this](const std::string& text)
                                            { m_messages.push_back(text); }))
    {
    }
    ~CMessageRecorder() { AfxSetMessagePresenter(std::move(m_previous)); }
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    const std::vector<std::string>& Texts() const { return m_messages; }
    std::vector<std::string> Take() { return std::exchange(m_messages, {}); }

private:
    std::vector<std::string> m_messages;
    MessagePresenter m_previous;
};

#pragma once
// Records every message box instead of showing it, for as long as it lives.

#include <string>
#include <utility>
#include <vector>

#include "message_box.h"

class CMessageRecorder
{
public:
    CMessageRecorder() : m_scope([this](const std::string& text) { m_messages.push_back(text); }) {}

    const std::vector<std::string>& Texts() const { return m_messages; }
    std::vector<std::string> Take() { return std::exchange(m_messages, {}); }

private:
    std::vector<std::string> m_messages;
    CMessagePresenterScope m_scope;
};

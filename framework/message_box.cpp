#include "message_box.h"

#include <cstdio>
#include <utility>

#include "string_table.h"

namespace
{

void WriteToStderr(const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", LoadResString(AFX_IDS_APP_TITLE).c_str(), text.c_str());
}

MessagePresenter& Presenter()
{
    static MessagePresenter presenter = WriteToStderr;
    return presenter;
}

} // namespace

MessagePresenter AfxSetMessagePresenter(MessagePresenter presenter)
{
    if (!presenter)
        presenter = WriteToStderr;
    return std::exchange(Presenter(), std::move(presenter));
}

int AfxMessageBox(const std::string& text)
{
    Presenter()(text);
    return IDOK;
}

int AfxMessageBox(UINT idPrompt)
{
    return AfxMessageBox(LoadResString(idPrompt));
}

#pragma once
// The about box: the product's name and version, and a button that opens the author's web page
// in the desktop's browser while the box stays open.

#include "dialog.h"

class CAboutDialog : public CDialog
{
public:
    CAboutDialog();

    // The address the home-page button shows and opens.
    static std::string HomePageAddress();

private:
    void OnHomePage(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};

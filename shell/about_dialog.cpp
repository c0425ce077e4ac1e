#include "about_dialog.h"

#include "resource.h"
#include "ui_hooks.h"
#include "ui_resources.h"

wxBEGIN_EVENT_TABLE(CAboutDialog, CDialog)
    ON_BN_CLICKED(IDC_HOMEPAGE, CAboutDialog::OnHomePage)
wxEND_EVENT_TABLE()

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUT) {}

std::string CAboutDialog::HomePageAddress()
{
    return HomePageUrl();
}

void CAboutDialog::OnHomePage(wxCommandEvent&)
{
    // What the desktop answers is not the user's concern here: the box stays open either way.
    AfxOpenUrl(HomePageAddress());
}

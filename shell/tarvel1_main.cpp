// tarvel1: the window program. The command line is kept as the bytes it came in, so that a song's
// file name reaches the document unchanged whatever the locale.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <wx/cmdline.h>

#include "string_table.h"
#include "tarvel1_app.h"
#include "wx_text.h"

wxIMPLEMENT_APP_NO_MAIN(CTarvel1App);

namespace
{

void PrintUtf8(const wxString& text)
{
    const std::string bytes = ToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

int PrintHelp()
{
    // Only the parser's layout of the usage is wanted here: the arguments are read later, byte
    // for byte, by the application.
    char program[] = "tarvel1";
    char* argv[] = {program, nullptr};
    wxCmdLineParser parser(1, argv);
    parser.SetSwitchChars("-");
    parser.AddSwitch("h", "help", FromUtf8(LoadResString(IDS_CMDLINE_HELP)));
    parser.AddSwitch(wxEmptyString, "version", FromUtf8(LoadResString(IDS_CMDLINE_VERSION)));
    parser.AddParam(FromUtf8(LoadResString(IDS_CMDLINE_SONG)), wxCMD_LINE_VAL_STRING,
                    wxCMD_LINE_PARAM_OPTIONAL);
    PrintUtf8(parser.GetUsageString());
    return 0;
}

int PrintVersion()
{
    std::printf("%s %s\n%s\n", LoadResString(IDS_VERSION_PRODUCT_NAME).c_str(),
                LoadResString(IDS_VERSION_NUMBER).c_str(),
                LoadResString(IDS_VERSION_FILE_DESCRIPTION).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before the toolkit starts, so that neither needs a display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
    {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return PrintHelp();
        if (std::strcmp(argv[i], "--version") == 0)
            return PrintVersion();
    }
    // The program draws nothing with GL: GDK's probe of it costs tens of megabytes and
    // milliseconds at every start. A user's own setting stands.
    setenv("GDK_GL", "disable", 0);
    CWinApp::SetCommandLine(argc, argv);
    return wxEntry(argc, argv);
}

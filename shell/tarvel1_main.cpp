// tarvel1: the window program. The command line is kept as the bytes it came in, so that a song's
// file name reaches the document unchanged whatever the locale.

#include "tarvel1_app.h"

wxIMPLEMENT_APP_NO_MAIN(CTarvel1App);

int main(int argc, char** argv)
{
    CWinApp::SetCommandLine(argc, argv);
    return wxEntry(argc, argv);
}

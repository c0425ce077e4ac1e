// The converter's --picture on Windows, where the painter's cairo is not available: the run
// refuses the option before anything is written (CanDrawPianoRollPicture), so drawing is never
// asked for.

#include "piano_roll_picture.h"

#include "string_table.h"

bool CanDrawPianoRollPicture()
{
    return false;
}

bool DrawPianoRollPicture(const PictureSong&, const std::string&, int, const std::string&,
                          const std::string&, int, int, std::string& error)
{
    error = LoadResString(IDS_CLI_NO_PICTURE);
    return false;
}

// The converter's --picture on Windows, where the painter's cairo is not available: the picture
// fails with its reason and the exit status says so.

#include "piano_roll_picture.h"

bool DrawPianoRollPicture(const CTarvel1Doc&, const std::string&, int, const std::string&,
                          const std::string&, int, int, std::string& error)
{
    error = "the piano roll picture is not built into this program on Windows";
    return false;
}

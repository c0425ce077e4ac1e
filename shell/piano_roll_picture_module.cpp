// The picture module: the piano roll painter with cairo behind one C entry. The song comes as
// bytes; its model's code comes from the program that opens the module (linked with -rdynamic).

#include <cstring>

#include "piano_roll_model.h"
#include "piano_roll_painter.h"
#include "piano_roll_picture.h"
#include "string_table.h"

extern "C" __attribute__((visibility("default"))) bool
Tarvel1DrawPianoRollPicture(const PictureSong& song, const char* mode, int keyOffset,
                            const char* caption, const char* path, int width, int height,
                            char* error, std::size_t errorSize)
{
    CPianoRollModel model;
    model.Build(song.pOriginal, song.pConverted, song.nSize, song.nTracks, ModeFromText(mode),
                keyOffset);
    model.SetKey(
        ModeFromText(mode), keyOffset,
        FormatResString(IDS_ROLL_KEY, LoadResString(IDS_KEY_FIRST + (-keyOffset % 12)), mode));
    CRollViewport view = CPianoRollPainter::FitAll(model, width, height);
    view.strCaption = caption;
    view.strDrums = LoadResString(IDS_ROLL_DRUMS);
    view.strBarsUnit = LoadResString(IDS_ROLL_BARS);
    view.strTimeUnit = LoadResString(IDS_ROLL_TIME);
    std::string reason;
    const bool written = WritePianoRollPicture(model, view, path, width, height, reason);
    // One picture a run: the font caches go with it, so that nothing is left for a leak check.
    ReleaseDrawingCaches();
    if (!written && errorSize > 0)
    {
        std::strncpy(error, reason.c_str(), errorSize - 1);
        error[errorSize - 1] = '\0';
    }
    return written;
}

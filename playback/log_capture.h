#pragma once
// FluidSynth, libasound and libjack write their complaints to stderr unless told otherwise.
// They are routed here, process-wide (libjack's are dropped), so that the terminal gets no stray
// lines and the player can hand the reason for a failure to the user in its own message.

#include <cstdint>
#include <string>
#include <vector>

struct CapturedLine
{
    std::uint64_t nSeq; // increases by one for every line, from 1
    int nLevel; // FluidSynth's level (FLUID_PANIC .. FLUID_DBG); libasound counts as FLUID_ERR
    bool bAlsa; // written by libasound rather than FluidSynth
    std::string strText;
};

// Installs the handlers once; later calls do nothing. Safe from any thread.
void InstallLogCapture();

// While one lives, GLib's messages that name no log domain are captured as well: the SoundFont
// reader's library reports a damaged file through them. Messages of other domains (the window
// toolkit's) still go to GLib's own handler.
class CGlibLogCapture
{
public:
    CGlibLogCapture();
    ~CGlibLogCapture();
    CGlibLogCapture(const CGlibLogCapture&) = delete;
    CGlibLogCapture& operator=(const CGlibLogCapture&) = delete;

private:
    void* m_previous;
};

// The sequence number of the newest line so far, 0 before the first.
std::uint64_t LogCaptureMark();

// FluidSynth's errors (panic and error level) newer than `mark`, joined with "; ", oldest first,
// without repeating a line. Empty when there were none. libasound's lines are left out: they
// repeat what FluidSynth says in a dozen lines of configuration detail.
std::string CapturedErrorsSince(std::uint64_t mark);

// Every line newer than `mark`, for a caller that wants to show or inspect them all.
std::vector<CapturedLine> CapturedLinesSince(std::uint64_t mark);

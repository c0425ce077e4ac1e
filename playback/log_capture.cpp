#include "log_capture.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <glib.h>
#include <jack/jack.h>

namespace
{

// Enough for the longest chain of failures one operation produces (every audio driver failing
// in turn); older lines are dropped.
constexpr std::size_t kKeptLines = 256;

struct LogStore
{
    std::mutex mutex;
    std::deque<CapturedLine> lines;
    std::uint64_t nLastSeq = 0;
};

LogStore& Store()
{
    // Never destroyed: FluidSynth's threads may still log while static objects are torn down.
    static LogStore* store = new LogStore;
    return *store;
}

void Append(int level, bool alsa, std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    LogStore& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.lines.push_back(CapturedLine{++store.nLastSeq, level, alsa, std::move(text)});
    if (store.lines.size() > kKeptLines)
        store.lines.pop_front();
}

// Called on whichever thread FluidSynth logs from, its audio thread included; it must not throw.
void OnFluidLog(int level, const char* message, void*)
{
    try
    {
        Append(level, false, message != nullptr ? message : "");
    }
    catch (...)
    {
    }
}

// Information and debugging lines are of no use to the user and are not kept.
void DropFluidLog(int, const char*, void*) {}

void OnAlsaError(const char* file, int line, const char* function, int err, const char* fmt, ...)
{
    (void)file;
    (void)line;
    (void)function;
    (void)err;
    try
    {
        char buffer[512];
        va_list args;
        va_start(args, fmt);
        std::vsnprintf(buffer, sizeof buffer, fmt, args);
        va_end(args);
        Append(FLUID_ERR, true, buffer);
    }
    catch (...)
    {
    }
}

void OnGlibLog(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer data)
{
    if (domain != nullptr)
    {
        g_log_default_handler(domain, level, message, data);
        return;
    }
    try
    {
        Append(FLUID_ERR, false, message != nullptr ? message : "");
    }
    catch (...)
    {
    }
}

} // namespace

CGlibLogCapture::CGlibLogCapture()
    : m_previous(reinterpret_cast<void*>(g_log_set_default_handler(OnGlibLog, nullptr)))
{
}

CGlibLogCapture::~CGlibLogCapture()
{
    g_log_set_default_handler(reinterpret_cast<GLogFunc>(m_previous), nullptr);
}

void InstallLogCapture()
{
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       fluid_set_log_function(FLUID_PANIC, OnFluidLog, nullptr);
                       fluid_set_log_function(FLUID_ERR, OnFluidLog, nullptr);
                       fluid_set_log_function(FLUID_WARN, OnFluidLog, nullptr);
                       fluid_set_log_function(FLUID_INFO, DropFluidLog, nullptr);
                       fluid_set_log_function(FLUID_DBG, DropFluidLog, nullptr);
                       snd_lib_error_set_handler(OnAlsaError);
                       // libjack prints to stderr when no server runs, from FluidSynth's JACK
                       // driver as much as from our MIDI ports; its reasons reach the user
                       // through the player's own messages.
                       jack_set_error_function([](const char*) {});
                       jack_set_info_function([](const char*) {});
                       // Nor may trying JACK start a server of its own, which writes its
                       // banner and its driver's failures straight to our terminal.
                       setenv("JACK_NO_START_SERVER", "1", 0);
                   });
}

std::uint64_t LogCaptureMark()
{
    LogStore& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    return store.nLastSeq;
}

std::vector<CapturedLine> CapturedLinesSince(std::uint64_t mark)
{
    LogStore& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    std::vector<CapturedLine> lines;
    for (const CapturedLine& line : store.lines)
        if (line.nSeq > mark)
            lines.push_back(line);
    return lines;
}

std::string CapturedErrorsSince(std::uint64_t mark)
{
    std::vector<std::string> seen;
    std::string joined;
    for (const CapturedLine& line : CapturedLinesSince(mark))
    {
        if (line.bAlsa || line.nLevel > FLUID_ERR)
            continue;
        if (std::find(seen.begin(), seen.end(), line.strText) != seen.end())
            continue;
        seen.push_back(line.strText);
        if (!joined.empty())
            joined += "; ";
        joined += line.strText;
    }
    return joined;
}

// Loads arbitrary bytes as a song file and converts them in every mode, checking what must hold
// for any input: a refused file leaves the previous song exactly as it was, "Non convert" gives
// the song back, no conversion writes a note byte above 127 or touches the header, and the key
// finder reads only the song.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "key_finder.h"
#include "message_box.h"
#include "piano_roll_model.h"
#include "song_document.h"

namespace
{

struct Fixture
{
    Fixture()
    {
        fd = memfd_create("song", 0);
        if (fd < 0)
            std::abort();
        path = "/proc/self/fd/" + std::to_string(fd);
        AfxSetMessagePresenter([](const std::string&) {});
        // A song every input starts from, so that refusals can be checked against it.
        static const std::uint8_t seed[] = {'M', 'T', 'h', 'd',  0,   0,    0,   6,    0,    0,
                                            0,   1,   0,   96,   'M', 'T',  'r', 'k',  0,    0,
                                            0,   8,   0,   0x90, 61,  0x40, 0,   0xFF, 0x2F, 0};
        Load(seed, sizeof seed);
        if (!doc->OnOpenDocument(path) || doc->m_bLoaded != 1)
            std::abort();
    }
    void Load(const std::uint8_t* data, std::size_t size)
    {
        if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
            std::abort();
    }
    int fd;
    std::string path;
    std::unique_ptr<CTarvel1Doc> doc = std::make_unique<CTarvel1Doc>();
    std::unique_ptr<CTarvel1Doc> before = std::make_unique<CTarvel1Doc>();
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CopyState(const CTarvel1Doc& from, CTarvel1Doc& to)
{
    to.m_bLoaded = from.m_bLoaded;
    to.m_nTracks = from.m_nTracks;
    to.m_nLastIndex = from.m_nLastIndex;
    to.m_original = from.m_original;
    to.m_converted = from.m_converted;
}

bool SameState(const CTarvel1Doc& a, const CTarvel1Doc& b)
{
    return a.m_bLoaded == b.m_bLoaded && a.m_nTracks == b.m_nTracks &&
           a.m_nLastIndex == b.m_nLastIndex && a.m_original == b.m_original &&
           a.m_converted == b.m_converted;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fixture fixture;
    CTarvel1Doc& doc = *fixture.doc;
    CopyState(doc, *fixture.before);
    fixture.Load(data, size);
    if (!doc.OnOpenDocument(fixture.path))
    {
        Check(SameState(doc, *fixture.before));
        return 0;
    }
    if (doc.m_bLoaded != 1)
        return 0;
    const std::size_t size1 = static_cast<std::size_t>(doc.m_nLastIndex) + 1;
    Check(size1 <= size && std::memcmp(doc.m_original.data(), data, size1) == 0);
    // The storage fits the song: nothing of a longer earlier song stays behind it.
    Check(doc.m_original.size() == size1 && doc.m_converted.size() == size1);

    static const char* const kModes[] = {"major", "minor", "aug", "dim", "invert"};
    const int key = size > 0 ? -static_cast<int>(data[size - 1] % 12) : 0;
    for (const char* mode : kModes)
        for (int keyOffset : {0, key, -11})
        {
            doc.Convert(mode, keyOffset);
            for (std::size_t i = 0; i < size1; ++i)
                if (doc.m_converted[i] != doc.m_original[i])
                    Check(i >= 22 && doc.m_converted[i] <= 127);
        }
    // The roll's walk reads the same song: it stays inside it, counts as the report does and
    // never ends a note before it starts.
    CPianoRollModel model;
    model.Build(doc, true, "invert", -11);
    const MovedNoteCount counts = CountMovedNotes(doc);
    Check(model.Counts().nNotes == counts.nNotes && model.Counts().nMoved == counts.nMoved);
    for (const CRollNote& note : model.Notes())
        Check(note.dStart <= note.dEnd && note.dEnd <= model.TotalSeconds());

    // The key finder walks it too: it stays inside the song, counts no more notes than the
    // report (it leaves out note bytes above 127, which have no pitch) and names one of the
    // 24 keys.
    const KeyEstimate estimate = EstimateKey(doc);
    Check(estimate.nNotes <= counts.nNotes);
    Check(estimate.key.nTonic >= 0 && estimate.key.nTonic < 12);
    Check(estimate.dConfidence >= 0 && estimate.dConfidence <= 1);

    doc.Convert("Non convert", key);
    Check(std::memcmp(doc.m_converted.data(), doc.m_original.data(), size1) == 0);
    return 0;
}

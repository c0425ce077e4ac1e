// How often the key finder names the key a song is in, against the classic method (the
// duration profile correlated with Krumhansl and Kessler's profiles) on the same songs.
//
// The songs: every MIDI file below the folders given (by default ../shared/corpus and
// tests/data) that carries a key signature other than the default C major, taken as its key
// (identical files count once), and songs made in each of the 24 keys from scales, cadences,
// a pop progression and a blues. Prints one line per real song, then the agreement of each
// method: exact (tonic and mode) and tonic only.
//
// Songs whose signature is C major are not in the set; they are counted apart, as a check on
// songs the method was not shaped on (many of them are in C major, some only say so).
//
//   key_accuracy [-v] [FOLDER...]

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "conversion.h"
#include "key_finder.h"
#include "key_songs.h"
#include "message_box.h"

namespace
{

struct Tally
{
    int songs = 0;
    int exact = 0;
    int tonic = 0;

    void Add(const MusicalKey& truth, const MusicalKey& found)
    {
        ++songs;
        exact += truth == found;
        tonic += truth.nTonic == found.nTonic;
    }
};

struct Result
{
    Tally finder;
    Tally baseline;
};

// The first key signature meta event (FF 59 02 sf mi): sharps (or minus flats), then 0 for
// major and 1 for minor. False when there is none. C major is the value many programs write when
// nobody chose a key: `cMajor` says whether it was that.
bool SignatureKey(const std::vector<std::uint8_t>& song, MusicalKey& key, bool& cMajor)
{
    const std::uint8_t pattern[] = {0xFF, 0x59, 0x02};
    const auto at = std::search(song.begin(), song.end(), std::begin(pattern), std::end(pattern));
    if (std::distance(at, song.end()) < 5)
        return false;
    const int sharps = static_cast<std::int8_t>(at[3]);
    const bool minor = at[4] == 1;
    cMajor = sharps == 0 && !minor;
    const int major = ((sharps * 7) % 12 + 12) % 12;
    key = MusicalKey{minor ? (major + 9) % 12 : major, minor};
    return true;
}

void Print(Tally t, const char* what, const char* method)
{
    if (t.songs == 0)
        return;
    std::printf("%-10s %-24s %3d songs  exact %5.1f %%  tonic %5.1f %%\n", what, method, t.songs,
                100.0 * t.exact / t.songs, 100.0 * t.tonic / t.songs);
}

void Compare(const std::uint8_t* data, std::size_t size, int tracks, const MusicalKey& truth,
             Result& result, const char* name, bool verbose)
{
    const KeyEvidence evidence = GatherKeyEvidence(data, size, tracks);
    const KeyEstimate found = EstimateKey(evidence);
    const KeyEstimate baseline = CorrelateWithProfile(evidence, kKrumhanslKesslerProfile);
    result.finder.Add(truth, found.key);
    result.baseline.Add(truth, baseline.key);
    if (name != nullptr && (verbose || found.key.nTonic != truth.nTonic))
        std::printf("  %-40.40s %-9s found %-9s (%.2f) baseline %-9s bass %s..%s\n", name,
                    KeyText(truth).c_str(), KeyText(found.key).c_str(), found.dConfidence,
                    KeyText(baseline.key).c_str(),
                    evidence.nFirstBass < 0 ? "-" : KeyNameFromTonic(evidence.nFirstBass).c_str(),
                    evidence.nFinalBass < 0 ? "-" : KeyNameFromTonic(evidence.nFinalBass).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    bool verbose = false;
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "-v") == 0)
            verbose = true;
        else
            folders.emplace_back(argv[i]);
    }
    if (folders.empty())
        folders = {TARVEL1_CORPUS_DIR, TARVEL1_DATA_DIR};
    AfxSetMessagePresenter([](const std::string&) {});

    std::vector<std::string> paths;
    for (const std::string& folder : folders)
    {
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        {
            std::string ext = it->path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
            if (it->is_regular_file() && (ext == ".mid" || ext == ".midi" || ext == ".kar"))
                paths.push_back(it->path().string());
        }
    }
    std::sort(paths.begin(), paths.end());

    Result real, cMajorSigned;
    std::set<std::vector<std::uint8_t>> seen;
    std::printf("Real songs with a key signature (shown: %s)\n",
                verbose ? "all" : "those whose tonic was missed");
    for (const std::string& path : paths)
    {
        auto doc = std::make_unique<CTarvel1Doc>();
        if (!doc->OnOpenDocument(path) || doc->m_bLoaded != 1)
            continue;
        const std::vector<std::uint8_t> song(doc->m_original.begin(),
                                             doc->m_original.begin() + doc->m_nLastIndex + 1);
        MusicalKey truth;
        bool cMajor = false;
        if (!SignatureKey(song, truth, cMajor) || !seen.insert(song).second)
            continue;
        const std::string name = std::filesystem::path(path).filename().string();
        Compare(song.data(), song.size(), doc->m_nTracks, truth, cMajor ? cMajorSigned : real,
                name.c_str(), verbose);
    }

    Result made;
    for (KeySongKind kind : {KeySongKind::ScaleAndCadence, KeySongKind::CountInCadence,
                             KeySongKind::PopProgression, KeySongKind::Blues})
        for (int k = 0; k < 24; ++k)
        {
            const MusicalKey truth{k % 12, k >= 12};
            const Bytes song = MakeKeySong(truth.nTonic, truth.bMinor, kind);
            const int tracks = (song[10] << 8) | song[11];
            const std::string name =
                "made " + std::to_string(static_cast<int>(kind)) + " " + KeyText(truth);
            Compare(song.data(), song.size(), tracks, truth, made, name.c_str(), verbose);
        }

    Result all = real;
    for (auto [into, from] :
         {std::pair{&all.finder, &made.finder}, std::pair{&all.baseline, &made.baseline}})
    {
        into->songs += from->songs;
        into->exact += from->exact;
        into->tonic += from->tonic;
    }
    std::printf("\n");
    for (auto [what, result] :
         {std::pair{"real", &real}, {"made", &made}, {"all", &all}, {"C-signed", &cMajorSigned}})
    {
        Print(result->finder, what, "key finder");
        Print(result->baseline, what, "Krumhansl-Kessler");
    }
    return 0;
}

#pragma once
// Files for the song tests: the real songs in tests/data and scratch files in a fresh folder.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <cstdlib>
#include <stdlib.h>
#include <unistd.h>

using Bytes = std::vector<std::uint8_t>;

inline std::string DataPath(const std::string& name)
{
    return std::string(TARVEL1_TEST_DATA_DIR) + "/" + name;
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A folder of its own for each test, removed afterwards.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        std::string pattern = ::testing::TempDir() + "tarvel1-XXXXXX";
        m_path = mkdtemp(pattern.data());
    }
    ~ScratchFolder()
    {
        const std::string command = "rm -rf '" + m_path + "'";
        if (std::system(command.c_str()) != 0)
            ADD_FAILURE() << "could not remove " << m_path;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string File(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline const std::vector<std::string> kRealSongs = {"round.mid", "drum.mid", "bossa.mid",
                                                    "fanfare.mid", "start-with-middle-c.mid"};

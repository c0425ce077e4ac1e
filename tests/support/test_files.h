#pragma once
// Files for the song tests: the real songs in tests/data and scratch files in a fresh folder.

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <filesystem>
#include <random>

using Bytes = std::vector<std::uint8_t>;

inline std::string DataPath(const std::string& name)
{
    return std::string(TARVEL1_TEST_DATA_DIR) + "/" + name;
}

// Test paths are UTF-8, as the program's are; u8path gives Windows the whole name.
inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// The names in a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::u8path(folder), error))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

// A folder of its own for each test, removed afterwards.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        std::random_device random;
        for (;;)
        {
            const std::filesystem::path path = std::filesystem::u8path(
                ::testing::TempDir() + "tarvel1-" + std::to_string(random() % 100000000u));
            if (std::filesystem::create_directory(path))
            {
                m_path = path.u8string();
                break;
            }
        }
    }
    ~ScratchFolder()
    {
        // Folders a test made read-only are made writable again first.
        std::error_code error;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(std::filesystem::u8path(m_path), error))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
        std::filesystem::permissions(std::filesystem::u8path(m_path),
                                     std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
        if (std::filesystem::remove_all(std::filesystem::u8path(m_path), error) ==
                static_cast<std::uintmax_t>(-1) ||
            error)
            ADD_FAILURE() << "could not remove " << m_path << ": " << error.message();
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

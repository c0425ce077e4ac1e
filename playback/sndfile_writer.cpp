// The audio file writer inside the player module, on libsndfile.

#include "audio_file_writer.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sndfile.h>

#include "player_engine.h"

namespace
{

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SystemError(int error)
{
    return std::strerror(error);
}

} // namespace

class CSndFileWriter final : public IAudioFileWriterEngine
{
public:
    CSndFileWriter() = default;
    ~CSndFileWriter() override;
    CSndFileWriter(const CSndFileWriter&) = delete;
    CSndFileWriter& operator=(const CSndFileWriter&) = delete;

    bool Open(const std::string& path, int kind, int sampleRate, std::string& error) override;
    bool Write(const std::int16_t* stereo, std::size_t frames, std::string& error) override;
    bool Commit(std::string& error) override;
    void Abandon() override;

private:
    std::string m_strPath; // where the file goes (a link's target when the path is a link)
    std::string m_strTemp; // a named temporary, when the folder cannot hold anonymous files
    int m_fd = -1;
    SNDFILE* m_file = nullptr;
    bool m_bDirect = false;   // writing into a FIFO or device
    bool m_bReplaces = false; // a regular file is there already
};

CSndFileWriter::~CSndFileWriter()
{
    Abandon();
}

bool CSndFileWriter::Open(const std::string& path, int kind, int sampleRate, std::string& error)
{
    Abandon();
    m_strPath = path;
    // A link is followed to the file it names, so that the link itself stays.
    char resolved[PATH_MAX];
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        realpath(path.c_str(), resolved) != nullptr)
        m_strPath = resolved;
    m_bReplaces = false;
    m_bDirect = false;
    if (stat(m_strPath.c_str(), &info) == 0)
    {
        if (S_ISDIR(info.st_mode))
        {
            error = SystemError(EISDIR);
            return false;
        }
        m_bReplaces = S_ISREG(info.st_mode);
        m_bDirect = !m_bReplaces;
    }

    if (m_bDirect)
        m_fd = open(m_strPath.c_str(), O_WRONLY | O_CLOEXEC);
    else
    {
        // An anonymous file leaves nothing behind however the program ends; it gets a name
        // only once it is complete.
        m_fd = open(FolderOf(m_strPath).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        {
            std::string name = m_strPath + ".XXXXXX";
            std::vector<char> buffer(name.begin(), name.end());
            buffer.push_back('\0');
            m_fd = mkstemp(buffer.data());
            if (m_fd >= 0)
            {
                m_strTemp = buffer.data();
                fchmod(m_fd, 0644);
            }
        }
    }
    if (m_fd < 0)
    {
        error = SystemError(errno);
        return false;
    }

    SF_INFO format = {};
    format.samplerate = sampleRate;
    format.channels = 2;
    format.format = kind == kAudioFlac        ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16
                    : kind == kAudioOggVorbis ? SF_FORMAT_OGG | SF_FORMAT_VORBIS
                                              : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    m_file = sf_open_fd(m_fd, SFM_WRITE, &format, 0);
    if (m_file == nullptr)
    {
        error = sf_strerror(nullptr);
        Abandon();
        return false;
    }
    return true;
}

bool CSndFileWriter::Write(const std::int16_t* stereo, std::size_t frames, std::string& error)
{
    if (m_file == nullptr)
        return false;
    const sf_count_t written = sf_writef_short(m_file, stereo, static_cast<sf_count_t>(frames));
    if (written != static_cast<sf_count_t>(frames))
    {
        const int code = errno;
        error = sf_error(m_file) != 0 ? sf_strerror(m_file) : SystemError(code ? code : ENOSPC);
        return false;
    }
    return true;
}

bool CSndFileWriter::Commit(std::string& error)
{
    if (m_file == nullptr)
        return false;
    // Closing writes the header's final lengths and the encoders' last blocks.
    const int closed = sf_close(m_file);
    m_file = nullptr;
    if (closed != 0)
    {
        error = sf_error_number(closed);
        Abandon();
        return false;
    }
    if (m_bDirect)
    {
        close(m_fd);
        m_fd = -1;
        return true;
    }
    // Replacing a user's file: its new bytes are on the disk before the old ones go.
    if (m_bReplaces && fsync(m_fd) != 0)
    {
        error = SystemError(errno);
        Abandon();
        return false;
    }
    if (m_strTemp.empty())
    {
        // The anonymous file gets a temporary name in the same folder, then takes the target's.
        const std::string proc = "/proc/self/fd/" + std::to_string(m_fd);
        for (int attempt = 0; attempt < 100 && m_strTemp.empty(); ++attempt)
        {
            const std::string name =
                m_strPath + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
            if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                m_strTemp = name;
            else if (errno != EEXIST)
            {
                error = SystemError(errno);
                Abandon();
                return false;
            }
        }
    }
    if (m_strTemp.empty() || rename(m_strTemp.c_str(), m_strPath.c_str()) != 0)
    {
        error = SystemError(m_strTemp.empty() ? EEXIST : errno);
        Abandon();
        return false;
    }
    m_strTemp.clear();
    close(m_fd);
    m_fd = -1;
    return true;
}

void CSndFileWriter::Abandon()
{
    if (m_file != nullptr)
    {
        sf_close(m_file);
        m_file = nullptr;
    }
    if (m_fd >= 0)
    {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_strTemp.empty())
    {
        unlink(m_strTemp.c_str());
        m_strTemp.clear();
    }
}

IAudioFileWriterEngine* CreateSndFileWriter()
{
    return new CSndFileWriter;
}

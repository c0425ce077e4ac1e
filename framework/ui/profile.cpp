#include "profile.h"

#include <wx/fileconf.h>
#include <wx/mstream.h>
#include <wx/wfstream.h>

#include "file.h"
#include "safe_writer.h"
#include "wx_text.h"

std::unique_ptr<wxFileConfig> OpenProfile(const std::string& path)
{
    std::unique_ptr<wxFileConfig> config;
    // Built from a stream, the config knows no file name of its own and never saves itself.
    if (!path.empty() && wxFileExists(FromFileName(path)))
    {
        wxFileInputStream stream(FromFileName(path));
        if (stream.IsOk())
            config = std::make_unique<wxFileConfig>(stream, wxConvUTF8);
    }
    if (!config)
    {
        wxMemoryInputStream empty("", 0);
        config = std::make_unique<wxFileConfig>(empty, wxConvUTF8);
    }
    // A path is taken as written: a '$' in a file name is not a variable.
    config->SetExpandEnvVars(false);
    return config;
}

bool SaveProfile(wxFileConfig& config, const std::string& path)
{
    wxMemoryOutputStream text;
    if (path.empty() || !config.Save(text, wxConvUTF8))
        return false;
    try
    {
        MakeFolders(FolderOfPath(path), 0700);
        CSafeWriter writer(path);
        const wxStreamBuffer* buffer = text.GetOutputStreamBuffer();
        writer.Write(buffer->GetBufferStart(), text.GetSize());
        writer.Commit();
    }
    catch (const CFileException&)
    {
        return false;
    }
    return true;
}

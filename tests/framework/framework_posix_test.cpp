// What only POSIX systems can be asked about reading: pipes and devices. (The writer's POSIX
// cases are in safe_writer_test.cpp.)

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "file.h"
#include "string_table.h"
#include "test_files.h"

TEST(File, PipesAndDevicesAreRefusedForReading)
{
    // A pipe with no writer, or a device, is refused at once instead of waited on or read.
    ScratchFolder folder;
    ASSERT_EQ(mkfifo(folder.File("pipe").c_str(), 0600), 0);
    for (const std::string& path : {folder.File("pipe"), std::string("/dev/zero")})
    {
        try
        {
            CFile file(path, CFile::modeRead);
            ADD_FAILURE() << path;
        }
        catch (const CFileException& error)
        {
            EXPECT_EQ(error.GetReason(), LoadResString(AFX_IDP_NOT_REGULAR_FILE));
        }
    }
}

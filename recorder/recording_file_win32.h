// The files of one recording: FILE.csv, the rows as a replay, and FILE.ini, a copy of the settings
// file the plug-in reads, so the replay runs with the settings the game ran with. Used by the
// writer thread alone: nothing of it runs under the loader lock. Its own folders and files are
// made with the wide calls, so a folder named in any language holds them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "common/path_text.h"
#include "recorder/recorded_row.h"
#include "recorder/wide_path_win32.h"

class RecordingFile {
  public:
    // Creates the two files, named by the local time, in the folder "Ostrelle recordings" beside
    // the recorder, or when that cannot be written in "%LOCALAPPDATA%\Ostrelle\recordings",
    // made as needed. False when neither can be written.
    bool open();

    // Adds a row, writing the rows gathered so far when there is no room for it; false when a
    // write failed.
    bool add(const RecordedRow& row);

    // Writes the rows gathered so far. A write that fails (a full disk) takes the file back to
    // its last whole row, and answers false.
    bool flush();

    // Closes the files; a recording without a row (which no replay reader reads) is deleted.
    void close();

  private:
    bool openIn();
    bool createFiles();
    bool writeSettings(HANDLE ini);

    HANDLE csv = nullptr;  // none open (a constant: nothing of the recorder runs before load)
    WidePath folder, csvPath, iniPath;
    PathText settingsFolder, settings;  // as the plug-in reads them: ANSI
    char text[64 * 1024]{};
    std::size_t textSize = 0;
    LONGLONG written = 0;  // bytes in the file, all whole rows after the header
};

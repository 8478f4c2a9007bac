// Ostrelle-recorder.dll: a second plug-in on the same frame hook that records what the game
// answers each frame as a replay (FILE.csv) with a copy of the settings the plug-in reads
// (FILE.ini), so that ostrelle-sim and the tuner run the drive again exactly.
//
// The game's thread only reads and puts rows into a fixed ring; a writer thread of our own turns
// them into text and writes them every tenth of a second, and at once when the game pauses
// (players quit from the pause menu) or the ring is an eighth full. Every failure of the disk (a
// folder that cannot be written, a full disk) ends the recording and never the game. Nothing is
// called at process exit: Windows has then ended the writer thread, and at most the rows since
// its last round are lost; the file holds whole rows up to there.
#include <windows.h>

#include <atomic>

#include "recorder/frame_reader.h"
#include "recorder/recording_file_win32.h"
#include "recorder/row_ring.h"

namespace {

enum class Recording : std::uint32_t { NotStarted, Running, Ended };

std::atomic<Recording> recording{Recording::NotStarted};
RowRing ring;
FrameReader reader;
RecordingFile file;
HANDLE wakeWriter = nullptr;  // an auto-reset event; none before the first frame
bool paused = false;          // the last frame read was paused

// How long the writer waits between two rounds unless woken: the most a crash of the game loses.
constexpr DWORD writeInterval = 100;  // milliseconds
// Rows in the ring that wake the writer: a burst of frames, or a disk slow for a moment, leaves
// the rest of the ring to fill.
constexpr std::uint32_t wakeAtRows = RowRing::capacity / 8;

// Writes what is in the ring, then the rest after each interval, until the recording ends.
DWORD WINAPI writeRecording(void*) {
    bool writing = file.open();
    while (writing) {
        bool ended = recording.load() == Recording::Ended;  // before the last round: no row lost
        RecordedRow row;
        while (writing && ring.take(row)) writing = file.add(row);
        writing = writing && file.flush() && !ended;
        if (writing) WaitForSingleObject(wakeWriter, writeInterval);
    }
    recording.store(Recording::Ended);
    file.close();
    return 0;
}

}  // namespace

// The frame work behind frameThunk: one row, or nothing once the recording has ended.
extern "C" void recordFrame() noexcept {
    Recording now = recording.load(std::memory_order_relaxed);
    if (now == Recording::Ended) return;
    if (now == Recording::NotStarted) {
        // On the first frame, not at load: the writer's first work waits for nothing the loader
        // holds, and a plug-in loader that loads us without running the game starts nothing.
        recording.store(Recording::Running);
        wakeWriter = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        HANDLE writer = wakeWriter == nullptr
                            ? nullptr
                            : CreateThread(nullptr, 0, writeRecording, nullptr, 0, nullptr);
        if (writer == nullptr) {
            recording.store(Recording::Ended);
            return;
        }
        CloseHandle(writer);
    }
    RecordedRow row;
    // A full ring (a writer that stalls) ends the recording: a gap would break the frame count.
    if (!reader.read(row) || !ring.push(row)) {
        recording.store(Recording::Ended);
        return;
    }
    // Setting an event never waits.
    bool pauses = row.suspend != 0 && !paused;
    paused = row.suspend != 0;
    if (pauses || ring.size() == wakeAtRows) SetEvent(wakeWriter);
}

// What the drive recorder reads from the game once a frame: what a replay row holds, asked as the
// plug-in asks it, under the fault guard.
#pragma once

#include "recorder/recorded_row.h"

class FrameReader {
  public:
    // Reads this frame's row into row; false when the frame cannot be recorded because the
    // recording already numbers as many vehicles as a replay may hold, or as many frames.
    //
    // While the game is suspended the plug-in asks it nothing, and nor does the recorder: the row
    // repeats the last row read, without its collision (a paused game has none). A frame whose
    // reads fault is recorded the same way; its replay then runs a whole frame on those values,
    // where the plug-in in the game had its frame cut short at the fault.
    bool read(RecordedRow& row);

  private:
    // The last row read whole; before the first, a row of no actor and no vehicle.
    const RecordedRow& lastRead() const { return anyRead ? last : noVehicleRow; }

    RecordedRow last{};
    bool anyRead = false;
    std::uint32_t nextFrame = 0;
    VehicleNumbers vehicles;
};

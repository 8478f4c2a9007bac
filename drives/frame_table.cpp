#include "drives/frame_table.h"

#include <cstdio>
#include <ostream>

#include "drives/timeline.h"
#include "text/float_text.h"

void writeFrameTable(std::ostream& out, const std::vector<FrameRecord>& records) {
    out << "time,frame,tick,state,radio_level,radio_pushed,sounds\n";
    for (const FrameRecord& record : records) {
        char time[32];
        std::snprintf(time, sizeof time, "%.4f", record.time);
        out << time << ',' << record.row.frame << ',' << record.row.tick << ','
            << stateName(record.state) << ',' << floatText(record.radioLevel) << ',';
        if (record.radioVolumeSet) out << static_cast<unsigned>(record.radioVolume);
        out << ',';
        const char* separator = "";
        for (const std::string& sound : record.playing) {
            out << separator << sound;
            separator = " ";
        }
        out << '\n';
    }
}

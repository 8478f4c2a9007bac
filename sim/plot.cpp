#include "sim/plot.h"

#include <stdio.h>

#include <functional>
#include <sstream>
#include <stdexcept>

#include "controller/effect_constants.h"

namespace {

using Stretch = std::pair<double, double>;

// The time stretches of consecutive frames for which inside holds.
std::vector<Stretch> stretches(const std::vector<FrameRecord>& records,
                               const std::function<bool(const FrameRecord&)>& inside) {
    std::vector<Stretch> found;
    bool open = false;
    for (const FrameRecord& record : records) {
        double end = record.time + record.duration;
        if (!inside(record)) {
            open = false;
        } else if (open) {
            found.back().second = end;
        } else {
            found.emplace_back(record.time, end);
            open = true;
        }
    }
    return found;
}

// Text in gnuplot's single quotes, where only a quote needs doubling.
std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("''") : std::string(1, c);
    return result + "'";
}

void shade(std::ostream& script, const std::vector<Stretch>& found, const char* colour) {
    for (const auto& [from, to] : found) {
        script << "set object rect from " << from << ", graph 0 to " << to
               << ", graph 1 behind fillcolor rgb '" << colour
               << "' fillstyle solid 1.0 noborder\n";
    }
}

constexpr const char* roofColour = "#cfe0f5";
constexpr const char* duckColour = "#f8d3c5";
constexpr const char* pauseColour = "#e2e2e2";

}  // namespace

bool isCrash(const ReplayFrame& row, const ReplayFrame& before) {
    bool newImpact = row.impact > 0.0f && row.impact != before.impact;
    bool healthFall =
        row.vehicle == before.vehicle && before.health - row.health > healthDropThreshold;
    return row.vehicle != 0 && (newImpact || healthFall);
}

std::string plotScript(const std::vector<FrameRecord>& records, const std::string& title,
                       const std::string& pngPath) {
    std::ostringstream script;
    script << "set terminal pngcairo size 1400,520 noenhanced font 'sans,10'\n"
           << "set output " << quoted(pngPath) << "\n"
           << "set title " << quoted(title) << "\n"
           << "set xlabel 'time (s)'\nset ylabel 'radio volume (127 = full)'\n"
           << "set yrange [0:140]\nset ytics 0,16,112\nset ytics add ('127' 127)\nset grid ytics\n"
           << "set key outside right top\n";
    double end = records.empty() ? 0.0 : records.back().time + records.back().duration;
    script << "set xrange [0:" << (end > 0.0 ? end : 1.0) << "]\n";
    shade(script,
          stretches(records,
                    [](const FrameRecord& r) { return r.row.roofFound && r.row.vehicle != 0; }),
          roofColour);
    shade(
        script,
        stretches(records, [](const FrameRecord& r) { return r.state == EffectState::ImpactDuck; }),
        duckColour);
    shade(script, stretches(records, [](const FrameRecord& r) { return r.row.suspend != 0; }),
          pauseColour);
    for (std::size_t i = 1; i < records.size(); ++i) {
        if (!isCrash(records[i].row, records[i - 1].row)) continue;
        script << "set arrow from " << records[i].time << ", graph 0 to " << records[i].time
               << ", graph 1 nohead linecolor rgb '#c0392b' dashtype 2 linewidth 1.5\n";
    }
    // Only the frames where the volume changes, and the last: a step line needs no more.
    script << "$radio << EOD\n";
    if (records.empty()) script << "0 127\n";  // before any frame the radio is at full
    for (std::size_t i = 0; i < records.size(); ++i) {
        bool changes = i == 0 || records[i].radioVolume != records[i - 1].radioVolume;
        if (changes || i + 1 == records.size()) {
            script << records[i].time << ' ' << unsigned(records[i].radioVolume) << '\n';
        }
    }
    script << "EOD\n"
           << "plot $radio using 1:2 with steps linewidth 2 linecolor rgb '#1f4e9a' title 'radio "
              "volume', \\\n"
           << "  NaN with boxes fillstyle solid fillcolor rgb '" << roofColour
           << "' title 'under a roof', \\\n"
           << "  NaN with boxes fillstyle solid fillcolor rgb '" << duckColour
           << "' title 'duck', \\\n"
           << "  NaN with boxes fillstyle solid fillcolor rgb '" << pauseColour
           << "' title 'paused', \\\n"
           << "  NaN with lines linecolor rgb '#c0392b' dashtype 2 title 'crash'\n";
    return script.str();
}

void writePlot(const std::vector<FrameRecord>& records, const std::string& title,
               const std::string& pngPath) {
    // The file is made here first: gnuplot that cannot open it would write the PNG to stdout.
    if (FILE* png = fopen(pngPath.c_str(), "wb")) {
        fclose(png);
    } else {
        throw std::runtime_error(pngPath + ": cannot write");
    }
    FILE* gnuplot = popen("gnuplot", "w");
    if (gnuplot == nullptr) throw std::runtime_error("cannot run gnuplot");
    std::string script = plotScript(records, title, pngPath);
    fwrite(script.data(), 1, script.size(), gnuplot);
    if (pclose(gnuplot) != 0) throw std::runtime_error("gnuplot could not draw " + pngPath);
}

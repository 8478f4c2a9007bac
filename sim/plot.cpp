#include "sim/plot.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "controller/effect_constants.h"
#include "drives/collisions.h"
#include "drives/plot_palette.h"
#include "text/shown_text.h"

extern char** environ;

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

// Text in gnuplot's single quotes, which gnuplot never substitutes into (no `command`, no @macro)
// and where only a quote needs doubling. A line end would end the string and let the rest run as
// commands: control characters go in as \xNN text.
std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : printableText(text)) result += c == '\'' ? std::string("''") : std::string(1, c);
    return result + "'";
}

void shade(std::ostream& script, const std::vector<Stretch>& found, const char* colour) {
    for (const auto& [from, to] : found) {
        script << "set object rect from " << from << ", graph 0 to " << to
               << ", graph 1 behind fillcolor rgb '" << colour
               << "' fillstyle solid 1.0 noborder\n";
    }
}

constexpr const char* roofColour = plotColour("roof");
constexpr const char* duckColour = plotColour("duck");
constexpr const char* pauseColour = plotColour("pause");
constexpr const char* awayColour = plotColour("away");  // out of the vehicle, or an ignored status

void mark(std::ostream& script, double time, const char* colour, int dashes) {
    script << "set arrow from " << time << ", graph 0 to " << time
           << ", graph 1 nohead linecolor rgb '" << colour << "' dashtype " << dashes
           << " linewidth 1.5\n";
}

constexpr const char* crashColour = plotColour("crash");
constexpr const char* ignoredColour = plotColour("ignored");

}  // namespace

std::string plotScript(const std::vector<FrameRecord>& records, const std::string& title) {
    std::ostringstream script;
    unsigned loudest = fullRadioVolume;
    for (const FrameRecord& r : records) loudest = std::max<unsigned>(loudest, r.radioVolume);
    script << "set terminal pngcairo size 1400,520 noenhanced font 'sans,10'\n"
           << "set title " << quoted(title) << "\n"
           << "set xlabel 'time (s)'\nset ylabel 'radio volume (127 = full)'\n"
           << "set yrange [0:" << loudest + 13
           << "]\nset ytics 0,16,112\nset ytics add ('127' 127)\n"
           << (loudest > fullRadioVolume ? "set ytics add (" + std::to_string(loudest) + ")\n" : "")
           << "set grid ytics\nset key outside right top\n";
    double end = records.empty() ? 0.0 : records.back().time + records.back().duration;
    script << "set xrange [0:" << (end > 0.0 ? end : 1.0) << "]\n";
    const auto shadedAs = [&](GateShade as) {
        return stretches(records,
                         [as](const FrameRecord& r) { return gateShade(r.decision.gate) == as; });
    };
    shade(script, shadedAs(GateShade::away), awayColour);
    shade(script, stretches(records, [](const FrameRecord& r) { return roofShade(r.row); }),
          roofColour);
    shade(
        script,
        stretches(records, [](const FrameRecord& r) { return r.state == EffectState::ImpactDuck; }),
        duckColour);
    shade(script, shadedAs(GateShade::pause), pauseColour);
    // A crash is what began a duck; a crash of the game's that began none, the plug-in ignored.
    const FrameRecord loaded = beforeFirst(records);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const CrashMark crash = crashMarkOf(records[i], i > 0 ? records[i - 1] : loaded);
        if (crash == CrashMark::counted) mark(script, records[i].time, crashColour, 2);
        if (crash == CrashMark::ignored) mark(script, records[i].time, ignoredColour, 3);
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
           << "plot $radio using 1:2 with steps linewidth 2 linecolor rgb '" << plotColour("radio")
           << "' title 'radio volume', \\\n";
    const std::pair<const char*, const char*> areas[] = {
        {roofColour, "under a roof"},
        {duckColour, "duck"},
        {pauseColour, "paused"},
        {awayColour, "out of the vehicle, or status 10+"}};
    for (const auto& [colour, name] : areas) {
        script << "  NaN with boxes fillstyle solid fillcolor rgb '" << colour << "' title '"
               << name << "', \\\n";
    }
    script << "  NaN with lines linecolor rgb '" << crashColour
           << "' dashtype 2 title 'crash', \\\n"
           << "  NaN with lines linecolor rgb '" << ignoredColour
           << "' dashtype 3 title 'impact ignored'\n";
    return script.str();
}

bool isWholePng(std::string_view bytes) {
    // The signature first; the image-end chunk last: its length 0, "IEND" and its fixed CRC.
    const std::string_view signature = "\x89PNG\r\n\x1A\n";
    const std::string_view end("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    return bytes.size() >= signature.size() + end.size() && bytes.starts_with(signature) &&
           bytes.ends_with(end);
}

std::string drawPlot(const std::vector<FrameRecord>& records, const std::string& title) {
    int script[2], png[2];
    if (pipe2(script, O_CLOEXEC) != 0) throw std::runtime_error("cannot run gnuplot");
    if (pipe2(png, O_CLOEXEC) != 0) {
        close(script[0]);
        close(script[1]);
        throw std::runtime_error("cannot run gnuplot");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, script[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, png[1], STDOUT_FILENO);
    char name[] = "gnuplot";
    char* argv[] = {name, nullptr};
    pid_t gnuplot = 0;
    const int spawned = posix_spawnp(&gnuplot, name, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(script[0]);
    close(png[1]);
    if (spawned != 0) {
        close(script[1]);
        close(png[0]);
        throw std::runtime_error("cannot run gnuplot");
    }
    const std::string text = plotScript(records, title);
    // A gnuplot that fails before it has read the script is an error of the write, not a
    // SIGPIPE that ends the run: the signal is held back while writing and dropped if raised.
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    bool sent = true;
    for (std::size_t done = 0; sent && done < text.size();) {
        const ssize_t wrote = write(script[1], text.data() + done, text.size() - done);
        sent = wrote > 0 || (wrote < 0 && errno == EINTR);
        done += wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
    }
    close(script[1]);
    const timespec now{};
    while (!sent && sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    // The plot command is the script's last: gnuplot writes the image only once it has read all
    // of it, so reading after writing cannot stall either side.
    std::string image;
    char block[65536];
    for (ssize_t got; (got = read(png[0], block, sizeof block)) != 0;) {
        if (got > 0) image.append(block, static_cast<std::size_t>(got));
        if (got < 0 && errno != EINTR) break;
    }
    close(png[0]);
    int status = 0;
    while (waitpid(gnuplot, &status, 0) < 0 && errno == EINTR) {
    }
    if (!sent || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("gnuplot could not draw the plot");
    }
    if (!isWholePng(image)) throw std::runtime_error("gnuplot's image is cut short");
    return image;
}

#include "drives/scenario.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "text/shown_text.h"

namespace {

constexpr auto maxFrames = static_cast<double>(maxReplayFrames);
constexpr double maxTick = 4294967295.0;
// Each stretch costs a pass over its frames: a bound on events bounds the time a scenario takes.
constexpr std::size_t maxEvents = 1000;
// A thousand events take some 50 KB: the bound on a file bounds the memory its parse takes.
constexpr std::size_t maxScenarioBytes = 1 << 20;
// The TOML library follows a dotted key down one call per part, so a key of tens of thousands of
// parts overflows the stack. A scenario's keys have at most two ("start.vehicle").
constexpr std::size_t maxKeyParts = 16;

// Where the next character of a text lies, as the TOML library counts: lines from 1, columns
// from 1 in characters (the bytes that do not continue a UTF-8 sequence).
struct Place {
    std::size_t line = 1, column = 1;

    void pass(char c) {
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column;
        }
    }
};

// Throws InputError at the first dot of the first key with more than maxKeyParts dotted parts,
// before the TOML library sees it. A dotted key is a run of bare or quoted parts, blanks and dots;
// anything else ('=', brackets, a comma, a line end) ends it. Outside keys, only a number holds a
// dot, one at most.
void checkKeyParts(std::string_view text, const std::string& path) {
    Place place, runStart;
    std::size_t dots = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const bool bare = std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' ||
                          c == '+' || c == ':' || c == ' ' || c == '\t';
        if (c == '"' || c == '\'') {
            // A quoted part, or a text value: skipped whole, a line end in it included.
            const std::string_view quote =
                text.substr(i, 3) == std::string(3, c) ? text.substr(i, 3) : text.substr(i, 1);
            std::size_t end = i + quote.size();
            while (end < text.size() && text.substr(end, quote.size()) != quote) {
                end += c == '"' && text[end] == '\\' ? 2 : 1;
            }
            end = std::min(text.size(), end + quote.size());
            for (; i < end; ++i) place.pass(text[i]);
            continue;
        }
        if (c == '#') {
            while (i < text.size() && text[i] != '\n') place.pass(text[i++]);
            dots = 0;
            continue;
        }
        if (c == '.') {
            if (dots == 0) runStart = place;  // the key's first dot
            if (++dots == maxKeyParts) {
                throw InputError(
                    path, runStart.line, runStart.column,
                    "expected a key of at most " + std::to_string(maxKeyParts) + " dotted parts");
            }
        } else if (!bare) {
            dots = 0;
        }
        place.pass(c);
        ++i;
    }
}

// The car as the drive has left it so far; the events change it.
struct Car {
    std::uint32_t vehicle = 1;
    std::uint8_t status = 0;
    std::map<std::uint32_t, float> health;  // by vehicle id: each vehicle keeps its own
    float impact = 0.0f;                    // only for the frame of a crash
};

// toml++ puts the end of a text that ends in a newline one column past that newline, on the
// newline's line; an editor has it at the start of the line after. toml++ counts columns in
// characters: the bytes that do not continue a UTF-8 sequence.
toml::source_region endOfTextMended(toml::source_region where, std::string_view text) {
    if (!text.ends_with('\n')) return where;
    std::string_view lastLine = text.substr(0, text.size() - 1);
    lastLine.remove_prefix(lastLine.rfind('\n') + 1);  // npos + 1 is 0: the text's only line
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    const auto characters =
        static_cast<std::size_t>(std::count_if(lastLine.begin(), lastLine.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    if (where.begin.line == lines && where.begin.column > characters + 1) {
        where.begin = {where.begin.line + 1, 1};
    }
    return where;
}

// Frames from..to (not including to) have their rows changed by apply.
struct Stretch {
    std::size_t from, to;
    std::function<void(ReplayFrame&)> apply;
};

class ScenarioReader {
  public:
    explicit ScenarioReader(const std::string& path) : path(path) {}

    Scenario read(std::string_view text) {
        checkKeyParts(text, path);
        toml::table root;
        try {
            root = toml::parse(text, path);
        } catch (const toml::parse_error& error) {
            fail(endOfTextMended(error.source(), text), std::string(error.description()));
        }
        onlyKeys(root, "the scenario",
                 {"title", "length", "frame_rate", "start_tick", "settings", "speed", "start",
                  "crash", "damage", "roof", "pause", "leave", "change", "status"});
        Scenario scenario;
        scenario.title = textValue(root, "title", std::filesystem::path(path).stem().string());
        scenario.settingsPath = settingsFile(root);
        length = number(root, "length", std::nullopt, 0.001, maxFrames, "seconds");
        frameRate = scenario.frameRate =
            number(root, "frame_rate", 60.0, 1.0, 1000.0, "frames a second");
        if (length * frameRate > maxFrames) {
            fail(root.get("length")->source(), "expected a drive of at most " +
                                                   std::to_string(static_cast<long>(maxFrames)) +
                                                   " frames (length times frame_rate)");
        }
        frameCount = static_cast<std::size_t>(std::llround(length * frameRate));
        if (frameCount == 0) {
            fail(root.get("length")->source(),
                 "expected a drive of at least one frame (length times frame_rate, " +
                     numberText(length * frameRate) + ", rounds to 0)");
        }
        lastFrameTime = static_cast<double>(frameCount - 1) / frameRate;
        startTick = number(root, "start_tick", 100000.0, 0.0, maxTick, "tick count", true);
        speed = number(root, "speed", 15.0, -1000.0, 1000.0, "units a second");
        readStart(root);
        readEvents(root);
        scenario.frames = frames();
        return scenario;
    }

  private:
    [[noreturn]] void fail(const toml::source_region& where, const std::string& message) const {
        throw InputError(path, where.begin.line, where.begin.column, message);
    }

    void onlyKeys(const toml::table& table, const std::string& what,
                  std::initializer_list<std::string_view> keys) const {
        for (auto&& [key, node] : table) {
            if (std::find(keys.begin(), keys.end(), key.str()) != keys.end()) continue;
            std::string expected;
            for (std::string_view name : keys)
                expected += (expected.empty() ? "" : ", ") + std::string(name);
            fail(key.source(), "unknown key " + quotedExcerpt(key.str()) + " in " + what +
                                   "; expected one of " + expected);
        }
    }

    std::string textValue(const toml::table& table, std::string_view key,
                          const std::string& fallback) const {
        const toml::node* node = table.get(key);
        if (node == nullptr) return fallback;
        if (!node->is_string())
            fail(node->source(), "expected text for '" + std::string(key) + "'");
        return node->as_string()->get();
    }

    // The settings file named by the scenario, relative to the scenario's folder; it must exist.
    std::string settingsFile(const toml::table& root) const {
        std::string settings = textValue(root, "settings", "");
        if (settings.empty()) return "";
        std::filesystem::path file = std::filesystem::path(path).parent_path() / settings;
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) {
            fail(root.get("settings")->source(),
                 "expected a settings file that exists: " + file.string());
        }
        return file.string();
    }

    // The number at key, from min to max (a whole number if whole); fallback when the key is
    // absent, which is an error when there is no fallback.
    double number(const toml::table& table, std::string_view key, std::optional<double> fallback,
                  double min, double max, std::string_view unit, bool whole = false) const {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            if (!fallback) fail(table.source(), "expected a value for '" + std::string(key) + "'");
            return *fallback;
        }
        std::optional<double> value = node->value<double>();
        if (!value || (whole && !node->is_integer()) || !(*value >= min && *value <= max)) {
            fail(node->source(), "expected " + std::string(whole ? "a whole number" : "a number") +
                                     " of " + std::string(unit) + " from " + numberText(min) +
                                     " to " + numberText(max) + " for '" + std::string(key) + "'");
        }
        return *value;
    }

    // A crash's force or a damage's amount: 0 would be an event that never happens.
    double positive(const toml::table& event, std::string_view key, std::string_view unit) const {
        const double value = number(event, key, std::nullopt, 0.0, 1e9, unit);
        if (value == 0.0) {
            fail(event.get(key)->source(), "expected " + std::string(unit) + " above 0 for '" +
                                               std::string(key) + "': 0 would never happen");
        }
        return value;
    }

    static std::string numberText(double value) {
        std::ostringstream text;
        text << std::setprecision(10) << value;
        return text.str();
    }

    void readStart(const toml::table& root) {
        const toml::node* node = root.get("start");
        if (node == nullptr) return;
        if (!node->is_table()) fail(node->source(), "expected a table [start]");
        const toml::table& start = *node->as_table();
        onlyKeys(start, "[start]", {"vehicle", "health", "status"});
        car.vehicle = static_cast<std::uint32_t>(
            number(start, "vehicle", 1.0, 0.0, maxTick, "vehicle id", true));
        car.health[car.vehicle] = healthOf(start, 1000.0);
        car.status =
            static_cast<std::uint8_t>(number(start, "status", 0.0, 0.0, 255.0, "status", true));
    }

    float healthOf(const toml::table& table, std::optional<double> fallback) const {
        return static_cast<float>(number(table, "health", fallback, -1e9, 1e9, "health"));
    }

    // Each [[name]] table in turn, after checking it has only the keys given.
    void eachEvent(const toml::table& root, std::string_view name,
                   std::initializer_list<std::string_view> keys,
                   const std::function<void(const toml::table&)>& read) {
        const toml::node* node = root.get(name);
        if (node == nullptr) return;
        const toml::array* events = node->as_array();
        if (events == nullptr || !events->is_array_of_tables()) {
            fail(node->source(), "expected [[" + std::string(name) + "]] tables");
        }
        for (const toml::node& event : *events) {
            if (++eventCount > maxEvents) {
                fail(event.source(), "expected at most " + std::to_string(maxEvents) + " events");
            }
            onlyKeys(*event.as_table(), "[[" + std::string(name) + "]]", keys);
            read(*event.as_table());
        }
    }

    std::size_t frameAt(double seconds) const {
        return static_cast<std::size_t>(std::ceil(seconds * frameRate - 1e-9));
    }

    // The frame of an event at a time: at most the last frame's time, so that no event falls
    // after the drive and silently never happens.
    std::size_t moment(const toml::table& event) const {
        return frameAt(number(event, "at", std::nullopt, 0.0, lastFrameTime, "seconds"));
    }

    // A stretch holds at least one frame, or it would silently never happen.
    void stretch(const toml::table& event, std::function<void(ReplayFrame&)> apply) {
        double from = number(event, "from", std::nullopt, 0.0, lastFrameTime, "seconds");
        double to = number(event, "to", std::nullopt, from, length, "seconds");
        std::size_t first = frameAt(from), end = std::min(frameAt(to), frameCount);
        if (end <= first) {
            fail(event.get("to")->source(),
                 "expected 'to' past the first frame of the stretch (at " +
                     numberText(static_cast<double>(first) / frameRate) + " s): from " +
                     numberText(from) + " to " + numberText(to) + " holds no frame");
        }
        stretches.push_back({first, end, std::move(apply)});
    }

    void readEvents(const toml::table& root) {
        eachEvent(root, "crash", {"at", "force"}, [&](const toml::table& event) {
            auto force = static_cast<float>(positive(event, "force", "force"));
            const std::size_t frame = moment(event);
            // A frame holds one impact force: a second crash in it would silently replace the
            // first.
            if (!crashFrames.insert(frame).second) {
                fail(event.get("at")->source(),
                     "expected one crash a frame: another crash falls in the same frame, " +
                         std::to_string(frame) + " (at " +
                         numberText(static_cast<double>(frame) / frameRate) + " s)");
            }
            moments.emplace(frame, [force](Car& c) { c.impact = force; });
        });
        eachEvent(root, "damage", {"at", "amount"}, [&](const toml::table& event) {
            auto amount = static_cast<float>(positive(event, "amount", "health"));
            moments.emplace(moment(event), [amount](Car& c) { c.health[c.vehicle] -= amount; });
        });
        eachEvent(root, "change", {"at", "vehicle", "health"}, [&](const toml::table& event) {
            auto id = static_cast<std::uint32_t>(
                number(event, "vehicle", std::nullopt, 1.0, maxTick, "vehicle id", true));
            std::optional<float> health;
            if (event.contains("health")) health = healthOf(event, std::nullopt);
            moments.emplace(moment(event), [id, health](Car& c) {
                c.vehicle = id;
                if (health) c.health[id] = *health;
                c.health.try_emplace(id, 1000.0f);
            });
        });
        eachEvent(root, "roof", {"from", "to", "height"}, [&](const toml::table& event) {
            auto height = static_cast<float>(number(event, "height", 6.0, -1e6, 1e6, "units"));
            stretch(event, [height](ReplayFrame& row) {
                row.roofFound = true;
                row.roofZ = row.z + height;
            });
        });
        eachEvent(root, "pause", {"from", "to"}, [&](const toml::table& event) {
            stretch(event, [](ReplayFrame& row) { row.suspend = 1; });
        });
        eachEvent(root, "leave", {"from", "to"}, [&](const toml::table& event) {
            stretch(event, [](ReplayFrame& row) { row.vehicle = 0; });
        });
        eachEvent(root, "status", {"from", "to", "value"}, [&](const toml::table& event) {
            auto value = static_cast<std::uint8_t>(
                number(event, "value", std::nullopt, 0.0, 255.0, "status", true));
            stretch(event, [value](ReplayFrame& row) { row.status = value; });
        });
    }

    std::vector<ReplayFrame> frames() {
        const std::size_t count = frameCount;
        std::vector<ReplayFrame> rows(count);
        car.health.try_emplace(car.vehicle, 1000.0f);
        for (std::size_t i = 0; i < count; ++i) {
            car.impact = 0.0f;
            auto [first, last] = moments.equal_range(i);
            for (auto m = first; m != last; ++m) m->second(car);
            double seconds = static_cast<double>(i) / frameRate;
            ReplayFrame& row = rows[i];
            row.frame = static_cast<std::uint32_t>(i);
            // Milliseconds by one division, so that frame 3 at 60 a second is 50 ms, not 49.
            auto ms =
                static_cast<std::uint64_t>(static_cast<double>(i) * 1000.0 / frameRate + 1e-9);
            row.tick = static_cast<std::uint32_t>((static_cast<std::uint64_t>(startTick) + ms) &
                                                  0xFFFFFFFFu);
            row.vehicle = car.vehicle;
            row.status = car.status;
            row.health = car.health[car.vehicle];
            row.impact = car.impact;
            row.x = static_cast<float>(speed * seconds);
        }
        for (const Stretch& s : stretches) {
            for (std::size_t i = s.from; i < s.to; ++i) s.apply(rows[i]);
        }
        return rows;
    }

    const std::string& path;
    double length = 0.0;
    std::size_t frameCount = 0;
    double lastFrameTime = 0.0;
    double frameRate = 60.0;
    double startTick = 0.0;
    double speed = 0.0;
    Car car;
    std::multimap<std::size_t, std::function<void(Car&)>> moments;  // by frame, in file order
    std::vector<Stretch> stretches;
    std::size_t eventCount = 0;
    std::set<std::size_t> crashFrames;
};

}  // namespace

Scenario parseScenario(std::string_view text, const std::string& path) {
    return ScenarioReader(path).read(text);
}

Scenario readScenario(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw InputError(path, 1, 1, "cannot read the file");
    std::ifstream file(path, std::ios::binary);
    std::string text(maxScenarioBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (!file.is_open() || file.bad()) throw InputError(path, 1, 1, "cannot read the file");
    if (text.size() > maxScenarioBytes) {
        throw InputError(
            path, 1, 1,
            "expected a scenario of at most " + std::to_string(maxScenarioBytes) + " bytes");
    }
    return parseScenario(text, path);
}

#include "compat/windows_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "compat/profile_file.h"
#include "compat/windows_upper_case.h"

namespace platform {

namespace {

// The capital Windows compares the code unit by.
char32_t upperCase(char32_t unit) {
    const auto after = std::upper_bound(
        upperCaseRuns.begin(), upperCaseRuns.end(), unit,
        [](char32_t wanted, const UpperCaseRun& run) { return wanted < run.first; });
    if (after == upperCaseRuns.begin()) return unit;
    const UpperCaseRun& run = *(after - 1);
    if (unit > run.last || (unit - run.first) % run.step != 0) return unit;
    return static_cast<char32_t>(static_cast<std::int32_t>(unit) + run.delta);
}

void appendUtf8(std::string& text, char32_t codePoint) {
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
        return;
    }
    if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | codePoint >> 6);
    } else {
        text += static_cast<char>(0xE0 | codePoint >> 12);
        text += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    }
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
}

std::string joined(const std::string& folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    return folder.back() == '/' ? folder + std::string(name) : folder + '/' + std::string(name);
}

bool exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// The names in folder that Windows takes for name, in byte order (no '.' or '..').
std::vector<std::string> namesLike(const std::string& folder, std::string_view name) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (dir == nullptr) return names;
    const std::string folded = foldedName(name);
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view entryName = entry->d_name;
        if (entryName == "." || entryName == "..") continue;
        if (foldedName(entryName) == folded) names.emplace_back(entryName);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Walks path part by part from the folder found as the look-up does; with twins, also lists the
// names passed over.
std::string lookUp(std::string found, std::string_view path, std::vector<CaseTwin>* twins) {
    if (found.empty() && !path.empty() && path.front() == '/') found = "/";
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        const bool last = end == path.size();
        start = end + 1;
        if (part.empty() || part == "." || part == "..") {
            if (!part.empty()) found = joined(found, part);
            if (last) break;
            continue;
        }
        // The exact spelling wins without reading the folder: the plug-in's own calls stay cheap.
        const bool exact = exists(joined(found, part));
        std::string taken(part);
        if (!exact || twins != nullptr) {
            const std::vector<std::string> names = namesLike(found, part);
            if (!exact && names.empty()) return joined(found, path.substr(end - part.size()));
            if (!exact) taken = names.front();
            for (const std::string& name : names) {
                if (twins != nullptr && name != taken) {
                    twins->push_back({joined(found, taken), joined(found, name)});
                }
            }
        }
        found = joined(found, taken);
        if (last) break;
    }
    // A separator at the end stays: it asks for a folder.
    if (!path.empty() && path.back() == '/' && found.back() != '/') found += '/';
    return found;
}

}  // namespace

std::string foldedName(std::string_view name) {
    std::string folded;
    folded.reserve(name.size());
    while (!name.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = utf8Sequence(name, codePoint);
        // A character beyond the plane is a surrogate pair to Windows: its halves keep their case.
        if (length == 0 || codePoint > 0xFFFF) {
            folded += name.substr(0, std::max<std::size_t>(length, 1));
        } else {
            appendUtf8(folded, upperCase(codePoint));
        }
        name.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return folded;
}

bool sameWindowsName(std::string_view a, std::string_view b) {
    return foldedName(a) == foldedName(b);
}

std::string windowsPath(std::string_view path) {
    return lookUp("", path, nullptr);
}

std::string windowsPathBelow(std::string_view folder, std::string_view path) {
    return lookUp(std::string(folder), path, nullptr);
}

std::vector<CaseTwin> caseTwinsBelow(std::string_view folder, std::string_view path) {
    std::vector<CaseTwin> twins;
    lookUp(std::string(folder), path, &twins);
    return twins;
}

}  // namespace platform

#include "compat/windows_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace platform {

namespace {

// The small letter of a capital of code page 1252 beyond ASCII, both as UTF-8 bytes after their
// lead byte: À..Þ (but ×) are U+00C0..U+00DE, Š Œ Ž Ÿ are U+0160 U+0152 U+017D U+0178.
struct FoldedLetter {
    unsigned char lead, capital;
    unsigned char smallLead, small;
};
constexpr FoldedLetter latinCapitals[] = {
    {0xC5, 0xA0, 0xC5, 0xA1},  // Š š
    {0xC5, 0x92, 0xC5, 0x93},  // Œ œ
    {0xC5, 0xBD, 0xC5, 0xBE},  // Ž ž
    {0xC5, 0xB8, 0xC3, 0xBF},  // Ÿ ÿ
};

bool isLatin1Capital(unsigned char lead, unsigned char next) {
    return lead == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97;
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
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (c >= 'A' && c <= 'Z') {
            folded += static_cast<char>(c - 'A' + 'a');
            continue;
        }
        if (isLatin1Capital(c, next)) {
            folded += static_cast<char>(c);
            folded += static_cast<char>(next + 0x20);
            ++i;
            continue;
        }
        const FoldedLetter* letter = nullptr;
        for (const FoldedLetter& candidate : latinCapitals) {
            if (candidate.lead == c && candidate.capital == next) letter = &candidate;
        }
        if (letter != nullptr) {
            folded += static_cast<char>(letter->smallLead);
            folded += static_cast<char>(letter->small);
            ++i;
            continue;
        }
        folded += static_cast<char>(c);
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

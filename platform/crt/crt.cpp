#include "platform/crt/crt.h"

#include <dirent.h>
#include <cerrno>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

namespace {
uint32_t g_randSeed = 1;

// Finds an entry of `dir` equal to `name` ignoring ASCII case. An exact match wins; among
// entries that differ only in case the first in byte order is taken, so the answer never
// depends on the order the folder lists them in.
bool FindEntryIgnoringCase(const std::string& dir, const std::string& name, std::string& found) {
    struct stat st;
    std::string direct = dir.empty() ? name : (dir == "/" ? "/" + name : dir + "/" + name);
    if (lstat(direct.c_str(), &st) == 0) {
        found = name;
        return true;
    }
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    bool ok = false;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) != 0) continue;
        if (!ok || std::strcmp(e->d_name, found.c_str()) < 0) found = e->d_name;
        ok = true;
    }
    closedir(d);
    return ok;
}
} // namespace

void PlatformSrand(uint32_t seed) {
    g_randSeed = seed;
}

int PlatformRand() {
    g_randSeed = g_randSeed * 214013u + 2531011u;
    return static_cast<int>((g_randSeed >> 16) & 0x7FFF);
}

std::string PlatformResolvePath(const char* gameName) {
    if (!gameName) return std::string();
    std::string path(gameName);
    for (char& c : path)
        if (c == '\\') c = '/';
    while (path.size() >= 2 && path[0] == '.' && path[1] == '/')
        path.erase(0, 2);

    bool absolute = !path.empty() && path[0] == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }

    std::string result = absolute ? "/" : "";
    bool exists = true; // while the folder so far exists, components are matched
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        std::string name = part;
        if (exists && part != "." && part != "..") {
            std::string found;
            if (FindEntryIgnoringCase(result, part, found))
                name = found;
            else
                exists = false;
        }
        if (!result.empty() && result.back() != '/') result += '/';
        result += name;
    }
    if (result.empty() && !path.empty()) result = ".";
    return result;
}

FILE* PlatformOpenFile(const char* gameName, const char* mode) {
    if (!gameName || !mode) return nullptr;
    std::string real = PlatformResolvePath(gameName);
    if (real.empty()) return nullptr;
    FILE* f = fopen(real.c_str(), mode);
    // A folder is not a file: it opens as a missing one would fail.
    struct stat st;
    if (f && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(f);
        errno = ENOENT;
        return nullptr;
    }
    return f;
}

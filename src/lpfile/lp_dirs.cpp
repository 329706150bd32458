#include "lpfile/lp_dirs.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kDirSize = kMaxFlashRootLength + sizeof "/lp1/";

char g_lpDirs[2][kDirSize] = {"/jffs/lp1/", "/jffs/lp2/"};

// The last day-file path of each LP; number 0 (no day file has it) when there is none.
struct CachedPath {
    int number;
    char path[kMaxLpPathSize];
};
CachedPath g_lpPaths[2] = {};

bool IsSafePathChar(char c) {
    return isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' || c == '-';
}

}  // namespace

bool SetFlashRoot(const char* root) {
    if (root == nullptr) {
        root = kDefaultFlashRoot;
    }
    std::size_t length = strlen(root);
    if (root[0] != '/' || length > kMaxFlashRootLength) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (!IsSafePathChar(root[i])) {
            return false;
        }
    }
    while (length > 1 && root[length - 1] == '/') {
        --length;
    }
    // "/" alone gives "/lp1/", not "//lp1/".
    const int shown = (length == 1) ? 0 : static_cast<int>(length);
    for (int lp = 0; lp < 2; ++lp) {
        snprintf(g_lpDirs[lp], kDirSize, "%.*s/lp%d/", shown, root, lp + 1);
        g_lpPaths[lp].number = 0;
    }
    return true;
}

bool IsDefaultFlashRoot() {
    const std::size_t length = strlen(kDefaultFlashRoot);
    return strncmp(LpDirectory(0), kDefaultFlashRoot, length) == 0 &&
           strcmp(LpDirectory(0) + length, "/lp1/") == 0;
}

const char* LpDirectory(int lp) {
    return g_lpDirs[lp == 0 ? 0 : 1];
}

const char* LpFilePath(int lp, int fileNumber) {
    CachedPath& cached = g_lpPaths[lp == 0 ? 0 : 1];
    if (cached.number != fileNumber || fileNumber == 0) {
        snprintf(cached.path, sizeof cached.path, "%s%d.lp", LpDirectory(lp), fileNumber);
        cached.number = fileNumber;
    }
    return cached.path;
}

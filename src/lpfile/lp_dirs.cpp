#include "lpfile/lp_dirs.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kDirSize = kMaxFlashRootLength + sizeof "/lp1/";

char g_lpDirs[2][kDirSize] = {"/jffs/lp1/", "/jffs/lp2/"};

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
    }
    return true;
}

const char* LpDirectory(int lp) {
    return g_lpDirs[lp == 0 ? 0 : 1];
}

// Where the day files of each load profile live: <root>/lp1/ and <root>/lp2/, with the root
// /jffs on the device or the directory named by PROFILL_JFFS on a host.
#pragma once

#include <cstddef>

constexpr const char* kDefaultFlashRoot = "/jffs";

// Longest flash root accepted; a day-file path then always fits in kMaxLpPathSize bytes.
constexpr std::size_t kMaxFlashRootLength = 1024;
constexpr std::size_t kMaxLpPathSize = kMaxFlashRootLength + 32;

// Makes root (nullptr: /jffs) the flash root. The root goes into a shell command later, so it
// must be an absolute path made only of letters, digits, '/', '.', '_' and '-', at most
// kMaxFlashRootLength long; trailing slashes are dropped. Returns false and changes nothing
// when root is refused.
bool SetFlashRoot(const char* root);

// Whether the flash root is kDefaultFlashRoot, as on the device, where a missing profile
// directory means an unmounted flash rather than one never made.
bool IsDefaultFlashRoot();

// Directory of the day files of LP index lp, with its trailing slash: "/jffs/lp1/" for 0,
// "/jffs/lp2/" for any other index.
const char* LpDirectory(int lp);

// The path of day file fileNumber of LP index lp. Formatted again only when the file number or
// the flash root changed since the last call for that LP, since the run asks for it once per
// record. Valid until the next call for that LP or the next SetFlashRoot.
const char* LpFilePath(int lp, int fileNumber);

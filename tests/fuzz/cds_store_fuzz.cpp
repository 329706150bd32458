// The host store's check on arbitrary bytes as a store file: the check runs in a child process,
// so whatever LMDB does on them, this process gets a verdict and lives. A store that opens is
// read whole; the scan and the opening agree on whether, and why, a store is refused.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cds/host_store.h"
#include "cds/pcd.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        char dir[] = "/tmp/cds-store-fuzz-XXXXXX";
        FuzzCheck(mkdtemp(dir) != nullptr, "a scratch directory");
        return std::string(dir) + "/store.mdb";
    }();
    unlink((path + "-lock").c_str());
    FILE* file = fopen(path.c_str(), "wb");
    FuzzCheck(file != nullptr && fwrite(data, 1, size, file) == size && fclose(file) == 0,
              "the store file is written");
    const CdsScan scan = ScanCdsStore(path);
    std::string error;
    pcd_handle_t handle = OpenCdsStore(path, &error);
    FuzzCheck((handle != nullptr) == (scan.opened && scan.refusal.empty()),
              "a store opens exactly when its scan finds no reason to refuse it");
    FuzzCheck(handle != nullptr || error == (scan.opened ? scan.refusal : scan.error),
              "the opening refuses a store for the reason its scan gives");
    if (handle != nullptr) {
        std::vector<std::string> paths;
        std::vector<toolkit::CElement> values;
        const auto noElement = std::count_if(
            scan.findings.begin(), scan.findings.end(),
            [](const CdsScanFinding& f) { return f.what == "stored bytes are no element"; });
        FuzzCheck(ListCdsLeaves(handle, "", paths, values) == kCdsOk &&
                      paths.size() == scan.leaves + static_cast<size_t>(noElement),
                  "a store that opens lists the leaves its scan counts");
        pcd_close(handle);
    }
    return 0;
}

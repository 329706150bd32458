// A stand-in for the CDS client, linked in place of the store: the leaves live in a map, every
// call is logged and plain knobs make calls fail. Also the fixture of the tests that use it.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cds/toolkit.h"

struct FAKE_CDS {
    std::map<std::string, toolkit::CElement> leaves;
    int getLeafResult = kCdsOk;
    int getLeavesResult = kCdsOk;
    int setLeavesResult = kCdsOk;                      // on failure nothing is written
    std::map<std::string, api_status_t> failingPaths;  // read or written with this status
    bool oneStatusShort = false;                       // reads and writes answer one status too few
    bool oneValueShort = false;                        // reads answer one value too few
    std::vector<std::vector<std::string>> calls;       // the paths of every call, in call order
};
extern FAKE_CDS g_fakeCds;

// Starts and ends every test with an empty store, zeroed profiles and the run options off.
class CdsTest : public testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset();
    toolkit::CCds cds;
};

// The host store behind the CDS client: values, statuses, all-or-nothing writes, and a store
// that survives a writer killed at any instant.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cds/host_store.h"
#include "cds/toolkit.h"
#include "test_support.h"

namespace {

using toolkit::CCds;
using toolkit::CElement;

// A fresh store in a temporary directory, named by CDS_STORE for the whole test.
struct ScratchStore {
    ScratchStore() : path(dir.path + "/store.mdb") {
        setenv("CDS_STORE", path.c_str(), 1);
        std::string error;
        EXPECT_TRUE(CreateCdsStore(path, &error)) << error;
    }
    TempDir dir;
    std::string path;
};

CElement Int(int32_t value) {
    CElement element;
    element.set_int(value);
    return element;
}

CElement Float(double value) {
    CElement element;
    element.set_float(value);
    return element;
}

CElement Text(const std::string& value) {
    CElement element;
    element.set_text(value);
    return element;
}

int Set(CCds& cds, const std::vector<std::string>& paths, const std::vector<CElement>& values,
        std::vector<api_status_t>& statuses, pcd_tribool_t flag = 1) {
    return cds.set_leaves(paths, values, std::vector<pcd_tribool_t>(paths.size(), flag), statuses,
                          "");
}

TEST(CdsStore, ElementsComeBackAsWritten) {
    ScratchStore store;
    const CElement kValues[] = {Int(0),
                                Int(-1),
                                Int(std::numeric_limits<int32_t>::min()),
                                Int(std::numeric_limits<int32_t>::max()),
                                Float(14.4),
                                Float(-0.0),
                                Float(1e300),
                                Text(""),
                                Text("a \"b\" \\ \n"),
                                Text(std::string("nul\0in", 6))};
    CCds cds;
    ASSERT_NE(cds.handle(), nullptr);
    std::vector<std::string> paths;
    std::vector<CElement> values(std::begin(kValues), std::end(kValues));
    for (size_t i = 0; i < values.size(); ++i)
        paths.push_back("/T/" + std::to_string(i) + "/Value");
    std::vector<api_status_t> statuses;
    std::time_t before = std::time(nullptr);
    ASSERT_EQ(Set(cds, paths, values, statuses), kCdsOk);
    EXPECT_EQ(statuses, std::vector<api_status_t>(values.size(), kCdsStatusOk));

    for (size_t i = 0; i < values.size(); ++i) {
        api_status_t status = 0;
        CElement read;
        element_property_t property = 0;
        ASSERT_EQ(cds.get_leaf(paths[i], status, read, property), kCdsOk);
        EXPECT_EQ(status, kCdsStatusOk) << paths[i];
        EXPECT_EQ(read.type(), values[i].type()) << paths[i];
        EXPECT_EQ(read.to_int(), values[i].to_int()) << paths[i];
        EXPECT_EQ(std::signbit(read.to_float()), std::signbit(values[i].to_float())) << paths[i];
        EXPECT_EQ(read.to_float(), values[i].to_float()) << paths[i];
        EXPECT_EQ(read.to_text(), values[i].to_text()) << paths[i];
        EXPECT_GE(read.time(), before) << paths[i];
        EXPECT_LE(read.time(), std::time(nullptr)) << paths[i];
    }
}

TEST(CdsStore, ReadsGiveAStatusPerPathInPathOrder) {
    ScratchStore store;
    CCds cds;
    std::vector<api_status_t> statuses;
    ASSERT_EQ(Set(cds, {"/a/Value", "/c/Value"}, {Int(1), Int(3)}, statuses), kCdsOk);

    std::vector<CElement> values;
    std::vector<element_property_t> properties;
    ASSERT_EQ(cds.get_leaves({"/c/Value", "/b/Value", "bad", "/a/Value", "/a/Value/"}, statuses,
                             values, properties),
              kCdsOk);
    EXPECT_EQ(statuses,
              (std::vector<api_status_t>{kCdsStatusOk, kCdsStatusNotFound, kCdsStatusBadPath,
                                         kCdsStatusOk, kCdsStatusNotFound}));
    ASSERT_EQ(values.size(), 5u);
    EXPECT_EQ(values[0].to_int(), 3);
    EXPECT_EQ(values[1].type(), CElement::kTypeNone);
    EXPECT_EQ(values[3].to_int(), 1);
    EXPECT_EQ(properties, (std::vector<element_property_t>{1, 0, 0, 1, 0}));

    api_status_t status = kCdsStatusOk;
    CElement element;
    element_property_t property = 0;
    EXPECT_EQ(cds.get_leaf("/missing/Value", status, element, property), kCdsOk);
    EXPECT_NE(status, kCdsStatusOk);
}

// Each row writes the same three leaves, one of them spoiled; nothing of the write may land.
TEST(CdsStore, AWriteLandsWholeOrNotAtAll) {
    struct Case {
        const char* name;
        std::string path1;
        CElement value1;
        pcd_tribool_t flag;
        api_status_t expected1;
    };
    const Case kCases[] = {
        {"invalid path", "/with space/Value", Int(9), 1, kCdsStatusBadPath},
        {"path too long", "/" + std::string(511, 'x'), Int(9), 1, kCdsStatusBadPath},
        {"value of no type", "/b/Value", CElement(), 1, kCdsStatusBadValue},
        {"missing leaf, flag false", "/new/Value", Int(9), 0, kCdsStatusNotFound},
    };
    for (const Case& c : kCases) {
        ScratchStore store;
        CCds cds;
        std::vector<api_status_t> statuses;
        ASSERT_EQ(
            Set(cds, {"/a/Value", "/b/Value", "/c/Value"}, {Int(1), Int(2), Int(3)}, statuses),
            kCdsOk);
        ASSERT_EQ(Set(cds, {"/a/Value", c.path1, "/c/Value"}, {Int(7), c.value1, Int(8)}, statuses,
                      c.flag),
                  kCdsOk)
            << c.name;
        EXPECT_EQ(statuses, (std::vector<api_status_t>{kCdsStatusNotWritten, c.expected1,
                                                       kCdsStatusNotWritten}))
            << c.name;
        std::vector<CElement> values;
        std::vector<element_property_t> properties;
        cds.get_leaves({"/a/Value", "/b/Value", "/c/Value"}, statuses, values, properties);
        EXPECT_EQ(values[0].to_int() * 100 + values[1].to_int() * 10 + values[2].to_int(), 123)
            << c.name;
    }
}

TEST(CdsStore, WholeCallFailures) {
    ScratchStore store;
    std::vector<api_status_t> statuses{kCdsStatusOk};
    std::vector<CElement> values;
    std::vector<element_property_t> properties;
    CCds cds;
    EXPECT_EQ(cds.set_leaves({"/a/Value"}, {}, {1}, statuses, ""), kCdsBadRequest);
    EXPECT_EQ(cds.set_leaves({"/a/Value"}, {Int(1)}, {}, statuses, ""), kCdsBadRequest);

    CCds unconnected(nullptr);
    EXPECT_EQ(unconnected.get_leaves({"/a/Value"}, statuses, values, properties), kCdsNotConnected);
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(Set(unconnected, {"/a/Value"}, {Int(1)}, statuses), kCdsNotConnected);
}

TEST(CdsStore, OnlyAnExistingStoreOpens) {
    TempDir dir;
    const std::string path = dir.path + "/store.mdb";
    setenv("CDS_STORE", path.c_str(), 1);
    EXPECT_EQ(pcd_init(), nullptr);
    EXPECT_NE(access(path.c_str(), F_OK), 0) << "a missing store must not be created";

    std::ofstream(path).close();
    EXPECT_EQ(pcd_init(), nullptr) << "empty file";
    std::ofstream(path) << std::string(16384, 'x');
    EXPECT_EQ(pcd_init(), nullptr) << "not a store";
    std::string error;
    EXPECT_FALSE(CreateCdsStore(path, &error));
    EXPECT_EQ(error, "exists already");

    setenv("CDS_STORE", dir.path.c_str(), 1);
    EXPECT_EQ(pcd_init(), nullptr) << "a directory";
    unsetenv("CDS_STORE");
    EXPECT_EQ(CdsStorePath(), kDefaultCdsStore);
}

TEST(CdsStore, StoredBytesThatAreNoElementAreRefused) {
    const std::vector<uint8_t> kBad[] = {
        {},
        {2, 0, 0, 0, 0, 0, 0, 0},                 // shorter than type and time stamp
        {2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3},     // int of three bytes
        {3, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4},  // float of four bytes
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 1},           // none with a value
        {9, 0, 0, 0, 0, 0, 0, 0, 0},              // unknown type
    };
    for (const std::vector<uint8_t>& bytes : kBad) {
        CElement element = Int(5);
        EXPECT_FALSE(DecodeCdsElement(bytes.data(), bytes.size(), &element)) << bytes.size();
        EXPECT_EQ(element.to_int(), 5) << "left alone";
    }
    std::vector<uint8_t> encoded = EncodeCdsElement(Int(0x01020304));
    EXPECT_EQ(encoded, (std::vector<uint8_t>{2, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 1,
                                             2, 3, 4}));
}

TEST(CdsElement, Conversions) {
    struct Case {
        CElement element;
        int32_t asInt;
        double asFloat;
    };
    const Case kCases[] = {
        {CElement(), 0, 0.0},
        {Int(-7), -7, -7.0},
        {Float(2.9), 2, 2.9},
        {Float(-2.9), -2, -2.9},
        {Float(1e10), std::numeric_limits<int32_t>::max(), 1e10},
        {Float(-1e10), std::numeric_limits<int32_t>::min(), -1e10},
        {Float(std::nan("")), 0, std::nan("")},
        {Text("-12"), -12, -12.0},
        {Text("2.5"), 0, 2.5},
        {Text("12x"), 0, 0.0},
        {Text(" 12"), 12, 12.0},
        {Text("4294967296"), 0, 4294967296.0},
        {Text(""), 0, 0.0},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(c.element.to_int(), c.asInt) << c.element.to_text() << c.element.to_float();
        if (std::isnan(c.asFloat)) {
            EXPECT_TRUE(std::isnan(c.element.to_float()));
        } else {
            EXPECT_EQ(c.element.to_float(), c.asFloat) << c.element.to_text();
        }
    }
}

// A child process stores the same counter in five leaves, one transaction per value, and reports
// each value after its commit. The parent reads alongside (never seeing a mix of two values),
// kills the child at a random moment and reopens the store: it must open and hold the last value
// reported, or the one after it (committed but not yet reported).
TEST(CdsStore, WriterKilledAtAnyInstantLeavesAConsistentStore) {
    ScratchStore store;
    const std::vector<std::string> kPaths = {"/LP/1/currentDay/Value", "/LP/1/fileRecCnt/Value",
                                             "/LP/1/totalRecCnt/Value", "/LP/1/dayCnt/Value",
                                             "/LP/1/daysDeleted/Value"};
    std::mt19937 random(std::random_device{}());
    int32_t committed = 0;
    for (int trial = 0; trial < 20; ++trial) {
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(report[0]);
            CCds cds;
            std::vector<api_status_t> statuses;
            for (int32_t value = committed + 1;; ++value) {
                if (Set(cds, kPaths, std::vector<CElement>(5, Int(value)), statuses) != kCdsOk) {
                    _exit(3);
                }
                if (write(report[1], &value, sizeof value) != sizeof value)
                    _exit(4);
            }
        }
        close(report[1]);

        int32_t target = committed + 1 + static_cast<int32_t>(random() % 2000);
        int32_t reported = committed;
        {
            CCds reader;
            ASSERT_NE(reader.handle(), nullptr);
            while (reported < target) {
                int32_t value = 0;
                ASSERT_EQ(read(report[0], &value, sizeof value),
                          static_cast<ssize_t>(sizeof value));
                reported = value;
                std::vector<api_status_t> statuses;
                std::vector<CElement> values;
                std::vector<element_property_t> properties;
                ASSERT_EQ(reader.get_leaves(kPaths, statuses, values, properties), kCdsOk);
                for (const CElement& read : values)
                    ASSERT_EQ(read.to_int(), values[0].to_int());
            }
        }
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with " << WEXITSTATUS(status);
        int32_t value = 0;
        while (read(report[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value)) {
            reported = value;
        }
        close(report[0]);

        CCds cds;
        ASSERT_NE(cds.handle(), nullptr) << "trial " << trial;
        std::vector<api_status_t> statuses;
        std::vector<CElement> values;
        std::vector<element_property_t> properties;
        ASSERT_EQ(cds.get_leaves(kPaths, statuses, values, properties), kCdsOk);
        ASSERT_EQ(statuses, std::vector<api_status_t>(5, kCdsStatusOk));
        for (const CElement& read : values)
            ASSERT_EQ(read.to_int(), values[0].to_int());
        EXPECT_GE(values[0].to_int(), reported) << "trial " << trial;
        EXPECT_LE(values[0].to_int(), reported + 1) << "trial " << trial;
        committed = values[0].to_int();
    }
}

}  // namespace

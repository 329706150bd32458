// Reading and writing leaves of the CDS (libcds++).
//
// A leaf is addressed by a slash-separated path such as "/LP/1/dayCnt/Value". A path is valid
// when it starts with '/', is 2 to 511 bytes long and holds only printable ASCII other than
// blank, '"', '#' and '='.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "cds/pcd.h"

// Per-path result of a read or a write.
typedef int32_t api_status_t;
constexpr api_status_t kCdsStatusOk = 1;
constexpr api_status_t kCdsStatusNotFound = 2;  // no such leaf
constexpr api_status_t kCdsStatusBadPath = 3;   // the path is not valid (see above)
constexpr api_status_t kCdsStatusBadValue = 4;  // stored bytes not an element; or a write of type 0
constexpr api_status_t kCdsStatusNotWritten = 5;  // valid, but another leaf of the write failed

// Per-path property returned by reads: 1 for a leaf that was found, 0 otherwise.
typedef int32_t element_property_t;

// Per-path flag of a write: 1 (true) creates a missing leaf, 0 (false) writes only a leaf that
// exists already (a missing one gets kCdsStatusNotFound); any other value counts as true.
typedef int32_t pcd_tribool_t;

// Results of whole calls.
constexpr int kCdsOk = 0;
constexpr int kCdsNotConnected = -1;  // null handle
constexpr int kCdsBadRequest = -2;    // vectors of different lengths
constexpr int kCdsStoreError = -3;    // the store failed (I/O, full map); nothing was written

namespace toolkit {

// One leaf value: a type code, a time stamp and the value.
//
// | type | code | to_int()                                   | to_float()              |
// |------|------|--------------------------------------------|-------------------------|
// | none | 0    | 0                                          | 0.0                     |
// | text | 1    | strtol of the text when all of it is a      | strtod of the text when |
// |      |      | decimal int32, else 0                       | all of it is a number,  |
// |      |      |                                             | else 0.0                |
// | int  | 2    | the value                                  | the value               |
// | float| 3    | truncated toward zero, clamped to the int32 | the value               |
// |      |      | range; NaN gives 0                          |                         |
class CElement {
  public:
    static constexpr int kTypeNone = 0;
    static constexpr int kTypeText = 1;
    static constexpr int kTypeInt = 2;
    static constexpr int kTypeFloat = 3;

    // Stands for "no time stamp".
    static const std::time_t _invalid_time;

    CElement() = default;

    int type() const { return m_type; }
    // When the leaf was last written (seconds since the epoch), or _invalid_time.
    std::time_t time() const { return m_time; }
    void set_time(std::time_t time) { m_time = time; }

    void set_int(int32_t value);
    void set_float(double value);
    void set_text(const std::string& value);

    int32_t to_int() const;
    double to_float() const;
    // The text of a text element; empty for the other types.
    const std::string& to_text() const { return m_text; }

  private:
    int m_type = kTypeNone;
    std::time_t m_time = _invalid_time;
    int32_t m_int = 0;
    double m_float = 0.0;
    std::string m_text;
};

// A connection to the store. Constructing one opens it (pcd_init); destroying it closes a
// connection that is still open. Results are kCdsOk or one of the negative whole-call results.
class CCds {
  public:
    CCds() : m_handle(pcd_init()) {}
    explicit CCds(pcd_handle_t handle) : m_handle(handle) {}
    ~CCds() { pcd_close(m_handle); }
    CCds(const CCds&) = delete;
    CCds& operator=(const CCds&) = delete;

    // Null when not connected. Whoever replaces or clears the handle closes the old one.
    pcd_handle_t handle() const { return m_handle; }
    void set_handle(pcd_handle_t handle) { m_handle = handle; }

    // One leaf: result kCdsOk and status kCdsStatusOk when it was read.
    int get_leaf(const std::string& path, api_status_t& status, CElement& element,
                 element_property_t& property);

    // Replaces the contents of statuses, values and properties with one entry per path, in
    // path order, all read in one read transaction.
    int get_leaves(const std::vector<std::string>& paths, std::vector<api_status_t>& statuses,
                   std::vector<CElement>& values, std::vector<element_property_t>& properties);

    // Writes values[i] to paths[i] in one write transaction: either every leaf is written or
    // none is. Replaces the contents of statuses with one entry per path: kCdsStatusOk for every
    // leaf when all were written, otherwise the reason for each leaf that failed and
    // kCdsStatusNotWritten for the others. Written leaves get the current time as their time
    // stamp. The text is a free-form note of the writer; the host store ignores it.
    int set_leaves(const std::vector<std::string>& paths, const std::vector<CElement>& values,
                   const std::vector<pcd_tribool_t>& flags, std::vector<api_status_t>& statuses,
                   const std::string& text);

  private:
    pcd_handle_t m_handle;
};

}  // namespace toolkit

#include "write_trace.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

// The bytes of the \xHH escapes (all bytes are escaped with -xx) from at up to the first other
// character.
std::string Unescape(const std::string& text, std::size_t at) {
    std::string bytes;
    for (; text.compare(at, 2, "\\x") == 0 && at + 4 <= text.size(); at += 4) {
        bytes += static_cast<char>(std::strtol(text.substr(at + 2, 2).c_str(), nullptr, 16));
    }
    return bytes;
}

// A path: a quoted string, or a descriptor's in -y's form, "4<\x2f...>".
std::string Path(const std::string& arg) {
    const std::size_t at = arg.find_first_of("\"<");
    return at == std::string::npos ? "" : Unescape(arg, at + 1);
}

// The bytes of every quoted string in arg: write's string or writev's vector.
std::string Bytes(const std::string& arg) {
    std::string bytes;
    for (std::size_t at = arg.find('"'); at != std::string::npos;) {
        const std::string part = Unescape(arg, at + 1);
        bytes += part;
        at = arg.find('"', at + 2 + 4 * part.size());  // after the closing quote
    }
    return bytes;
}

// The arguments of a call, split at the ", " outside brackets and braces; with -xx no string or
// path holds a comma or a bracket.
std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> args(1);
    int depth = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        depth += (text[at] == '[' || text[at] == '{') - (text[at] == ']' || text[at] == '}');
        if (depth == 0 && text.compare(at, 2, ", ") == 0) {
            args.emplace_back();
            ++at;
        } else {
            args.back() += text[at];
        }
    }
    args.resize(std::max<std::size_t>(args.size(), 4));
    return args;
}

}  // namespace

std::vector<std::string> StraceOptions() {
    const char* calls = "trace=openat,lseek,_llseek,write,writev,pwrite64,fdatasync,unlinkat";
    return {"-f", "-y", "-xx", "-s", "1048576", "-e", calls};
}

bool ParseTrace(const std::string& trace, const std::function<bool(const std::string&)>& keep,
                std::vector<FileChange>* changes, std::string* error) {
    // By process and descriptor: whether it appends, and its position.
    std::map<std::pair<long, long>, std::pair<bool, long long>> files;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const long pid = std::atol(line.c_str());
        const std::size_t start = line.find_first_not_of("0123456789 "), open = line.find('('),
                          close = line.rfind(") = ");
        if (line.find(" +++ ") != std::string::npos || line.find(" --- ") != std::string::npos) {
            continue;  // a process ended or got a signal
        } else if (open == std::string::npos || close == std::string::npos || close < open) {
            *error = "cannot read the line " + line.substr(0, 200);
            return false;
        }
        const std::string name = line.substr(start, open - start), result = line.substr(close + 4);
        const std::vector<std::string> args =
            SplitArguments(line.substr(open + 1, close - open - 1));
        const long long value = std::atoll(result.c_str());
        const long fd = std::atol(name == "openat" ? result.c_str() : args[0].c_str());
        std::string path = Path(name == "openat" ? result : args[0]);
        const auto add = [&](FileChange::Kind kind, uint64_t offset, const std::string& bytes) {
            if (keep(path)) {
                changes->push_back({kind, path, offset, bytes});
            }
        };
        auto file = files.find({pid, fd});
        if (result[0] == '-' || result[0] == '?') {
            continue;  // failed, or not finished when the process ended: it changed nothing
        } else if (name == "openat") {
            files[{pid, fd}] = {args[2].find("O_APPEND") != std::string::npos, 0};
            if (args[2].find("O_CREAT") != std::string::npos) {
                add(FileChange::kCreate, 0, "");
            }
            if (args[2].find("O_TRUNC") != std::string::npos) {
                add(FileChange::kTruncate, 0, "");
            }
        } else if (name == "unlinkat") {
            const std::string removed = Path(args[1]);
            path = removed[0] == '/' ? removed : path + "/" + removed;
            add(FileChange::kRemove, 0, "");
        } else if (file != files.end() && (name == "lseek" || name == "_llseek")) {
            file->second.second = name == "lseek" ? value : std::atoll(args[3].c_str() + 1);
        } else if (name == "write" || name == "writev" || name == "pwrite64") {
            const std::string bytes = Bytes(args[1]);
            uint64_t offset = kAppend;
            if (name == "pwrite64") {
                offset = std::stoull(args[3]);
            } else if (file != files.end() && !file->second.first) {
                offset = static_cast<uint64_t>(file->second.second);
                file->second.second += value;
            }
            if (keep(path) && (bytes.size() < static_cast<std::size_t>(value) ||
                               (file == files.end() && name != "pwrite64"))) {
                *error = name + " of process " + std::to_string(pid) + ": not all bytes shown, " +
                         "or a position not known";
                return false;
            }
            add(FileChange::kWrite, offset, bytes.substr(0, static_cast<std::size_t>(value)));
        } else if (name == "fdatasync") {
            add(FileChange::kSync, 0, "");
        }
    }
    return true;
}

void ApplyChange(const FileChange& change, FileContent& content, std::size_t partial) {
    if (change.kind == FileChange::kRemove) {
        content.reset();
        return;
    }
    std::string& bytes = content ? *content : content.emplace();
    if (change.kind == FileChange::kTruncate) {
        bytes.resize(change.offset);
    } else if (change.kind == FileChange::kWrite) {
        const std::size_t at = change.offset == kAppend ? bytes.size() : change.offset;
        const std::size_t size = std::min(partial, change.bytes.size());
        bytes.resize(std::max(bytes.size(), at + size));
        bytes.replace(at, size, change.bytes, 0, size);
    }
}

#include "write_trace.h"

#include <cstdlib>
#include <cstring>

namespace {

// One system call as strace printed it.
struct Call {
    long pid;
    std::string name;
    std::vector<std::string> args;  // split at the commas between arguments
    std::string result;
};

// The arguments of a call, split at the commas outside brackets and braces. With -xx the bytes
// of strings and paths are all escaped, so none of them holds a comma or a bracket.
std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> args;
    int depth = 0;
    std::size_t from = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        depth += (c == '[' || c == '{') - (c == ']' || c == '}');
        if (depth == 0 && c == ',' && text.compare(at, 2, ", ") == 0) {
            args.push_back(text.substr(from, at - from));
            from = at + 2;
        }
    }
    args.push_back(text.substr(from));
    return args;
}

// The bytes of text, which is all \xHH escapes, from at up to the first character that is not.
std::string Unescape(const std::string& text, std::size_t at, std::size_t* end) {
    std::string bytes;
    for (; text.compare(at, 2, "\\x") == 0 && at + 4 <= text.size(); at += 4) {
        bytes += static_cast<char>(std::strtol(text.substr(at + 2, 2).c_str(), nullptr, 16));
    }
    *end = at;
    return bytes;
}

// The bytes of a quoted string; false for anything else, also for a string strace cut short
// (followed by "...").
bool Unquote(const std::string& text, std::string* bytes) {
    std::size_t end = 0;
    if (text.empty() || text[0] != '"') {
        return false;
    }
    *bytes = Unescape(text, 1, &end);
    return end + 1 == text.size() && text[end] == '"';
}

// The descriptor and its path in -y's form, "4<\x2f...>" (AT_FDCWD<...> for the working
// directory).
bool Descriptor(const std::string& text, long* fd, std::string* path) {
    const std::size_t at = text.find('<');
    if (at == 0 || at == std::string::npos) {
        return false;
    }
    *fd = std::strtol(text.c_str(), nullptr, 10);
    std::size_t end = 0;
    *path = Unescape(text, at + 1, &end);
    return end < text.size() && text[end] == '>';
}

// The bytes of writev's or pwritev's vector, [{iov_base="...", iov_len=N}, ...].
bool VectorBytes(const std::string& text, std::string* bytes) {
    if (text.size() < 2 || text.front() != '[' || text.back() != ']') {
        return false;
    }
    bytes->clear();
    for (const std::string& element : SplitArguments(text.substr(1, text.size() - 2))) {
        const std::string base = "{iov_base=";
        const std::size_t end = element.find(", iov_len=");
        std::string part;
        if (element.compare(0, base.size(), base) != 0 || end == std::string::npos ||
            !Unquote(element.substr(base.size(), end - base.size()), &part)) {
            return false;
        }
        *bytes += part;
    }
    return true;
}

// Splits a line of strace -f output into pid, name, arguments and result. Calls that strace shows
// in two lines, because another process ran in between, have been joined already.
bool SplitCall(const std::string& line, Call* call) {
    char* rest = nullptr;
    call->pid = std::strtol(line.c_str(), &rest, 10);
    // strace pads the pid with blanks to a width of its own.
    const std::size_t start =
        line.find_first_not_of(' ', static_cast<std::size_t>(rest - line.c_str()));
    const std::size_t open = line.find('(', start);
    const std::size_t close = line.rfind(") = ");
    if (rest == line.c_str() || start == std::string::npos || open == std::string::npos ||
        close == std::string::npos || close < open) {
        return false;
    }
    call->name = line.substr(start, open - start);
    call->args = SplitArguments(line.substr(open + 1, close - open - 1));
    call->result = line.substr(close + 4);
    return true;
}

bool Has(const std::string& flags, const char* flag) {
    return ("|" + flags + "|").find(std::string("|") + flag + "|") != std::string::npos;
}

struct OpenFile {
    bool append;
    long long position;
};

// Turns the calls into changes of the files that keep accepts, following the position of every
// descriptor that was opened, moved or read within the trace.
class Replayer {
  public:
    Replayer(const std::function<bool(const std::string&)>& keep, std::vector<FileChange>* changes)
        : keep_(keep), changes_(changes) {}

    // False with the reason in error when the call changes a kept file in a way that cannot be
    // placed.
    bool Take(const Call& call, std::string* error) {
        const long long result = std::atoll(call.result.c_str());
        if (call.result.empty() || call.result[0] == '-' || call.result[0] == '?') {
            return true;  // failed, or not finished when the process ended: it changed nothing
        }
        long fd = -1;
        std::string path, bytes;
        const std::vector<std::string>& args = call.args;
        if (call.name == "open" || call.name == "openat" || call.name == "creat") {
            const std::size_t flagsAt = call.name == "openat" ? 2 : 1;
            const std::string flags =
                call.name == "creat" ? "O_WRONLY|O_CREAT|O_TRUNC" : Arg(args, flagsAt);
            if (!Descriptor(call.result, &fd, &path)) {
                return Fail(call, "no path for the descriptor it returned", error);
            }
            files_[{call.pid, fd}] = {Has(flags, "O_APPEND"), 0};
            if (Has(flags, "O_CREAT")) {
                Add(FileChange::kCreate, path);
            }
            if (Has(flags, "O_TRUNC") && !Has(flags, "O_RDONLY")) {
                Add(FileChange::kTruncate, path, 0);
            }
            return true;
        }
        if (call.name == "unlink" || call.name == "unlinkat") {
            const bool at = call.name == "unlinkat";
            std::string directory;
            if (!Unquote(Arg(args, at ? 1 : 0), &path) ||
                (at && path[0] != '/' && !Descriptor(Arg(args, 0), &fd, &directory))) {
                return Fail(call, "no path", error);
            }
            if (at && Has(Arg(args, 2), "AT_REMOVEDIR")) {
                return true;
            }
            Add(FileChange::kRemove, path[0] == '/' ? path : directory + "/" + path);
            return true;
        }
        if (call.name.compare(0, 6, "rename") == 0) {
            std::string from, to;
            const bool at = call.name != "rename";
            Unquote(Arg(args, at ? 1 : 0), &from);
            Unquote(Arg(args, at ? 3 : 1), &to);
            if (keep_(from) || keep_(to) || from[0] != '/' || to[0] != '/') {
                return Fail(call, "a rename is not followed", error);
            }
            return true;
        }
        if (!Descriptor(Arg(args, 0), &fd, &path)) {
            return true;  // a call on no file that this trace follows
        }
        const auto open = files_.find({call.pid, fd});
        long long* position = open == files_.end() ? nullptr : &open->second.position;
        if (call.name == "lseek" || call.name == "_llseek") {
            if (position != nullptr) {
                *position = call.name == "lseek" ? result : std::atoll(Arg(args, 3).c_str() + 1);
            }
        } else if (call.name == "read") {
            if (position != nullptr) {
                *position += result;
            }
        } else if (call.name == "write" || call.name == "writev" || call.name == "pwrite64" ||
                   call.name == "pwritev") {
            const bool vector = call.name.back() == 'v';
            if (!(vector ? VectorBytes(Arg(args, 1), &bytes) : Unquote(Arg(args, 1), &bytes)) ||
                bytes.size() < static_cast<unsigned long long>(result)) {
                return Fail(call, "not all bytes written are shown", error);
            }
            bytes.resize(static_cast<std::size_t>(result));
            uint64_t offset = 0;
            if (call.name[0] == 'p') {
                offset = std::strtoull(Arg(args, 3).c_str(), nullptr, 10);
            } else if (open != files_.end() && open->second.append) {
                offset = kAppend;
            } else if (position == nullptr) {
                return keep_(path) ? Fail(call, "a write at an unknown position", error) : true;
            } else {
                offset = static_cast<uint64_t>(*position);
                *position += result;
            }
            Add(FileChange::kWrite, path, offset, bytes);
        } else if (call.name == "ftruncate") {
            Add(FileChange::kTruncate, path, std::strtoull(Arg(args, 1).c_str(), nullptr, 10));
        } else if (call.name == "fsync" || call.name == "fdatasync") {
            Add(FileChange::kSync, path);
        }
        return true;
    }

  private:
    static std::string Arg(const std::vector<std::string>& args, std::size_t i) {
        return i < args.size() ? args[i] : "";
    }

    static bool Fail(const Call& call, const char* why, std::string* error) {
        *error = call.name + " of process " + std::to_string(call.pid) + ": " + why;
        return false;
    }

    void Add(FileChange::Kind kind, const std::string& path, uint64_t offset = 0,
             const std::string& bytes = "") {
        if (keep_(path)) {
            changes_->push_back({kind, path, offset, bytes});
        }
    }

    const std::function<bool(const std::string&)>& keep_;
    std::vector<FileChange>* changes_;
    std::map<std::pair<long, long>, OpenFile> files_;
};

}  // namespace

std::vector<std::string> StraceOptions() {
    return {"-f",
            "-y",
            "-xx",
            "-s",
            "1048576",
            "-e",
            "trace=open,openat,creat,read,lseek,_llseek,write,writev,pwrite64,pwritev,ftruncate,"
            "fsync,fdatasync,unlink,unlinkat,rename,renameat,renameat2"};
}

bool ParseTrace(const std::string& trace, const std::function<bool(const std::string&)>& keep,
                std::vector<FileChange>* changes, std::string* error) {
    Replayer replayer(keep, changes);
    std::map<long, std::string> unfinished;
    const std::string pause = " <unfinished ...>";
    std::size_t from = 0;
    for (std::size_t end = trace.find('\n'); end != std::string::npos;
         from = end + 1, end = trace.find('\n', from)) {
        std::string line = trace.substr(from, end - from);
        const long pid = std::strtol(line.c_str(), nullptr, 10);
        const std::size_t resumed = line.find(" resumed>");
        if (line.size() > pause.size() &&
            line.compare(line.size() - pause.size(), pause.size(), pause) == 0) {
            unfinished[pid] = line.substr(0, line.size() - pause.size());
            continue;
        } else if (line.find(" <... ") != std::string::npos && resumed != std::string::npos) {
            line = unfinished[pid] + line.substr(resumed + 9);
            unfinished.erase(pid);
        }
        Call call;
        if (line.find(" +++ ") != std::string::npos || line.find(" --- ") != std::string::npos) {
            continue;  // a process ended or got a signal
        } else if (!SplitCall(line, &call)) {
            *error = "cannot read the line " + line.substr(0, 200);
            return false;
        } else if (!replayer.Take(call, error)) {
            return false;
        }
    }
    return true;
}

void ApplyChange(const FileChange& change, FileContent& content, std::size_t partial) {
    switch (change.kind) {
        case FileChange::kCreate:
            if (!content) {
                content = std::string();
            }
            break;
        case FileChange::kWrite: {
            std::string& bytes = content ? *content : content.emplace();
            const std::size_t at =
                change.offset == kAppend ? bytes.size() : static_cast<std::size_t>(change.offset);
            const std::size_t size = std::min(partial, change.bytes.size());
            if (bytes.size() < at + size) {
                bytes.resize(at + size);
            }
            bytes.replace(at, size, change.bytes, 0, size);
            break;
        }
        case FileChange::kTruncate:
            (content ? *content : content.emplace())
                .resize(static_cast<std::size_t>(change.offset));
            break;
        case FileChange::kRemove:
            content.reset();
            break;
        case FileChange::kSync:
            break;
    }
}

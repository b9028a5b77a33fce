// The private directory of one zavsim run: its control socket, its datagram log, the files
// "dump FILE" writes, and the output its starter keeps. zavsim runs as root, so nothing it
// writes may be reachable through a name another user could have prepared.
#pragma once

#include <string>

namespace zav::sim {

// A name that stays inside the directory: not empty, no '/', not "." or "..", at most 255 bytes.
bool PlainFileName(const std::string& name);

// Opens the run directory, making it with mode 0700 when it is missing. One that exists must be
// a directory itself (not a link to one), belong to this user and give no access to anyone
// else. Returns a directory descriptor, or -1 with err saying why.
int OpenRunDir(const std::string& path, std::string& err);

// Opens name (a plain name) inside the directory for writing, made with mode 0600 when missing,
// never through a link; appends or truncates. -1 with errno set on failure.
int OpenInRunDir(int dirFd, const std::string& name, bool append);

// Replaces name inside the directory with text; false with err on failure.
bool WriteInRunDir(int dirFd, const std::string& name, const std::string& text, std::string& err);

}  // namespace zav::sim

// Makes sure the folder that will hold the service's socket is fit for it.
#pragma once

#include <cstddef>
#include <string>

// For the private fallback folder (/tmp/emuaps-<uid>) creates it with mode
// 0700 and refuses it when it belongs to someone else, is not a plain folder
// or is open to others. Returns an error text, or "" when the folder is fine.
std::string PrepareSocketFolder(const std::string& socketPath, bool privateFolder);

// The path that name (ZendraSocketPath, ControlSocketPath) gives, with
// its folder prepared; "" with *error set when it cannot be had. what names
// the socket in the error ("the socket path").
std::string ReadySocketPath(int (*name)(char*, std::size_t, int*), const std::string& what,
                            std::string* error);

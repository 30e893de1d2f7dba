// The `payload` tool: builds, lists, extracts and dumps installer payloads.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Runs one command line (without the program name). Returns the exit status:
// 0 done, 1 failed (the message on `err`), 2 usage error (usage on `err`).
int RunPayloadTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The form stream in a file's bytes: the whole file when it starts with
// "TPF0", or the named RT_RCDATA resource of a PE executable. The result
// points into `file`. Raises when neither, or when the resource is missing
// ("Resource %s not found") or the executable is malformed.
const uint8_t* FindFormStream(const uint8_t* file, size_t fileSize, const std::string& fileName,
                              const std::string& resourceName, size_t& size);

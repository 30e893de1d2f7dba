// payload: builds, lists, extracts and dumps installer payloads.
#include <iostream>
#include <string>
#include <vector>

#include "tools/payload_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunPayloadTool(args, std::cout, std::cerr);
}

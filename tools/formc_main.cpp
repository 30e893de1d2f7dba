// formc: compiles a form's text description into a binary form stream.
#include <cstdio>
#include <memory>
#include <string>

#include "framework/errors.h"
#include "framework/native_files.h"
#include "framework/streams.h"
#include "storage/form_tree.h"
#include "tools/form_text.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: formc INPUT.txt OUTPUT\n"
                 "Compiles a form description (the syntax payload dump prints) into a form stream.\n"
                 "File names in the description count from INPUT's folder.\n");
    return 2;
  }
  const std::string input = argv[1];
  const std::string output = argv[2];
  try {
    std::unique_ptr<TStream> in = NativeFileSystem().OpenFileStream(input);
    const std::vector<uint8_t> text = ReadAll(*in);
    const size_t slash = input.find_last_of('/');
    const std::string baseDir = slash == std::string::npos ? "." : input.substr(0, slash);
    const FormObject root = ParseFormText(std::string(text.begin(), text.end()), input, baseDir);
    // Moved into place once complete: no half-written stream for the build to pick up.
    NativeFileSystem().ReplaceContent(output, WriteFormTree(root));
  } catch (const Exception& error) {
    std::fprintf(stderr, "formc: %s\n", error.Message().c_str());
    return 1;
  }
  return 0;
}

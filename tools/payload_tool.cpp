// The `payload` commands. A payload is untrusted input: nothing it names is
// written outside the folder the user gave.
#include "tools/payload_tool.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstring>
#include <filesystem>
#include <memory>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/native_files.h"
#include "framework/paths.h"
#include "framework/streams.h"
#include "storage/exes.h"
#include "storage/form_reader.h"
#include "storage/form_tree.h"
#include "storage/form_writer.h"
#include "storage/payload_messages.h"
#include "storage/pe_image.h"
#include "tools/form_text.h"

namespace {

constexpr char kUsage[] =
    "usage:\n"
    "  payload build OUT --exe F --tnsnames F --oracle F --uninstaller F [--level fastest|default|max|none]\n"
    "  payload list FILE\n"
    "  payload extract FILE DIR [--item N]\n"
    "  payload verify FILE\n"
    "  payload dump FILE [--bytes] [--resource NAME]\n"
    "FILE is a form stream (it starts with TPF0) or a Windows executable carrying one as the\n"
    "RT_RCDATA resource TFORMEXE (dump: NAME).\n"
    "verify decodes every stored item to nowhere and prints, one line each: position, name, the\n"
    "offset of its stored bytes in FILE, their count, and ok or what is wrong; it exits with 1\n"
    "when an item is damaged.\n";

struct UsageError {
  std::string what;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw EFOpenError(Format(msg::kFOpenError, path.c_str(), "It is a folder."));
  std::unique_ptr<TStream> file = NativeFileSystem().OpenFileStream(path);
  return ReadAll(*file);
}

// A stored file name the tool writes under DIR: a plain name, nothing that
// climbs out of DIR or names another drive.
bool IsSafeFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || c == '\\' || c == ':' || c == '\0') return false;
  return true;
}

bool SameFileName(const std::string& a, const std::string& b) { return SameText(a, b); }

// A whole file, held once, read-only: mapped where the system can, so that
// only the pages a command touches are read, else read into memory. The
// stored items share their bytes with it instead of copying them.
class FileBytes {
 public:
  explicit FileBytes(const std::string& path) {
#ifndef _WIN32
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    struct stat status {};
    if (descriptor >= 0 && ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
      void* view = ::mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE, descriptor, 0);
      if (view != MAP_FAILED) {
        mapped_ = static_cast<const uint8_t*>(view);
        size_ = static_cast<size_t>(status.st_size);
      }
    }
    if (descriptor >= 0) ::close(descriptor);
    if (mapped_) return;
#endif
    read_ = ReadWholeFile(path);
    size_ = read_.size();
  }
  ~FileBytes() {
#ifndef _WIN32
    if (mapped_) ::munmap(const_cast<uint8_t*>(mapped_), size_);
#endif
  }
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  const uint8_t* data() const { return mapped_ ? mapped_ : read_.data(); }
  size_t size() const { return size_; }

 private:
  const uint8_t* mapped_ = nullptr;
  std::vector<uint8_t> read_;
  size_t size_ = 0;
};

using SharedFile = std::shared_ptr<const FileBytes>;
SharedFile LoadFile(const std::string& path) { return std::make_shared<const FileBytes>(path); }

std::unique_ptr<TFormExe> LoadPayload(const SharedFile& file, const std::string& fileName) {
  size_t size = 0;
  const uint8_t* stream = FindFormStream(file->data(), file->size(), fileName, "TFORMEXE", size);
  auto form = std::make_unique<TFormExe>();
  FormStreamReader(stream, size, file).ReadRootComponent(*form);
  if (!form->mxStorageFiles) throw EReadError(msg::kPayloadWithoutStorage);
  return form;
}

int Build(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() < 2) throw UsageError{"build needs OUT and the four files"};
  const std::string output = args[1];
  struct Input {
    const char* option;
    const char* name;
    std::string path;
  } inputs[] = {{"--exe", "exe", ""},
                {"--tnsnames", "tnsname", ""},
                {"--oracle", "oracle", ""},
                {"--uninstaller", "desinstalar", ""}};
  TCompressionLevel level = TCompressionLevel::clDefault;
  for (size_t i = 2; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a value"};
    const std::string& value = args[i + 1];
    bool known = false;
    for (Input& input : inputs) {
      if (args[i] == input.option) {
        input.path = value;
        known = true;
      }
    }
    if (args[i] == "--level") {
      static const struct {
        const char* name;
        TCompressionLevel level;
      } kLevels[] = {{"none", TCompressionLevel::clNone},
                     {"fastest", TCompressionLevel::clFastest},
                     {"default", TCompressionLevel::clDefault},
                     {"max", TCompressionLevel::clMax}};
      known = false;
      for (const auto& entry : kLevels) {
        if (value == entry.name) {
          level = entry.level;
          known = true;
        }
      }
      if (!known) throw UsageError{"unknown level " + value};
    }
    if (!known) throw UsageError{"unknown option " + args[i]};
  }
  for (const Input& input : inputs)
    if (input.path.empty()) throw UsageError{std::string("build needs ") + input.option};

  const std::unique_ptr<TFormExe> form = NewPayloadForm();
  TmxStorage* storage = form->mxStorageFiles;
  for (const Input& input : inputs) {
    const std::vector<uint8_t> bytes = ReadWholeFile(input.path);
    AddStoredFile(*storage, input.name, SplitPath(input.path).name, bytes.data(), bytes.size(), level);
  }

  // Written beside the target first: a failed run leaves no half-written file.
  NativeFileSystem().ReplaceContent(output, WriteFormStream(*form));
  out << "wrote " << output << ": " << storage->StoredItems().Count() << " items, " << storage->OriginalSize()
      << " bytes stored as " << storage->Size() << " (" << storage->Ratio() << ")\n";
  return 0;
}

int List(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 2) throw UsageError{"list takes one FILE"};
  const std::unique_ptr<TFormExe> form = LoadPayload(LoadFile(args[1]), args[1]);
  const TmxStorage& storage = *form->mxStorageFiles;
  const TmxStoredItems& items = storage.StoredItems();
  for (int i = 0; i < items.Count(); ++i) {
    const TmxStoredItem& item = *items.Items(i);
    out << i << '\t' << item.Name() << '\t' << item.FileName() << '\t' << item.FileSize() << '\t' << item.Size() << '\t'
        << item.Ratio() << '\n';
  }
  out << "total\t" << items.Count() << '\t' << storage.OriginalSize() << '\t' << storage.Size() << '\t'
      << storage.Ratio() << '\t' << storage.Version() << '\n';
  return 0;
}

int Extract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 3 && args.size() != 5) throw UsageError{"extract takes FILE DIR [--item N]"};
  int only = -1;
  if (args.size() == 5) {
    if (args[3] != "--item") throw UsageError{"unknown option " + args[3]};
    const std::string& n = args[4];
    if (n.empty() || n.size() > 9 || n.find_first_not_of("0123456789") != std::string::npos)
      throw UsageError{"--item takes a position: 0, 1, 2, ..."};
    only = std::stoi(n);
  }
  const std::unique_ptr<TFormExe> form = LoadPayload(LoadFile(args[1]), args[1]);
  TmxStoredItems& items = form->mxStorageFiles->StoredItems();
  if (only >= 0) items.Items(only);  // "List index out of bounds (%d)" before anything is written
  const std::string dir = args[2];
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir, ec))
    throw EFCreateError(Format(msg::kFCreateError, dir.c_str(), "The folder cannot be created."));

  int refused = 0;
  std::vector<std::string> written;
  for (int i = 0; i < items.Count(); ++i) {
    if (only >= 0 && i != only) continue;
    TmxStoredItem& item = *items.Items(i);
    const std::string& name = item.FileName();
    if (!IsSafeFileName(name)) {
      err << Format(msg::kUnsafeFileName, i, name.c_str()) << '\n';
      ++refused;
      continue;
    }
    bool duplicate = false;
    for (const std::string& earlier : written) duplicate = duplicate || SameFileName(earlier, name);
    if (duplicate) {
      // A second item of that name would silently replace the first one's file.
      err << Format(msg::kDuplicateFileName, i, name.c_str()) << '\n';
      ++refused;
      continue;
    }
    const std::string path = dir + "/" + name;
    // Moved into place once complete: a damaged item leaves no partly decoded
    // file that looks like the real one, and an earlier file of that name stays.
    item.ExtractToFile(path, NativeFileSystem());
    written.push_back(name);
    out << path << '\n';
  }
  return refused == 0 ? 0 : 1;
}

// What is wrong with a damaged item, in words.
std::string Damage(const Exception& error) {
  if (dynamic_cast<const EZlibError*>(&error)) return "its zlib data is damaged";
  if (error.Message() == msg::kStreamReadError) return "its zlib data ends before the stored file does";
  return error.Message();
}

int Verify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) throw UsageError{"verify takes one FILE"};
  const SharedFile file = LoadFile(args[1]);
  const std::unique_ptr<TFormExe> form = LoadPayload(file, args[1]);
  const TmxStoredItems& items = form->mxStorageFiles->StoredItems();
  std::string damaged;
  for (int i = 0; i < items.Count(); ++i) {
    const TmxStoredItem& item = *items.Items(i);
    // The item shares its bytes with the file, so where they lie is known.
    const uint8_t* bytes = item.StoredData().Memory();
    out << i << '\t' << item.Name() << '\t';
    if (bytes && bytes >= file->data() && bytes < file->data() + file->size()) {
      out << (bytes - file->data());
    } else {
      out << '-';
    }
    out << '\t' << item.Size() << '\t';
    try {
      item.Verify();
      out << "ok\n";
    } catch (const Exception& error) {
      out << "damaged: " << Damage(error) << '\n';
      damaged += (damaged.empty() ? "" : ", ") + std::to_string(i) + " (" + item.Name() + ")";
    }
  }
  if (damaged.empty()) return 0;
  err << Format(msg::kDamagedItems, damaged.c_str()) << '\n';
  return 1;
}

int Dump(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() < 2) throw UsageError{"dump takes FILE"};
  BlockStyle blocks = BlockStyle::Sizes;
  std::string resource = "TFORMEXE";
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--bytes") {
      blocks = BlockStyle::Bytes;
    } else if (args[i] == "--resource" && i + 1 < args.size()) {
      resource = args[++i];
    } else {
      throw UsageError{"unknown option " + args[i]};
    }
  }
  const SharedFile file = LoadFile(args[1]);
  size_t size = 0;
  const uint8_t* stream = FindFormStream(file->data(), file->size(), args[1], resource, size);
  size_t used = 0;
  const FormObject root = ParseFormTree(stream, size, &used);
  out << PrintFormTree(root, blocks);
  if (used != size) out << "// " << size - used << " bytes after the end of the stream\n";
  return 0;
}

}  // namespace

const uint8_t* FindFormStream(const uint8_t* file, size_t fileSize, const std::string& fileName,
                              const std::string& resourceName, size_t& size) {
  if (fileSize >= 4 && std::memcmp(file, kFormSignature, 4) == 0) {
    size = fileSize;
    return file;
  }
  if (fileSize >= 2 && file[0] == 'M' && file[1] == 'Z') {
    const std::optional<ByteRange> resource = FindRcDataResource(file, fileSize, resourceName);
    if (!resource) throw EResNotFound(Format(msg::kResNotFound, resourceName.c_str()));
    size = resource->size;
    return resource->data;
  }
  throw EFormatError(Format(msg::kNotFormOrExecutable, fileName.c_str()));
}

int RunPayloadTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    if (args.empty()) throw UsageError{"no command"};
    const std::string& command = args[0];
    if (command == "build") return Build(args, out);
    if (command == "list") return List(args, out);
    if (command == "extract") return Extract(args, out, err);
    if (command == "verify") return Verify(args, out, err);
    if (command == "dump") return Dump(args, out);
    if (command == "--help" || command == "-h" || command == "help") {
      out << kUsage;
      return 0;
    }
    throw UsageError{"unknown command " + command};
  } catch (const UsageError& usage) {
    err << "payload: " << usage.what << '\n' << kUsage;
    return 2;
  } catch (const Exception& error) {
    err << error.Message() << '\n';
    return 1;
  } catch (const std::bad_alloc&) {
    err << msg::kOutOfMemory << '\n';
    return 1;
  }
}

// The host machine's registry: key nodes in memory, names kept in the case they
// were created with and matched without regard to case, rights inherited from
// the parent keys.
#include "platform/host/host_platform.h"

#include <algorithm>
#include <stdexcept>

#include "framework/errors.h"
#include "framework/messages.h"
#include "platform/host/host_machine.h"

namespace platform {

using host_detail::Fold;
using host_detail::KeyNode;
using host_detail::RegValue;
using host_detail::SameName;

namespace {

void MarkDeleted(KeyNode& node) {
  node.deleted = true;
  for (auto& child : node.children) MarkDeleted(*child);
}

// Key paths: a leading "\" is optional; an empty component names no key.
std::optional<std::vector<std::string>> ParseKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t pos = path.empty() || path[0] != '\\' ? 0 : 1;
  if (pos >= path.size()) return parts;
  while (true) {
    size_t end = path.find('\\', pos);
    if (end == std::string::npos) end = path.size();
    if (end == pos) {
      if (end == path.size()) break;  // a trailing "\"
      return std::nullopt;
    }
    parts.push_back(path.substr(pos, end - pos));
    if (end == path.size()) break;
    pos = end + 1;
  }
  return parts;
}

class HostKey : public RegistryKey {
 public:
  explicit HostKey(std::shared_ptr<KeyNode> node) : node_(std::move(node)) {}

  std::optional<std::string> ReadString(const std::string& valueName) override {
    if (node_->deleted) return std::nullopt;
    for (const RegValue& value : node_->values) {
      if (!SameName(value.name, valueName)) continue;
      if (value.type != kRegSz && value.type != kRegExpandSz)
        throw ERegistryException(Format(msg::kInvalidRegType, valueName.c_str()));
      const auto nul = std::find(value.data.begin(), value.data.end(), 0);
      return std::string(value.data.begin(), nul);
    }
    return std::nullopt;
  }
  std::vector<std::string> SubkeyNames() override {
    std::vector<std::string> names;
    if (node_->deleted) return names;
    for (const auto& child : node_->children) names.push_back(child->name);
    return names;
  }
  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    if (node_->deleted) return names;
    for (const RegValue& value : node_->values) names.push_back(value.name);
    return names;
  }

 private:
  std::shared_ptr<KeyNode> node_;
};

// Finds a key, and the most restrictive permission on the way down to it
// (rights are inherited from the parent keys).
std::shared_ptr<KeyNode> FindKey(std::shared_ptr<KeyNode> node, const std::string& path,
                                 KeyPermission* permission = nullptr) {
  const auto parts = ParseKeyPath(path);
  if (!parts) return nullptr;
  KeyPermission effective = node->permission;
  for (const std::string& part : *parts) {
    const auto it = std::find_if(node->children.begin(), node->children.end(),
                                 [&](const auto& child) { return SameName(child->name, part); });
    if (it == node->children.end()) return nullptr;
    node = *it;
    effective = std::max(effective, node->permission);
  }
  if (permission) *permission = effective;
  return node;
}

}  // namespace

void HostPlatform::CreateKey(RootKey root, const std::string& path) {
  const auto parts = ParseKeyPath(path);
  if (!parts) throw std::invalid_argument("bad key path: " + path);
  std::shared_ptr<KeyNode> node = machine_->Root(root);
  for (const std::string& part : *parts) {
    auto it = std::find_if(node->children.begin(), node->children.end(),
                           [&](const auto& child) { return SameName(child->name, part); });
    if (it == node->children.end()) {
      auto child = std::make_shared<KeyNode>();
      child->name = part;
      // Windows enumerates subkeys sorted by their upper-cased names.
      const std::string folded = Fold(part);
      it = std::find_if(node->children.begin(), node->children.end(),
                        [&](const auto& other) { return Fold(other->name) > folded; });
      it = node->children.insert(it, child);
    }
    node = *it;
  }
}

void HostPlatform::SetValue(RootKey root, const std::string& path, const std::string& name, uint32_t type,
                            const std::vector<uint8_t>& data) {
  CreateKey(root, path);
  const auto node = FindKey(machine_->Root(root), path);
  for (RegValue& value : node->values) {
    if (SameName(value.name, name)) {
      value.type = type;
      value.data = data;
      return;
    }
  }
  node->values.push_back(RegValue{name, type, data});
}

void HostPlatform::SetString(RootKey root, const std::string& path, const std::string& name, const std::string& value,
                             bool expandable) {
  std::vector<uint8_t> data(value.begin(), value.end());
  data.push_back(0);
  SetValue(root, path, name, expandable ? kRegExpandSz : kRegSz, data);
}

void HostPlatform::SetDword(RootKey root, const std::string& path, const std::string& name, uint32_t value) {
  SetValue(root, path, name, kRegDword,
           {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)});
}

void HostPlatform::DeleteValue(RootKey root, const std::string& path, const std::string& name) {
  const auto node = FindKey(machine_->Root(root), path);
  if (!node) return;
  auto& values = node->values;
  values.erase(std::remove_if(values.begin(), values.end(), [&](const RegValue& v) { return SameName(v.name, name); }),
               values.end());
}

void HostPlatform::DeleteKeyTree(RootKey root, const std::string& path) {
  const auto parts = ParseKeyPath(path);
  if (!parts || parts->empty()) return;
  std::string parentPath;
  for (size_t i = 0; i + 1 < parts->size(); ++i) parentPath += "\\" + (*parts)[i];
  const auto parent = FindKey(machine_->Root(root), parentPath);
  if (!parent) return;
  auto& children = parent->children;
  for (auto it = children.begin(); it != children.end(); ++it) {
    if (SameName((*it)->name, parts->back())) {
      MarkDeleted(**it);
      children.erase(it);
      return;
    }
  }
}

void HostPlatform::SetKeyPermission(RootKey root, const std::string& path, KeyPermission permission) {
  CreateKey(root, path);
  FindKey(machine_->Root(root), path)->permission = permission;
}

std::unique_ptr<RegistryKey> HostPlatform::OpenKey(RootKey root, const std::string& path, KeyAccess access) {
  KeyPermission permission;
  auto node = FindKey(machine_->Root(root), path, &permission);
  if (!node || permission == KeyPermission::Denied) return nullptr;
  if (access == KeyAccess::AllAccess && permission != KeyPermission::Full) return nullptr;
  return std::make_unique<HostKey>(std::move(node));
}

bool HostPlatform::KeyExists(RootKey root, const std::string& path) {
  return OpenKey(root, path, KeyAccess::Read) != nullptr;
}

}  // namespace platform
